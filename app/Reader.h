#pragma once

class Form1;

// Runs the reader: start-up, then the window until it is closed. Returns the
// program's exit status.
int runReader(Form1& window);

// Lets the window's design face find an installed Traditional Chinese Ming face.
void installFontSubstitutions();
