#include "store/ArticleSlots.h"
#include "text/Big5Decoder.h"

#include <QTest>

class TestArticleSlots : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A store filled up to slot `filled` (one slot a line here) reads every
    // slot after it as empty, whether the text is held as bytes or as UTF-16.
    // The slot just past the filled ones is left with stale lines in the
    // vector's spare room, so that reading it as filled shows.
    void slotsPastTheFilled_data() {
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<int>("filled");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        for (const char* codec : {Big5CodecName, "ISO-8859-1"}) {
            const auto row = [&](const char* name, int filled, int index, const QString& text) {
                QTest::addRow("%s, %s", codec, name)
                    << QByteArray(codec) << filled << index << text;
            };
            row("first slot", 2, 0, QStringLiteral("\r\nline 0"));
            row("last filled", 2, 2, QStringLiteral("\r\nline 2"));
            row("just past the filled", 2, 3, QString());
            row("past the filled, none filled", 0, 1, QString());
            row("last slot", 2, ArticleSlots::LastSlot, QString());
        }
    }
    void slotsPastTheFilled() {
        QFETCH(QByteArray, codec);
        QFETCH(int, filled);
        QFETCH(int, index);
        QFETCH(QString, text);
        const QByteArray bytes("line 0\r\nline 1\r\nline 2\r\nline 3\r\n");
        BytesSource source(bytes);
        std::optional<WholeNarrowText> whole = decodeWholeNarrowText(source, {codec});
        QVERIFY(whole);
        // Bytes and UTF-16 units alike: the text is ASCII.
        std::vector<ArticleSlots::Lines> lines;
        for (qsizetype from = 0; from < bytes.size(); from = bytes.indexOf('\n', from) + 1)
            lines.push_back({from, bytes.indexOf('\n', from) + 1});
        lines.resize(size_t(filled) + 2);
        lines.pop_back();
        ArticleSlots slots;
        slots.assign(std::move(*whole), std::move(lines));
        QCOMPARE(slots(index), text);
    }
};

QTEST_GUILESS_MAIN(TestArticleSlots)
#include "tst_articleslots.moc"
