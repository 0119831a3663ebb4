#include "platform/Utf8Decoder.h"

#include <QStringDecoder>
#include <QTest>

namespace {

using Choices = QList<QByteArray>;

QByteArray allBytes() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    return bytes;
}

QByteArray byteRange(int first, int last) {
    return allBytes().sliced(first, last - first + 1);
}

// Where continuation bytes and the narrower second-byte ranges begin and end.
const QByteArray edges("\x00\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xFF", 10);

// Both decoders over the bytes in two calls cut at `cut`: empty when they
// agree, else what went wrong.
QString compareInTwo(QByteArrayView bytes, qsizetype cut) {
    QStringDecoder qt(QStringDecoder::Utf8);
    Utf8Decoder ours;
    QChar qtText[16];
    QChar ourText[16];
    QChar* qtEnd = qt.appendToBuffer(qtText, bytes.first(cut));
    QChar* ourEnd = ours.appendToBuffer(ourText, bytes.first(cut));
    const bool firstAgrees = qt.hasError() == ours.hasError();
    qtEnd = qt.appendToBuffer(qtEnd, bytes.sliced(cut));
    ourEnd = ours.appendToBuffer(ourEnd, bytes.sliced(cut));
    if (!firstAgrees || qt.hasError() != ours.hasError())
        return QStringLiteral("the error differs");
    if (!qt.hasError() && QStringView(qtText, qtEnd) != QStringView(ourText, ourEnd))
        return QStringLiteral("the text differs");
    return {};
}

} // namespace

class TestUtf8 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every sequence whose bytes are drawn from the choices for each place,
    // alone and before an LF, in one call and cut into two at every place.
    void sameAsQt_data() {
        QTest::addColumn<Choices>("places");
        QTest::addColumn<QByteArray>("after");
        const QByteArray all = allBytes();
        const QByteArray notThreeByteLeads = byteRange(0, 0xDF) + byteRange(0xF0, 0xFF);
        for (const auto& [name, places] :
             {std::pair{"one byte", Choices{all}}, std::pair{"two bytes", Choices{all, all}},
              std::pair{"E0..EF and any two", Choices{byteRange(0xE0, 0xEF), all, all}},
              std::pair{"another lead and two edges", Choices{notThreeByteLeads, edges, edges}},
              std::pair{"F0..FF, any, two edges",
                        Choices{byteRange(0xF0, 0xFF), all, edges, edges}}}) {
            QTest::newRow(QByteArray(name).append(" alone").constData()) << places << QByteArray();
            QTest::newRow(QByteArray(name).append(" then LF").constData())
                << places << QByteArray("\n");
        }
    }
    void sameAsQt() {
        QFETCH(Choices, places);
        QFETCH(QByteArray, after);
        QList<int> index(places.size(), 0);
        QByteArray bytes(places.size(), 0);
        bytes += after;
        while (index[0] < places[0].size()) {
            for (qsizetype i = 0; i < places.size(); ++i)
                bytes[i] = places[i][index[i]];
            for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
                if (const QString fault = compareInTwo(bytes, cut); !fault.isEmpty())
                    QFAIL(qPrintable(QStringLiteral("%1 cut at %2: %3")
                                         .arg(QString::fromLatin1(bytes.toHex(' ')))
                                         .arg(cut)
                                         .arg(fault)));
            }
            for (qsizetype i = places.size() - 1; i >= 0; --i) {
                if (++index[i] < places[i].size() || i == 0)
                    break;
                index[i] = 0;
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestUtf8)
#include "tst_utf8.moc"
