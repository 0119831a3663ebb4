#pragma once

class Form1;
class QTranslator;

// Runs the reader: start-up, then the window until it is closed. Returns the
// program's exit status.
int runReader(Form1& window);

// Lets the window's design face find an installed Traditional Chinese Ming face.
void installFontSubstitutions();

// Qt's own dialog texts (the colour chooser's buttons and labels) in
// Traditional Chinese, when Qt's translations are installed. The translator
// must outlive the application's dialogs.
void installQtTranslation(QTranslator& translator);
