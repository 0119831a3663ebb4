#include "WindowFixture.h"
#include "app/ArticleFinder.h"
#include "app/ArticleView.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QTest>

namespace {

const QByteArray Poems = "***\r\n春眠不覺曉\r\n***\r\n床前明\r\n月光\r\n***\r\n"
                         "明月幾時有\r\n***\r\n無\r\n***\r\n";
const QByteArray Moons = "***\r\nsky\r\n***\r\nno\r\nmoon\r\n***\r\nfull\r\nmoon\r\n***\r\n";

// A finder over a window of its own, with the collection and the reader's
// place in the test's hands: the reader moves wherever a search asks.
struct FinderFixture {
    explicit FinderFixture(const QByteArray& data, qint16 current) {
        files.write(QStringLiteral("data.txt"), data);
        collection = index();
        position = {current, qint16(collection->count()), true, true};
        text->showArticle(collection->slotText(current).value_or(QString()));
        window.show();
    }
    std::shared_ptr<const DataFileIndex> index() {
        return std::make_shared<const DataFileIndex>(
            indexDataFile(files.filePath(QStringLiteral("data.txt")), narrowCodecsFor("UTF-8")));
    }
    void find(const QString& typed) {
        finder.open();
        window.findChild<QLineEdit*>(QStringLiteral("findField"))->setText(typed);
        finder.find(SearchDirection::Forward);
    }

    ProgramDirFixture files;
    QMainWindow window;
    ArticleTextEdit* text = ArticleTextEdit::createIn(&window);
    FakeDialogs dialogs;
    std::shared_ptr<const DataFileIndex> collection;
    ReadingPosition position;
    QList<int> shown;
    ArticleFinder finder{{[this] { return position; }, [this] { return collection; }, text, dialogs,
                          [this](qint16 article, const QString& articleText) {
                              shown << article;
                              position.current = article;
                              text->showArticle(articleText);
                              return true;
                          }},
                         window.centralWidget()};
};

} // namespace

