#pragma once

class QIcon;

// The window's icon: a yellow laughing face, 32 by 32 pixels in at most 16
// colours, painted at build time from the same shapes as the desktop's
// scalable icon.
QIcon laughingFaceIcon();
