#include "WindowFixture.h"

#include <QTest>

namespace {

// A collection with `count` articles "A1".."An", an intro before the first
// separator and a tail after the last one.
QByteArray collection(int count) {
    if (count < 0)
        return "intro";
    QByteArray bytes = "intro\r\n***\r\n";
    for (int i = 1; i <= count; ++i)
        bytes += "A" + QByteArray::number(i) + "\r\n***\r\n";
    return bytes + "tail";
}

// What the text box shows for a slot of that collection.
QString slotText(int count, int index) {
    if (index == 0)
        return QStringLiteral("\nintro");
    if (index >= 1 && index <= count)
        return QStringLiteral("\nA%1").arg(index);
    if (index == count + 1)
        return QStringLiteral("\ntail");
    return QString();
}

const QString Untouched = QStringLiteral("<untouched>");

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT

    static void start(WindowFixture& fx, int count, int position, bool pre, bool next) {
        fx.files.write(QStringLiteral("data.txt"), collection(count));
        QVERIFY(fx.window().Form_Load());
        fx.window().CurArticle = qint16(position);
        fx.action("mpre")->setEnabled(pre);
        fx.action("mnext")->setEnabled(next);
        fx.text()->setPlainText(Untouched);
    }

private Q_SLOTS:
    // Each command from a given state: position, menu flags, beeps, the error
    // box, the text on show and the title afterwards.
    void commands_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("preBefore");
        QTest::addColumn<bool>("nextBefore");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("preAfter");
        QTest::addColumn<bool>("nextAfter");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<bool>("errorBox");
        QTest::addColumn<bool>("moved");