// Each key path of finding text, as the user presses it: Ctrl+F, typing,
// Enter (E; SE with Shift, KE on the keypad, E! without waiting for its
// answer), Esc, F3 and Shift+F3 (S), and W, a wait in which a search that
// should have ended would still show its answer.
class TestFind : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void keyPaths_data() {
        QTest::addColumn<QString>("bookmark");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<int>("beeps");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("note");
        const QString moon = QStringLiteral("明月");
        const QString wrapped = QStringLiteral("已從第一篇再找起");
        QTest::newRow("Ctrl+F, Enter: across a line end in the next article")
            << "1" << QStringList{"F", moon, "E"} << "Orvenla(2 of 4)" << moon << 0 << ""
            << "";
        QTest::newRow("Enter again: the article after")
            << "1" << QStringList{"F", moon, "E", "E"} << "Orvenla(3 of 4)" << moon << 0 << ""
            << "";
        QTest::newRow("Esc, then F3 from the text box")
            << "1" << QStringList{"F", moon, "E", "Esc", "F3"} << "Orvenla(3 of 4)" << moon << 0
            << ""
            << "";
        QTest::newRow("F3 from the find field keeps its keys")
            << "1" << QStringList{"F", moon, "E", "F3"} << "Orvenla(3 of 4)" << moon << 0 << ""
            << "";
        QTest::newRow("in the article on show, then Shift+F3 back")
            << "3" << QStringList{"F", moon, "E", "S"} << "Orvenla(2 of 4)" << moon << 0 << ""
            << "";
        QTest::newRow("Shift+Enter: the previous match")
            << "3" << QStringList{"F", moon, "SE"} << "Orvenla(2 of 4)" << moon << 0 << ""
            << "";
        QTest::newRow("keypad Enter")
            << "1" << QStringList{"F", moon, "KE"} << "Orvenla(2 of 4)" << moon << 0 << ""
            << "";
        QTest::newRow("past the last on to the first")
            << "4" << QStringList{"F", "春眠", "E"} << "Orvenla(1 of 4)"
            << "春眠" << 1 << "" << wrapped;
        QTest::newRow("round to the only match, on show")
            << "3" << QStringList{"F", "幾時", "E", "E"} << "Orvenla(3 of 4)"
            << "幾時" << 1 << "" << wrapped;
        // Typed in Simplified, found and selected as the text writes it.
        QTest::newRow("Simplified finds Traditional in another article")
            << "1" << QStringList{"F", "几时", "E"} << "Orvenla(3 of 4)"
            << "幾時" << 0 << ""
            << "";
        QTest::newRow("Simplified finds Traditional past the last")
            << "2" << QStringList{"F", "不觉晓", "E"} << "Orvenla(1 of 4)"
            << "不覺曉" << 1 << "" << wrapped;
        QTest::newRow("F3 round with the bar closed shows the note")
            << "3" << QStringList{"F", moon, "E", "Esc", "F3"} << "Orvenla(2 of 4)" << moon << 1
            << "" << wrapped;
        QTest::newRow("Shift+F3 round with the bar closed shows the note")
            << "2" << QStringList{"F", moon, "E", "Esc", "S"} << "Orvenla(3 of 4)" << moon << 1
            << "" << QStringLiteral("已從最後一篇再找起");
        QTest::newRow("a new search clears the note")
            << "4" << QStringList{"F", moon, "E", "E"} << "Orvenla(3 of 4)" << moon << 1 << ""
            << "";
        QTest::newRow("no match") << "2" << QStringList{"F", "秋", "E"} << "Orvenla(2 of 4)"
                                  << "" << 1 << "尋找|找不到「秋」"
                                  << "";
        QTest::newRow("Esc drops the search under way")
            << "1" << QStringList{"F", moon, "E!", "Esc", "W"} << "Orvenla(1 of 4)"
            << "" << 0 << ""
            << "";
        QTest::newRow("a reopened bar, Enter") << "1" << QStringList{"F", moon, "Esc", "F", "E"}
                                               << "Orvenla(2 of 4)" << moon << 0 << ""
                                               << "";
    }
    void keyPaths() {
        QFETCH(QString, bookmark);
        QFETCH(QStringList, keys);
        QFETCH(QString, title);
        QFETCH(QString, selected);
        QFETCH(int, beeps);
        QFETCH(QString, message);
        QFETCH(QString, note);
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), Poems);
        fx.files.write(QStringLiteral("MyPage.txt"), bookmark.toLatin1());
        QVERIFY(fx.startWindow());
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowActive(&fx.window()));
        auto* field = fx.window().findChild<QLineEdit*>(QStringLiteral("findField"));
        auto* bar = fx.window().findChild<QWidget*>(QStringLiteral("findBar"));
        for (const QString& key : keys) {
            QWidget* focus = QApplication::focusWidget();
            if (key == u"F") {
                QTest::keyClick(focus, Qt::Key_F, Qt::ControlModifier);
                QVERIFY(field->hasFocus());
                // What was typed before is selected, to be typed over.
                QCOMPARE(field->selectedText(), field->text());
                QVERIFY(bar->parentWidget()->rect().contains(bar->geometry()));
            } else if (key == u"E!") {
                QTest::keyClick(focus, Qt::Key_Return);
            } else if (key == u"E" || key == u"SE" || key == u"KE") {
                const QString before =
                    fx.window().windowTitle() + fx.text()->textCursor().selectedText();
                const int beepsBefore = fx.dialogs.beeps;
                QTest::keyClick(focus, key == u"KE" ? Qt::Key_Enter : Qt::Key_Return,
                                key == u"SE"   ? Qt::ShiftModifier
                                : key == u"KE" ? Qt::KeypadModifier
                                               : Qt::NoModifier);
                // Done once the title or the selection has changed, or a beep came.
                QTest::qWait(50);
                QTRY_VERIFY(fx.window().windowTitle() + fx.text()->textCursor().selectedText() !=
                                before ||
                            fx.dialogs.beeps > beepsBefore);
            } else if (key == u"Esc") {
                QTest::keyClick(focus, Qt::Key_Escape);
                QVERIFY(!field->isVisible() && fx.text()->hasFocus());
            } else if (key == u"F3" || key == u"S") {
                QTest::keyClick(focus, Qt::Key_F3,
                                key == u"S" ? Qt::ShiftModifier : Qt::NoModifier);
                QCOMPARE(QApplication::focusWidget(), focus);
            } else if (key == u"W") {
                QTest::qWait(300);
            } else {
                field->setText(key);
            }
        }
        QTRY_COMPARE(fx.window().windowTitle(), title);
        QTRY_COMPARE(fx.text()->textCursor().selectedText().remove(QChar(0x2029)), selected);
        QCOMPARE(fx.dialogs.beeps, beeps);
        QCOMPARE(fx.dialogs.messages.join(u' '), message);
        auto* shownNote = fx.window().findChild<QLabel*>(QStringLiteral("findNote"));
        QCOMPARE(shownNote->text(), note);
        // A note is on screen, and the keys stay where they were.
        if (!note.isEmpty())
            QVERIFY(shownNote->isVisible());
        if (keys.lastIndexOf(QStringLiteral("Esc")) > keys.lastIndexOf(QStringLiteral("F")))
            QCOMPARE(QApplication::focusWidget(), fx.text());
    }

    // Help run from the menu bar gives the keys back to the text box, as
    // every command does.
    void helpFromTheMenuBar() {
        WindowFixture fx;
        fx.files.write(QStringLiteral("data.txt"), Poems);
        QVERIFY(fx.startWindow());
        fx.window().show();
        QVERIFY(QTest::qWaitForWindowActive(&fx.window()));
        QTest::keyClick(fx.text(), Qt::Key_F10);
        QTRY_VERIFY(QApplication::activePopupWidget());
        for (int i = 0; i < 4; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTRY_COMPARE(fx.window().menuBar()->activeAction(), fx.action("helpAction"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_COMPARE(fx.dialogs.messages.size(), 1);
        QVERIFY(fx.text()->hasFocus());
    }

    // A search shows the text it read and selects its match there, in the
    // text box's places (one per CR LF); a search under way starts again on
    // a new version of the collection.
    void foundArticleIsShown_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("newer");
        QTest::addColumn<int>("article");
        QTest::addColumn<int>("start");
        QTest::newRow("the version searched") << Moons << QByteArray() << 2 << 4;
        QTest::newRow("a new version under way")
            << Moons
            << QByteArray("***\r\nsky\r\n***\r\nnone\r\n***\r\nthe\r\nfull\r\n\r\nmoon\r\n***\r\n")
            << 3 << 11;
        // Shown as a line end, the first 65536 x, a break, the rest.
        QTest::newRow("after a line shown in pieces")
            << "***\r\nsky\r\n***\r\n" + QByteArray(70000, 'x') + "moon\r\n***\r\n"
            << QByteArray() << 2 << 70002;
    }
    void foundArticleIsShown() {
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, newer);
        QFETCH(int, article);
        QFETCH(int, start);
        FinderFixture fx(data, 1);
        fx.find(QStringLiteral("MOON"));
        // Before the task's answer can come back to this thread.
        if (!newer.isEmpty()) {
            fx.files.write(QStringLiteral("data.txt"), newer);
            fx.collection = fx.index();
            fx.finder.collectionReplaced();
        }
        QTRY_COMPARE(fx.shown, QList<int>{article});
        QTest::qWait(100);
        QCOMPARE(fx.shown, QList<int>{article});
        const QTextCursor cursor = fx.text->textCursor();
        QCOMPARE(cursor.selectionStart(), start);
        QCOMPARE(cursor.selectedText(), QStringLiteral("moon"));
    }
};

QTEST_MAIN(TestFind)
#include "tst_find.moc"
