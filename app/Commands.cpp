#include "app/Commands.h"

#include "app/ReaderWindow.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include <array>

namespace {

using W = ReaderWindow;
using enum CommandPlace;

// "首篇" exists as a command but is never offered in the menu. The previous and
// next commands have their keys in the text box (Enter, Right, Left), where
// the text box still gets them after the command.
const std::array<CommandRow, 17> Commands{{
    {"fontAction", u"字型", SettingsMenu, {}, true, true, &W::chooseFont},
    {"backgroundAction", u"背景", SettingsMenu, {}, true, true, &W::chooseBackground},
    {"firstArticleAction", u"首篇", MenuBar, {}, false, true, &W::showFirstArticle},
    {"goToArticleAction", u"到 ? 篇", MenuBar, Qt::CTRL | Qt::Key_G, true, true, &W::goToArticle},
    {"previousArticleAction", u"<<<上一篇", MenuBar, {}, true, true, &W::showPreviousArticle},
    {"nextArticleAction", u"下一篇>>>", MenuBar, {}, true, true, &W::showNextArticle},
    {"helpAction", u"說明", MenuBar, Qt::Key_F1, true, true, &W::showHelp},
    {"titleListAction", u"目錄", KeysAndContextMenu, Qt::CTRL | Qt::Key_T, true, false,
     &W::openTitleList},
    {"findAction", u"尋找", KeysAndContextMenu, Qt::CTRL | Qt::Key_F, true, false, &W::openFind},
    {"findNextAction", u"找下一個", KeysAndContextMenu, Qt::Key_F3, true, false, &W::findNext},
    {"findPreviousAction", u"找上一個", KeysAndContextMenu, Qt::SHIFT | Qt::Key_F3, true, false,
     &W::findPrevious},
    // F8: a key no desktop convention gives a meaning to.
    {"verticalAction", u"直排", KeysAndContextMenu, Qt::Key_F8, true, true, &W::toggleVertical},
    {"zoomInAction", u"放大", KeysAndContextMenu, Qt::CTRL | Qt::Key_Plus, true, true, &W::zoomIn},
    {"zoomOutAction", u"縮小", KeysAndContextMenu, Qt::CTRL | Qt::Key_Minus, true, true,
     &W::zoomOut},
    {"zoomResetAction", u"原始大小", KeysAndContextMenu, Qt::CTRL | Qt::Key_0, true, true,
     &W::resetZoom},
    {"menuBarAction", u"選單列", KeysOnly, Qt::Key_F10, true, false, &W::giveMenuBarTheKeys},
    {"closeAction", u"結束", KeysOnly, Qt::CTRL | Qt::Key_Q, true, true, &W::endSession},
}};

} // namespace

std::span<const CommandRow> readerCommands() {
    return Commands;
}

QMenu* addCommands(QMainWindow* window, const std::function<void(const CommandRow&)>& run) {
    QMenuBar* bar = window->menuBar();
    QMenu* settings = bar->addMenu(QStringLiteral("設定"));
    settings->setObjectName(QStringLiteral("settingsMenu"));
    for (const CommandRow& row : readerCommands()) {
        auto* action = new QAction(QString::fromUtf16(row.caption), window);
        action->setObjectName(QLatin1String(row.objectName));
        action->setEnabled(row.startsEnabled);
        if (row.key != QKeyCombination())
            action->setShortcut(row.key);
        switch (row.place) {
        case CommandPlace::SettingsMenu:
            settings->addAction(action);
            break;
        case CommandPlace::MenuBar:
            bar->addAction(action);
            break;
        case CommandPlace::KeysOnly:
        case CommandPlace::KeysAndContextMenu:
            window->addAction(action);
            break;
        }
        QObject::connect(action, &QAction::triggered, window, [&row, run] { run(row); });
    }
    return settings;
}

QList<QAction*> contextMenuCommands(const QWidget* window) {
    QList<QAction*> actions;
    for (const CommandRow& row : readerCommands()) {
        if (row.place != CommandPlace::KeysAndContextMenu)
            continue;
        if (auto* action = window->findChild<QAction*>(QLatin1String(row.objectName)))
            actions.append(action);
    }
    return actions;
}
