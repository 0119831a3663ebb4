#pragma once

class QIcon;

// The window's icon: a yellow laughing face, drawn at 32 by 32 pixels.
QIcon laughingFaceIcon();
