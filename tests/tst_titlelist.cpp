// The list of titles in the real window, driven by its keys.

#include "WindowFixture.h"
#include "app/ArticleView.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>

namespace {

// Thirty articles, titled A1 to A30 but for a few, each with a second line.
QByteArray collection(int count, const QByteArray& inserted = {}) {
    QByteArray bytes = "***\r\n" + inserted;
    for (int i = 1; i <= count; ++i) {
        const QByteArray title = i == 5    ? QByteArray("明月光")
                                 : i == 12 ? QByteArray("明月幾時有")
                                           : "A" + QByteArray::number(i);
        bytes += "\r\n" + title + "\r\n" + (i == 7 ? "secret" : "line") + "\r\n***\r\n";
    }
    return bytes;
}

const QHash<QString, Qt::Key> Keys{{"Up", Qt::Key_Up},         {"Down", Qt::Key_Down},
                                   {"PageUp", Qt::Key_PageUp}, {"PageDown", Qt::Key_PageDown},
                                   {"Home", Qt::Key_Home},     {"End", Qt::Key_End},
                                   {"Enter", Qt::Key_Return},  {"Esc", Qt::Key_Escape}};

struct ListFixture : WindowFixture {
    bool open() {
        files.write(QStringLiteral("data.txt"), collection(30));
        files.write(QStringLiteral("MyPage.txt"), "3");
        if (!startWindow())
            return false;
        window().show();
        return QTest::qWaitForWindowActive(&window());
    }
    QWidget* list() { return window().findChild<QWidget*>(QStringLiteral("titleList")); }
    QLineEdit* field() { return window().findChild<QLineEdit*>(QStringLiteral("titleFilter")); }
    QListView* rows() { return window().findChild<QListView*>(QStringLiteral("titleRows")); }
    QString count() { return window().findChild<QLabel*>(QStringLiteral("titleCount"))->text(); }
    // The number of the row selected.
    int selected() { return rows()->currentIndex().data().toString().section(u'　', 0, 0).toInt(); }
};

} // namespace

