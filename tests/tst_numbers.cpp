#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"

#include <QLocale>
#include <QTest>

#include <cmath>

namespace {

// What the 16-bit conversion gave: the value, or "error N".
QString conversion(const QString& text) {
    try {
        return QString::number(numbers::toInt16(text));
    } catch (const RuntimeError& e) {
        return QStringLiteral("error %1").arg(e.number());
    }
}

} // namespace

class TestNumbers : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QLocale::setDefault(QLocale::c()); }

    // The whole-text readings: numeric test, value and 16-bit conversion
    // must agree on which texts are numbers.
    void wholeText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("numeric");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("int16");
        QTest::newRow("plain") << "12" << true << 12.0 << "12";
        QTest::newRow("blanks around") << "  12  " << true << 12.0 << "12";
        QTest::newRow("tabs around") << "\t7\t" << true << 7.0 << "7";
        QTest::newRow("plus sign") << "+5" << true << 5.0 << "5";
        QTest::newRow("minus sign") << "-3" << true << -3.0 << "-3";
        QTest::newRow("zero") << "0" << true << 0.0 << "0";
        QTest::newRow("2.5 to even") << "2.5" << true << 2.5 << "2";
        QTest::newRow("3.5 to even") << "3.5" << true << 3.5 << "4";
        QTest::newRow("-2.5 to even") << "-2.5" << true << -2.5 << "-2";
        QTest::newRow("0.4") << "0.4" << true << 0.4 << "0";
        QTest::newRow("leading point") << ".5" << true << 0.5 << "0";
        QTest::newRow("trailing point") << "5." << true << 5.0 << "5";
        QTest::newRow("32767.4") << "32767.4" << true << 32767.4 << "32767";
        QTest::newRow("32767.5") << "32767.5" << true << 32767.5 << "error 6";
        QTest::newRow("-32768.5") << "-32768.5" << true << -32768.5 << "-32768";
        QTest::newRow("-32769") << "-32769" << true << -32769.0 << "error 6";
        QTest::newRow("huge") << "99999999999999999999" << true << 1e20 << "error 6";
        QTest::newRow("trailing letters") << "12abc" << false << qQNaN() << "error 13";
        QTest::newRow("letters") << "abc" << false << qQNaN() << "error 13";
        QTest::newRow("empty") << "" << false << qQNaN() << "error 13";
        QTest::newRow("blanks only") << "   " << false << qQNaN() << "error 13";
        QTest::newRow("exponent") << "1e3" << false << qQNaN() << "error 13";
        QTest::newRow("sign only") << "-" << false << qQNaN() << "error 13";
        QTest::newRow("point only") << "." << false << qQNaN() << "error 13";
        QTest::newRow("inner blank") << "1 2" << false << qQNaN() << "error 13";
        QTest::newRow("digit grouping") << "1,000" << false << qQNaN() << "error 13";
        QTest::newRow("hexadecimal") << "0x10" << false << qQNaN() << "error 13";
        QTest::newRow("full-width digits")
            << QStringLiteral("１２") << false << qQNaN() << "error 13";
    }
    void wholeText() {
        QFETCH(QString, text);
        QFETCH(bool, numeric);
        QFETCH(double, value);
        QFETCH(QString, int16);
        QCOMPARE(numbers::isNumeric(text), numeric);
        if (numeric)
            QCOMPARE(numbers::value(text), value);
        else
            QVERIFY(std::isnan(numbers::value(text)));
        QCOMPARE(conversion(text), int16);
    }

    void localeSeparator_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("int16");
        QTest::newRow("comma is the separator") << "3,5"
                                                << "4";
        QTest::newRow("full stop is not") << "3.5"
                                          << "error 13";
    }
    void localeSeparator() {
        QFETCH(QString, text);
        QFETCH(QString, int16);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(conversion(text), int16);
    }

    void leadingValue_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "12" << 12.0;
        QTest::newRow("letters after") << "12abc" << 12.0;
        QTest::newRow("blanks inside") << " 1 2 . 5 " << 12.5;
        QTest::newRow("tabs and line feeds") << "\t1\n0" << 10.0;
        QTest::newRow("sign") << "-4x" << -4.0;
        QTest::newRow("no number") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("zero point four") << "0.4" << 0.4;
        QTest::newRow("second point stops") << "1.2.3" << 1.2;
        QTest::newRow("second sign stops") << "1-2" << 1.0;
    }
    void leadingValue() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(numbers::leadingValue(text), value);
    }

    void leadingValueIgnoresLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(numbers::leadingValue(u"2.5"), 2.5);
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
