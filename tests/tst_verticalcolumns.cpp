#include "text/VerticalColumns.h"

#include <QTest>

using vertical::Placement;

namespace {

// An upright character takes one unit of a column, a turned one half.
QStringList columnTexts(const QString& text, qreal height, qsizetype part = 0) {
    const vertical::ColumnMetrics metrics{height, [](char32_t, Placement placement) {
                                              return placement == Placement::Upright ? 1.0 : 0.5;
                                          }};
    QList<vertical::Column> columns;
    if (part == 0) {
        columns = vertical::breakColumns(text, metrics);
    } else {
        for (qsizetype next = 0; next != -1;)
            next = vertical::breakColumns(text, metrics, columns, next, columns.size() + part);
    }
    QStringList texts;
    for (const vertical::Column& column : columns)
        texts << text.mid(column.start, column.end - column.start);
    return texts;
}

} // namespace

class VerticalColumnsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void placement_data() {
        QTest::addColumn<char32_t>("original");
        QTest::addColumn<Placement>("placement");
        QTest::addColumn<char32_t>("shown");
        const auto row = [](const char* name, char32_t c, Placement placement, char32_t shown) {
            QTest::newRow(name) << c << placement << shown;
        };
        using enum Placement;
        row("ideograph", U'中', Upright, U'中');
        row("ideograph beyond the BMP", U'𠀀', Upright, U'𠀀');
        row("full-width letter", U'Ａ', Upright, U'Ａ');
        row("full-width comma", U'，', Upright, U'︐');
        row("ideographic comma", U'、', Upright, U'︑');
        row("full stop", U'。', Upright, U'︒');
        row("colon", U'：', Upright, U'︓');
        row("semicolon", U'；', Upright, U'︔');
        row("exclamation", U'！', Upright, U'︕');
        row("question", U'？', Upright, U'︖');
        row("corner bracket", U'「', Upright, U'﹁');
        row("closing corner bracket", U'」', Upright, U'﹂');
        row("white corner bracket", U'『', Upright, U'﹃');
        row("closing white corner bracket", U'』', Upright, U'﹄');
        row("parenthesis", U'（', Upright, U'︵');
        row("closing parenthesis", U'）', Upright, U'︶');
        row("double angle bracket", U'《', Upright, U'︽');
        row("closing double angle bracket", U'》', Upright, U'︾');
        row("angle bracket", U'〈', Upright, U'︿');
        row("closing angle bracket", U'〉', Upright, U'﹀');
        // Turned, these read as their vertical forms without one.
        row("em dash", U'—', Turned, U'—');
        row("ellipsis", U'…', Turned, U'…');
        row("wave dash without a vertical form", U'～', Turned, U'～');
        row("Latin letter", U'A', Turned, U'A');
        row("digit", U'7', Turned, U'7');
        row("ASCII comma in Latin text", U',', Turned, U',');
    }
    void placement() {
        QFETCH(char32_t, original);
        QFETCH(Placement, placement);
        QFETCH(char32_t, shown);
        QCOMPARE(vertical::placementOf(original), placement);
        QCOMPARE(vertical::shownForm(original), shown);
        // The form shown stands for the original: its own decomposition leads
        // back to it, or to the narrow character the original widens.
        if (shown != original) {
            QCOMPARE(QChar::decompositionTag(shown), QChar::Vertical);
            const QString back = QChar::decomposition(shown);
            QVERIFY(back == QString::fromUcs4(&original, 1) ||
                    back == QChar::decomposition(original));
        }
    }

    void columns_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qreal>("height");
        QTest::addColumn<QStringList>("columns");
        const auto row = [](const char* name, const char16_t* text, qreal height,
                            QStringList columns) {
            QTest::newRow(name) << QString::fromUtf16(text) << height << columns;
        };
        row("empty text", u"", 3, {""});
        row("blank first line", u"\n春眠", 3, {"", "春眠"});
        row("every line end", u"甲\r\n乙\r丙\n", 3, {"甲", "乙", "丙", ""});
        row("full height", u"春眠不覺曉", 3, {"春眠不", "覺曉"});
        row("exactly full", u"春眠不", 3, {"春眠不"});
        row("taller than the box", u"春眠", 0.5, {"春", "眠"});
        row("beyond the BMP", u"𠀀𠀁𠀂", 2, {"𠀀𠀁", "𠀂"});
        row("full stop hangs", u"春眠不。覺", 3, {"春眠不。", "覺"});
        row("comma hangs", u"春眠不，覺", 3, {"春眠不，", "覺"});
        row("hanging at the line end", u"春眠不、", 3, {"春眠不、"});
        row("closing mark takes the character before", u"春眠不」覺", 3, {"春眠", "不」覺"});
        row("question mark takes the character before", u"春眠不？覺", 3, {"春眠", "不？覺"});
        row("no hanging before a closing mark", u"春眠不。」覺", 3, {"春眠", "不。」", "覺"});
        row("opening mark goes with what follows", u"春眠「不覺", 3, {"春眠", "「不覺"});
        row("Latin word kept whole", u"春 hello world", 3, {"春 ", "hello ", "world"});
        row("no opportunity at all", u"aaaaaaaaaa", 2, {"aaaa", "aaaa", "aa"});
        row("lines of several columns", u"春眠不覺曉\n處處聞啼鳥。\n\n夜", 2,
            {"春眠", "不覺", "曉", "處處", "聞啼", "鳥。", "", "夜"});
        row("digits with ideographs", u"一二12三", 2, {"一二", "12三"});
    }
    void columns() {
        QFETCH(QString, text);
        QFETCH(qreal, height);
        QFETCH(QStringList, columns);
        QCOMPARE(columnTexts(text, height), columns);
        // Broken a column or two at a time, as a long text is, the same.
        QCOMPARE(columnTexts(text, height, 1), columns);
        QCOMPARE(columnTexts(text, height, 2), columns);
    }

    void punctuationRules_data() {
        QTest::addColumn<char32_t>("c");
        QTest::addColumn<bool>("mayStart");
        QTest::addColumn<bool>("mayEnd");
        QTest::addColumn<bool>("hangs");
        QTest::newRow("full stop") << char32_t(U'。') << false << true << true;
        QTest::newRow("comma") << char32_t(U'，') << false << true << true;
        QTest::newRow("ideographic comma") << char32_t(U'、') << false << true << true;
        QTest::newRow("question mark") << char32_t(U'？') << false << true << false;
        QTest::newRow("closing bracket") << char32_t(U'」') << false << true << false;
        QTest::newRow("opening bracket") << char32_t(U'「') << true << false << false;
        QTest::newRow("ideograph") << char32_t(U'字') << true << true << false;
    }
    void punctuationRules() {
        QFETCH(char32_t, c);
        QFETCH(bool, mayStart);
        QFETCH(bool, mayEnd);
        QFETCH(bool, hangs);
        QCOMPARE(vertical::mayStartColumn(c), mayStart);
        QCOMPARE(vertical::mayEndColumn(c), mayEnd);
        QCOMPARE(vertical::mayHang(c), hangs);
    }
};

QTEST_GUILESS_MAIN(VerticalColumnsTest)
#include "tst_verticalcolumns.moc"