class TestTitleList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Keys: T is Ctrl+T in the text box, F Ctrl+F in the field, D a
    // double-click on the row selected, "=text" typed; the rest by name. The
    // list starts on article 3.
    void keyPaths_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<bool>("open");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("title");
        const QString third = QStringLiteral("Orvenla(3 of 30)");
        QTest::newRow("open on the article shown")
            << QStringList{"T"} << true << 3 << "30 篇" << third;
        QTest::newRow("typing narrows")
            << QStringList{"T", "=明月"} << true << 5 << "2 篇" << third;
        QTest::newRow("Down in the field")
            << QStringList{"T", "=明月", "Down"} << true << 12 << "2 篇" << third;
        QTest::newRow("Up, Down") << QStringList{"T", "Down", "Down", "Up"} << true << 4 << "30 篇"
                                  << third;
        QTest::newRow("End") << QStringList{"T", "End"} << true << 30 << "30 篇" << third;
        QTest::newRow("End, Home")
            << QStringList{"T", "End", "Home"} << true << 1 << "30 篇" << third;
        // A page is some rows, not all: -30 is any row strictly between 1 and 30.
        QTest::newRow("End, PageUp")
            << QStringList{"T", "End", "PageUp"} << true << -30 << "30 篇" << third;
        QTest::newRow("Home, PageDown")
            << QStringList{"T", "Home", "PageDown"} << true << -30 << "30 篇" << third;
        QTest::newRow("Enter shows the article")
            << QStringList{"T", "=幾時", "Enter"} << false << 0 << ""
            << "Orvenla(12 of 30)";
        QTest::newRow("a number typed") << QStringList{"T", "=20", "Enter"} << false << 0 << ""
                                        << "Orvenla(20 of 30)";
        QTest::newRow("double-click") << QStringList{"T", "=明月", "Down", "D"} << false << 0 << ""
                                      << "Orvenla(12 of 30)";
        QTest::newRow("Esc leaves the article")
            << QStringList{"T", "Down", "Esc"} << false << 0 << "" << third;
        QTest::newRow("whole text")
            << QStringList{"T", "=secret", "F"} << true << 7 << "1 篇" << third;
        QTest::newRow("whole text, Enter")
            << QStringList{"T", "=secret", "F", "Enter"} << false << 0 << ""
            << "Orvenla(7 of 30)";
        QTest::newRow("titles again")
            << QStringList{"T", "=secret", "F", "F"} << true << 0 << "0 篇" << third;
    }
    void keyPaths() {
        QFETCH(QStringList, keys);
        QFETCH(bool, open);
        QFETCH(int, selected);
        QFETCH(QString, count);
        QFETCH(QString, title);
        ListFixture fx;
        QVERIFY(fx.open());
        const QSize size = fx.window().size();
        for (const QString& key : keys) {
            QWidget* focus = QApplication::focusWidget();
            if (key == u"T")
                QTest::keyClick(focus, Qt::Key_T, Qt::ControlModifier);
            else if (key == u"F")
                QTest::keyClick(focus, Qt::Key_F, Qt::ControlModifier);
            else if (key == u"D") {
                const QPoint row = fx.rows()->visualRect(fx.rows()->currentIndex()).center();
                QTest::mousePress(fx.rows()->viewport(), Qt::LeftButton, {}, row);
                QTest::mouseRelease(fx.rows()->viewport(), Qt::LeftButton, {}, row);
                QTest::mouseDClick(fx.rows()->viewport(), Qt::LeftButton, {}, row);
            } else if (key.startsWith(u'='))
                for (const QChar c : key.mid(1))
                    fx.field()->insert(c); // QTest types ASCII only
            else
                QTest::keyClick(focus, Keys.value(key));
            // A whole-text search ends before the next key.
            QTRY_VERIFY(!fx.count().startsWith(u"搜尋"));
        }
        QCOMPARE(fx.list()->isVisible(), open);
        QCOMPARE(fx.window().size(), size);
        QCOMPARE(QApplication::focusWidget(),
                 open ? static_cast<QWidget*>(fx.field()) : static_cast<QWidget*>(fx.text()));
        QCOMPARE(fx.window().windowTitle(), title);
        QVERIFY(fx.window().findChild<QWidget*>(QStringLiteral("findField")) == nullptr ||
                !fx.window().findChild<QWidget*>(QStringLiteral("findField"))->isVisible());
        if (open) {
            if (selected < 0)
                QVERIFY(fx.selected() > 1 && fx.selected() < -selected);
            else
                QCOMPARE(fx.selected(), selected);
            QCOMPARE(fx.count(), count);
            QVERIFY(fx.list()->geometry().bottom() <= fx.window().centralWidget()->height());
            // What a screen reader hears: the field, the switch, the list and
            // its count, and the row selected while the keys are in the field.
            QCOMPARE(fx.field()->accessibleName(), QStringLiteral("篩選目錄"));
            QCOMPARE(fx.window().findChild<QCheckBox*>()->accessibleName(),
                     QStringLiteral("篩選全文"));
            QCOMPARE(fx.rows()->accessibleName(), QStringLiteral("目錄"));
            QCOMPARE(fx.rows()->accessibleDescription(), count);
            QCOMPARE(fx.field()->accessibleDescription(),
                     fx.rows()->currentIndex().data().toString());
        } else if (title != u"Orvenla(3 of 30)") {
            // The bookmark, as after any move.
            const QString number = title.section(u'(', 1).section(u' ', 0, 0);
            QTRY_COMPARE_WITH_TIMEOUT(fx.files.read(QStringLiteral("MyPage.txt")),
                                      number.toLatin1() + "\r\n", 3000);
        }
    }

    // An edit saved while the list is open: the rows are the new version's,
    // the selection on its article at its new number.
    void followsAnEditWhileOpen_data() {
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("count");
        QTest::newRow("article inserted before")
            << collection(30, "\r\nnew\r\n***\r\n") << 5 << "31 篇";
        QTest::newRow("selected article gone") << collection(2) << 1 << "2 篇";
    }
    void followsAnEditWhileOpen() {
        QFETCH(QByteArray, after);
        QFETCH(int, selected);
        QFETCH(QString, count);
        ListFixture fx;
        QVERIFY(fx.open());
        QTest::keyClick(fx.text(), Qt::Key_T, Qt::ControlModifier);
        QTest::keyClick(fx.field(), Qt::Key_Down);
        QCOMPARE(fx.selected(), 4);
        fx.files.write(QStringLiteral("data.txt.new"), after);
        QVERIFY(QFile::rename(fx.files.filePath(QStringLiteral("data.txt")),
                              fx.files.filePath(QStringLiteral("data.txt.old"))));
        QVERIFY(QFile::rename(fx.files.filePath(QStringLiteral("data.txt.new")),
                              fx.files.filePath(QStringLiteral("data.txt"))));
        QTRY_COMPARE_WITH_TIMEOUT(fx.count(), count, 5000);
        QCOMPARE(fx.selected(), selected);
        QVERIFY(fx.list()->isVisible());
    }

    // Enter on an article that the file, written over in place since its
    // index, cannot give: the beep, the list stays and the article with it;
    // the new version is then followed into the list.
    void enterOnAFileWrittenOverInPlace() {
        ListFixture fx;
        QVERIFY(fx.open());
        QTest::keyClick(fx.text(), Qt::Key_T, Qt::ControlModifier);
        QTest::keyClick(fx.field(), Qt::Key_Down);
        fx.files.write(QStringLiteral("data.txt"), collection(30, "\r\nnew\r\n***\r\n"));
        const int beeps = fx.dialogs.beeps;
        QTest::keyClick(fx.field(), Qt::Key_Return);
        QCOMPARE(fx.dialogs.beeps, beeps + 1);
        QVERIFY(fx.list()->isVisible());
        QCOMPARE(fx.window().windowTitle(), QStringLiteral("Orvenla(3 of 30)"));
        QTRY_COMPARE_WITH_TIMEOUT(fx.count(), QStringLiteral("31 篇"), 5000);
        QCOMPARE(fx.selected(), 5);
    }

    // The text box's context menu: Qt's entries, then each command that has
    // a key of its own but no place in the menu bar, with that key; the menu
    // bar as designed.
    void contextMenu() {
        ListFixture fx;
        QVERIFY(fx.open());
        std::unique_ptr<QMenu> menu(
            static_cast<ArticleTextEdit*>(fx.text())->createContextMenu(QPoint()));
        QStringList commands;
        bool copy = false;
        for (const QAction* action : menu->actions()) {
            copy = copy || action->objectName() == u"edit-copy";
            if (!action->shortcut().isEmpty() && action->parent() == &fx.window())
                commands << action->text() + u' ' + action->shortcut().toString();
        }
        QVERIFY(copy);
        QCOMPARE(commands,
                 (QStringList{"目錄 Ctrl+T", "尋找 Ctrl+F", "找下一個 F3", "找上一個 Shift+F3",
                              "直排 F8", "放大 Ctrl++", "縮小 Ctrl+-", "原始大小 Ctrl+0"}));
        QStringList bar;
        for (const QAction* action : fx.window().menuBar()->actions())
            bar << action->text();
        QCOMPARE(bar, (QStringList{"設定", "首篇", "到 ? 篇", "<<<上一篇", "下一篇>>>", "說明"}));
    }
};

QTEST_MAIN(TestTitleList)
#include "tst_titlelist.moc"
