#include "core/Navigation.h"

#include <QTest>

Q_DECLARE_METATYPE(NavigationResult)

class TestNavigation : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Each command from a given position: the position, the two flags and what
    // the window is to do afterwards.
    void commands_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("current");
        QTest::addColumn<bool>("previousBefore");
        QTest::addColumn<bool>("nextBefore");
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("expected");
        QTest::addColumn<bool>("previousAfter");
        QTest::addColumn<bool>("nextAfter");
        QTest::addColumn<NavigationResult>("result");

        const auto row = [](const char* name, int count, int current, bool previous, bool next,
                            const char* command, int expected, bool previousAfter, bool nextAfter,
                            NavigationResult result) {
            QTest::newRow(name) << count << current << previous << next
                                << QString::fromUtf8(command) << expected << previousAfter
                                << nextAfter << result;
        };
        constexpr auto Moved = NavigationResult::Moved;
        constexpr auto Beep = NavigationResult::AtEdge;
        constexpr auto Same = NavigationResult::Unchanged;
        constexpr auto TooLarge = NavigationResult::NumberTooLarge;
        // name, count, current, previous, next, command, current, previous, next, result
        row("prev at 1 beeps and disables", 10, 1, true, true, "prev", 1, false, true, Beep);
        row("prev at 0 beeps and keeps", 10, 0, true, true, "prev", 0, true, true, Beep);
        row("prev from 5 enables next", 10, 5, true, false, "prev", 4, true, true, Moved);
        row("prev from 2 reaches 1", 10, 2, true, true, "prev", 1, false, true, Moved);
        row("prev above count", 10, 50, true, true, "prev", 49, true, true, Moved);
        row("prev from tail slot", 10, 11, true, false, "prev", 10, true, true, Moved);
        row("next from 0", 10, 0, false, true, "next", 1, true, true, Moved);
        row("next to last disables", 10, 9, false, true, "next", 10, true, false, Moved);
        row("next at last beeps", 10, 10, true, true, "next", 10, true, false, Beep);
        row("next above count keeps", 10, 50, true, true, "next", 50, true, true, Beep);
        row("next with count 0", 0, 1, true, true, "next", 1, true, true, Beep);
        row("next with count -1", -1, 1, true, true, "next", 1, true, true, Beep);
        row("first with one article", 1, 1, true, false, "first", 1, false, true, Moved);
        row("first with count 0", 0, 0, true, false, "first", 1, false, true, Moved);
        row("first with count -1", -1, 5, true, true, "first", 1, false, true, Moved);
        row("first from far", 10, 7, true, false, "first", 1, false, true, Moved);
        row("goto cancelled", 10, 5, true, true, "goto:", 5, true, true, Same);
        row("goto letters", 10, 5, true, true, "goto:abc", 5, true, true, Same);
        row("goto number then letters", 10, 5, true, true, "goto:12abc", 5, true, true, Same);
        row("goto 0", 10, 5, true, true, "goto:0", 5, true, true, Same);
        row("goto above count", 10, 5, true, true, "goto:11", 5, true, true, TooLarge);
        row("goto 0 with count -1", -1, 1, true, true, "goto:0", 1, true, true, TooLarge);
        row("goto the count", 10, 5, true, true, "goto:10", 10, true, false, Moved);
        row("goto 3.5", 10, 5, true, true, "goto:3.5", 4, true, true, Moved);
        row("goto 0.4", 10, 5, true, true, "goto:0.4", 0, true, true, Moved);
        row("goto with blanks", 10, 5, true, true, "goto:  7  ", 7, true, true, Moved);
        row("goto 1 keeps prev", 10, 5, true, true, "goto:1", 1, true, true, Moved);
        row("goto back keeps next off", 10, 10, true, false, "goto:3", 3, true, false, Moved);
        row("goto negative ignored", 10, 5, true, true, "goto:-3", 5, true, true, Same);
        row("goto below 16 bits ignored", 10, 5, true, true, "goto:-40000", 5, true, true, Same);
    }
    void commands() {
        QFETCH(int, count);
        QFETCH(int, current);
        QFETCH(bool, previousBefore);
        QFETCH(bool, nextBefore);
        QFETCH(QString, command);
        QFETCH(int, expected);
        QFETCH(bool, previousAfter);
        QFETCH(bool, nextAfter);
        QFETCH(NavigationResult, result);

        ReadingPosition position{qint16(current), qint16(count), previousBefore, nextBefore};
        const NavigationResult got = command == u"prev"   ? navigation::previous(position)
                                     : command == u"next" ? navigation::next(position)
                                     : command == u"first"
                                         ? navigation::first(position)
                                         : navigation::goTo(position, command.mid(5));
        QCOMPARE(got, result);
        QCOMPARE(int(position.current), expected);
        QCOMPARE(int(position.count), count);
        QCOMPARE(position.previousAvailable, previousAfter);
        QCOMPARE(position.nextAvailable, nextAfter);
    }

    void title_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("title");
        QTest::newRow("plain") << 3 << 120 << "Orvenla(3 of 120)";
        QTest::newRow("no separator lines") << 1 << -1 << "Orvenla(1 of -1)";
        QTest::newRow("slot 0") << 0 << 10 << "Orvenla(0 of 10)";
    }
    void title() {
        QFETCH(int, current);
        QFETCH(int, count);
        QFETCH(QString, title);
        QCOMPARE(navigation::title({qint16(current), qint16(count)}), title);
    }
};

QTEST_GUILESS_MAIN(TestNavigation)
#include "tst_navigation.moc"
