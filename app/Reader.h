#pragma once

#include <optional>

class ReaderWindow;
class QGuiApplication;
class QTranslator;
class TerminationNotifier;

// Answers --help (-h, -?) and --version (-v) on standard output, before the
// application object exists, so that neither needs a display. Returns the
// program's exit status when it answered one; every other argument is left
// to Qt and otherwise ignored, as before.
std::optional<int> answerCommandLine(int argc, char* argv[]);

// Everything before the window is shown: its native window made while the
// collection is indexed, then start-up. False when start-up failed.
bool startReader(ReaderWindow& window);

// Runs the reader: start-up, then the window until it is closed. Returns the
// program's exit status.
int runReader(ReaderWindow& window);

// A termination signal, or the desktop session ending, closes the window as
// the user's close does: the bookmark is written and the program ends with 0.
void endSessionOnRequest(ReaderWindow& window, TerminationNotifier& termination,
                         QGuiApplication& application);

// Names the program to the desktop: its name and version, and the desktop
// entry that starts it, so the window is matched to that entry's icon.
void describeApplication();

// Makes every font draw Chinese with a Traditional Chinese face, in any
// locale. Call it before the first text is laid out, and before any thread
// but the caller's runs, since it sets the environment.
void preferTraditionalChineseGlyphs();

// Lets the window's design face find an installed Traditional Chinese Ming
// face, and makes appearance::programFont() the application's font.
void installProgramFonts();

// Qt's own dialog texts (the colour chooser's buttons and labels) in
// Traditional Chinese, when Qt's translations are installed. The translator
// must outlive the application's dialogs.
void installQtTranslation(QTranslator& translator);