        auto row = [](const char* name, int count, int position, bool pre, bool next,
                      const char* command, int expected, bool preAfter, bool nextAfter, int beeps,
                      bool errorBox, bool moved) {
            QTest::newRow(name) << count << position << pre << next << QString::fromUtf8(command)
                                << expected << preAfter << nextAfter << beeps << errorBox << moved;
        };
        // name, count, position, mpre, mnext, command, position, mpre, mnext, beeps, box, moved
        row("prev at 1 beeps and disables", 10, 1, true, true, "prev", 1, false, true, 1, false,
            false);
        row("prev at 0 beeps and keeps", 10, 0, true, true, "prev", 0, true, true, 1, false, false);
        row("prev from 5 enables next", 10, 5, true, false, "prev", 4, true, true, 0, false, true);
        row("prev from 2 reaches 1", 10, 2, true, true, "prev", 1, false, true, 0, false, true);
        row("prev above count", 10, 50, true, true, "prev", 49, true, true, 0, false, true);
        row("prev from tail slot", 10, 11, true, false, "prev", 10, true, true, 0, false, true);
        row("next from 0", 10, 0, false, true, "next", 1, true, true, 0, false, true);
        row("next to last disables", 10, 9, false, true, "next", 10, true, false, 0, false, true);
        row("next at last beeps", 10, 10, true, true, "next", 10, true, false, 1, false, false);
        row("next above count keeps", 10, 50, true, true, "next", 50, true, true, 1, false, false);
        row("next with count 0", 0, 1, true, true, "next", 1, true, true, 1, false, false);
        row("next with count -1", -1, 1, true, true, "next", 1, true, true, 1, false, false);
        row("first with one article", 1, 1, true, false, "first", 1, false, true, 0, false, true);
        row("first with count 0", 0, 0, true, false, "first", 1, false, true, 0, false, true);
        row("first with count -1", -1, 5, true, true, "first", 1, false, true, 0, false, true);
        row("first from far", 10, 7, true, false, "first", 1, false, true, 0, false, true);
        row("goto cancelled", 10, 5, true, true, "goto:", 5, true, true, 0, false, false);
        row("goto letters", 10, 5, true, true, "goto:abc", 5, true, true, 0, false, false);
        row("goto number then letters", 10, 5, true, true, "goto:12abc", 5, true, true, 0, false,
            false);
        row("goto 0", 10, 5, true, true, "goto:0", 5, true, true, 0, false, false);
        row("goto above count", 10, 5, true, true, "goto:11", 5, true, true, 0, true, false);
        row("goto 0 with count -1", -1, 1, true, true, "goto:0", 1, true, true, 0, true, false);
        row("goto the count", 10, 5, true, true, "goto:10", 10, true, false, 0, false, true);
        row("goto 2.5", 10, 5, true, true, "goto:2.5", 2, true, true, 0, false, true);
        row("goto 3.5", 10, 5, true, true, "goto:3.5", 4, true, true, 0, false, true);
        row("goto 0.4", 10, 5, true, true, "goto:0.4", 0, true, true, 0, false, true);
        row("goto with blanks", 10, 5, true, true, "goto:  7  ", 7, true, true, 0, false, true);
        row("goto 1 keeps prev", 10, 5, true, true, "goto:1", 1, true, true, 0, false, true);
        row("goto back keeps next off", 10, 10, true, false, "goto:3", 3, true, false, 0, false,
            true);
        row("goto negative ignored", 10, 5, true, true, "goto:-3", 5, true, true, 0, false, false);
        row("goto below 16 bits ignored", 10, 5, true, true, "goto:-40000", 5, true, true, 0, false,
            false);
    }
    void commands() {
        QFETCH(int, count);
        QFETCH(int, position);
        QFETCH(bool, preBefore);
        QFETCH(bool, nextBefore);
        QFETCH(QString, command);
        QFETCH(int, expected);
        QFETCH(bool, preAfter);
        QFETCH(bool, nextAfter);
        QFETCH(int, beeps);
        QFETCH(bool, errorBox);
        QFETCH(bool, moved);

        WindowFixture fx;
        start(fx, count, position, preBefore, nextBefore);
        if (command.startsWith(QStringLiteral("goto:")))
            fx.dialogs.answers << command.mid(5);
        const char* action = command == QStringLiteral("prev")    ? "mpre"
                             : command == QStringLiteral("next")  ? "mnext"
                             : command == QStringLiteral("first") ? "mstart"
                                                                  : "mto";
        // mstart is greyed in the menu, but its command works whenever it runs.
        QAction* item = fx.action(action);
        const bool greyed = !item->isEnabled();
        item->setEnabled(true);
        item->trigger();
        if (greyed)
            item->setEnabled(false);

        QCOMPARE(int(fx.window().CurArticle), expected);
        QCOMPARE(fx.action("mpre")->isEnabled(), preAfter);
        QCOMPARE(fx.action("mnext")->isEnabled(), nextAfter);
        QCOMPARE(fx.dialogs.beeps, beeps);
        QCOMPARE(fx.dialogs.messages,
                 errorBox ? QStringList{QStringLiteral("錯誤輸入|輸入篇數過大")} : QStringList());
        QCOMPARE(fx.text()->toPlainText(), moved ? slotText(count, expected) : Untouched);
        if (command.startsWith(QStringLiteral("goto:")))
            QCOMPARE(fx.dialogs.prompts, QStringList{QStringLiteral("輸入|到第幾篇??")});
        QVERIFY(!fx.dialogs.reported);
        // Title refreshed by prev/next even when they only beep; untouched by a
        // go-to that did not move.
        if (moved || !command.startsWith(QStringLiteral("goto:")))
            QCOMPARE(fx.window().windowTitle(),
                     QStringLiteral("Orvenla(%1 of %2)").arg(expected).arg(count));
        else
            QCOMPARE(fx.window().windowTitle(), QStringLiteral("Orvenla(1 of %1)").arg(count));
    }

    // Real key presses reach the commands and then the text box itself.
    void keys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << 4 << "\n\nA4" << 1;
        QTest::newRow("keypad Enter")
            << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << 4 << "\n\nA4" << 1;
        QTest::newRow("Right") << int(Qt::Key_Right) << int(Qt::NoModifier) << 4 << "\nA4" << 1;
        QTest::newRow("Shift+Right")
            << int(Qt::Key_Right) << int(Qt::ShiftModifier) << 4 << "\nA4" << 1;
        // The text box itself ignores Ctrl+Enter; the article still moves.
        QTest::newRow("Ctrl+Enter")
            << int(Qt::Key_Return) << int(Qt::ControlModifier) << 4 << "\nA4" << 0;
        QTest::newRow("Left") << int(Qt::Key_Left) << int(Qt::NoModifier) << 2 << "\nA2" << 0;
        QTest::newRow("Up moves nothing")
            << int(Qt::Key_Up) << int(Qt::NoModifier) << 3 << "\nA3" << 0;
        QTest::newRow("Down moves nothing")
            << int(Qt::Key_Down) << int(Qt::NoModifier) << 3 << "\nA3" << 1;
        QTest::newRow("letter edits only")
            << int(Qt::Key_X) << int(Qt::NoModifier) << 3 << "x\nA3" << 1;
    }
    void keys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, expected);
        QFETCH(QString, text);
        QFETCH(int, caret);
        WindowFixture fx;
        fx.files.write(QStringLiteral("MyPage.txt"), "3\r\n");
        fx.files.write(QStringLiteral("data.txt"), collection(10));
        QVERIFY(fx.window().Form_Load());
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
        QTest::keyClick(fx.text(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(int(fx.window().CurArticle), expected);
        QCOMPARE(fx.window().windowTitle(), QStringLiteral("Orvenla(%1 of 10)").arg(expected));
        QCOMPARE(fx.text()->toPlainText(), text);
        QCOMPARE(fx.text()->textCursor().position(), caret);
    }

    void autoRepeatEachMoves() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), collection(10));
        QVERIFY(fx.window().Form_Load());
        for (int i = 0; i < 3; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), i > 0);
            QApplication::sendEvent(fx.text(), &press);
        }
        QCOMPARE(int(fx.window().CurArticle), 4);
    }

    // The stored article is never changed by edits in the text box.
    void editsAreNotStored() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), collection(3));
        QVERIFY(fx.window().Form_Load());
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowExposed(&fx.window()));
        QTest::keyClick(fx.text(), Qt::Key_Return);
        QTest::keyClick(fx.text(), Qt::Key_Left);
        QCOMPARE(fx.text()->toPlainText(), QStringLiteral("\nA1"));
        QCOMPARE(fx.window().ArticleText(2), QStringLiteral("\r\nA2"));
    }

    void help() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), collection(10));
        QVERIFY(fx.window().Form_Load());
        fx.window().CurArticle = 4;
        fx.action("mnext")->setEnabled(false);
        const QString title = fx.window().windowTitle();
        fx.action("mhelp")->trigger();
        const QString expected =
            QStringLiteral(" Dornbey \u8AAA\u660E|"
                           "1.\u66F4\u65B0\u76EE\u9304\u88E1\u7684 \u300Adata.txt\u300B "
                           "\u6A94\u4F86\u66F4\u65B0\u53CA\u5132\u5B58\u6587\u7AE0\u3002\r\n\r\n"
                           "2.\u95DC\u9589\u7A0B\u5F0F\u6642\uFF0C\u5C07\u81EA\u52D5\u7D00\u9304"
                           "\u76EE\u524D\u6587\u7AE0\u7BC7\u6578\uFF0C\u65B9\u4FBF\u4E0B\u6B21"
                           "\u958B\u555F \uFE57\r\n\r\n"
                           "3.\u4E0B\u4E00\u7BC7: Enter \u6216\u5411\u53F3\u9375\uFE57\r\n\r\n"
                           "4.\u4E0A\u4E00\u7BC7:\u5411\u5DE6\u9375\uFE57");
        QCOMPARE(fx.dialogs.messages, QStringList{expected});
        QCOMPARE(int(fx.window().CurArticle), 4);
        QCOMPARE(fx.window().windowTitle(), title);
        QVERIFY(fx.action("mpre")->isEnabled());
        QVERIFY(!fx.action("mnext")->isEnabled());
    }
};

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
