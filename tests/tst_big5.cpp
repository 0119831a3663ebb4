#include "text/Big5Decoder.h"

#include <QTest>

namespace {

QString decodeInTwo(auto& decoder, const QByteArray& bytes, qsizetype cut) {
    const QString first = decoder.decode(bytes.first(cut));
    return first + QString(decoder.decode(bytes.sliced(cut)));
}

} // namespace

class TestBig5 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Otherwise every comparison below would hold trivially.
    void tableDoesTheWork() { QVERIFY(Big5Decoder().usesTable()); }

    // Every byte and every pair of bytes, alone and followed by what may come
    // next in a file, in one call or in two calls cut after the first byte.
    void sameAsQt_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("cutAfterFirst");
        for (const int length : {1, 2}) {
            for (const auto& [name, after] :
                 {std::pair{"alone", QByteArray()}, std::pair{"then a letter", QByteArray("A")},
                  std::pair{"then CR LF", QByteArray("\r\n")}}) {
                for (const bool cut : {false, true}) {
                    const QByteArray row = QByteArray(length == 1 ? "byte " : "pair ") + name +
                                           (cut ? ", cut after the first" : "");
                    QTest::newRow(row.constData()) << length << after << cut;
                }
            }
        }
    }
    void sameAsQt() {
        QFETCH(int, length);
        QFETCH(QByteArray, after);
        QFETCH(bool, cutAfterFirst);
        for (int code = 0; code < 1 << (8 * length); ++code) {
            QByteArray bytes;
            if (length == 2)
                bytes += char(code >> 8);
            bytes += char(code & 0xFF);
            bytes += after;
            const qsizetype cut = cutAfterFirst ? 1 : bytes.size();
            QStringDecoder qt(Big5CodecName);
            Big5Decoder table;
            const QString expected = decodeInTwo(qt, bytes, cut);
            const QString got = decodeInTwo(table, bytes, cut);
            if (got != expected)
                QFAIL(qPrintable(QStringLiteral("%1: %2 instead of %3")
                                     .arg(QString::fromLatin1(bytes.toHex(' ')),
                                          QString::fromLatin1(got.toUtf8().toHex(' ')),
                                          QString::fromLatin1(expected.toUtf8().toHex(' ')))));
        }
    }
};

QTEST_GUILESS_MAIN(TestBig5)
#include "tst_big5.moc"
