#pragma once

#include "appearance/TextAppearance.h"
#include "widgets/ChooserState.h"

class Choosers;
class Dialogs;
class SettingsStore;

namespace appearance {

// The font and background commands as the window runs them, with the state
// the choosers keep for the whole run. Both end silently at their first
// failure, Cancel included: the user sees the text box as far as the choice
// got applied, and nothing else. Only a settings file that no save can reach
// until the user clears the way is told, once a run: every choice of the run
// would be lost without a word.
class LookCommands {
public:
    LookCommands(Choosers& choosers, Dialogs& dialogs, SettingsStore& settings)
        : m_choosers(choosers), m_dialogs(dialogs), m_settings(settings) {}

    // `application` names the collection the look is filed under.
    void chooseFont(const QString& application, const Targets& targets);
    void chooseBackground(const QString& application, const Targets& targets);

private:
    using Command = void (*)(Choosers&, ChooserState&, const SavedAppearance&, const Targets&);
    void run(Command command, const QString& application, const Targets& targets);

    Choosers& m_choosers;
    Dialogs& m_dialogs;
    SettingsStore& m_settings;
    // What the choosers start from: the last values set or chosen in this run.
    ChooserState m_state;
    bool m_toldNotKept = false;
};

} // namespace appearance
