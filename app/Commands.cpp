#include "app/Commands.h"

#include "app/ReaderWindow.h"

#include <array>

namespace {

using W = ReaderWindow;
using enum CommandPlace;

// "首篇" exists as a command but is never offered in the menu. The previous and
// next commands have their keys in the text box (Enter, Right, Left), where
// the text box still gets them after the command.
const std::array<CommandRow, 9> Commands{{
    {"fontAction", u"字型", SettingsMenu, {}, true, &W::chooseFont},
    {"backgroundAction", u"背景", SettingsMenu, {}, true, &W::chooseBackground},
    {"firstArticleAction", u"首篇", MenuBar, {}, false, &W::showFirstArticle},
    {"goToArticleAction", u"到 ? 篇", MenuBar, Qt::CTRL | Qt::Key_G, true, &W::goToArticle},
    {"previousArticleAction", u"<<<上一篇", MenuBar, {}, true, &W::showPreviousArticle},
    {"nextArticleAction", u"下一篇>>>", MenuBar, {}, true, &W::showNextArticle},
    {"helpAction", u"說明", MenuBar, Qt::Key_F1, true, &W::showHelp},
    {"menuBarAction", u"選單列", KeysOnly, Qt::Key_F10, true, &W::giveMenuBarTheKeys},
    {"closeAction", u"結束", KeysOnly, Qt::CTRL | Qt::Key_Q, true, &W::closeByKey},
}};

} // namespace

std::span<const CommandRow> readerCommands() {
    return Commands;
}
