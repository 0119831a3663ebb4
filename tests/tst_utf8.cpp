#include "text/Utf8Decoder.h"
#include "text/Utf8Validator.h"

#include <QScopeGuard>
#include <QStringDecoder>
#include <QTest>

#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

namespace {

using namespace Qt::StringLiterals;
using Choices = QList<QByteArray>;

QByteArray byteRange(int first, int last) {
    QByteArray bytes;
    for (int b = first; b <= last; ++b)
        bytes += char(b);
    return bytes;
}

// Where continuation bytes and the narrower second-byte ranges begin and end.
const QByteArray edges("\x00\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xFF", 10);

// Long enough around a sequence for the fast paths to reach it: sixteen ASCII
// bytes at a time, eight three-byte sequences at a time, the sequence last of
// the first eight.
const QByteArray textBefore("讀書 abcdefghijklmnopq\r\n第一篇中文字讀");
const QByteArray textAfter("中文字讀書第一篇，。Orvenla reads texts\r\n");

// A byte of each kind: ASCII, continuation bytes either side of A0, leads
// of overlong forms and of each length, bytes that are never valid.
const QByteArray byteKinds("\x00\x7F\x80\x9F\xA0\xBF\xC0\xC1\xC2\xE0\xED\xEF\xF0\xF4\xF5\xFF", 16);

using Path = Utf8Decoder::Path;

const char* nameOf(Path path) {
    return path == Path::Avx2 ? "avx2" : path == Path::Sse2 ? "sse2" : "scalar";
}

// Both decoders, ours on `path`, and the validator on `path`, over the bytes
// in two calls cut at `cut`: empty when they agree, else what went wrong.
const char* compareInTwo(Path path, QByteArrayView bytes, qsizetype cut) {
    QStringDecoder qt(QStringDecoder::Utf8);
    Utf8Decoder ours(path);
    Utf8Validator validator(path);
    QChar qtText[160];
    QChar ourText[160];
    QChar* qtEnd = qt.appendToBuffer(qtText, bytes.first(cut));
    QChar* ourEnd = ours.appendToBuffer(ourText, bytes.first(cut));
    validator.append(bytes.first(cut));
    const bool firstAgrees = qt.hasError() == ours.hasError();
    const bool firstValidated = validator.hasError() == qt.hasError();
    qtEnd = qt.appendToBuffer(qtEnd, bytes.sliced(cut));
    ourEnd = ours.appendToBuffer(ourEnd, bytes.sliced(cut));
    validator.append(bytes.sliced(cut));
    if (!firstAgrees || qt.hasError() != ours.hasError())
        return "the error differs";
    if (!firstValidated || validator.hasError() != qt.hasError())
        return "the validator differs";
    if (!qt.hasError() && QStringView(qtText, qtEnd) != QStringView(ourText, ourEnd))
        return "the text differs";
    return nullptr;
}

} // namespace

class TestUtf8 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every test once on each path, since a machine takes only its fastest.
    void initTestCase_data() {
        QTest::addColumn<Path>("path");
        for (const Path path : {Path::Scalar, Path::Sse2, Path::Avx2})
            QTest::newRow(nameOf(path)) << path;
    }
    void init() {
        QFETCH_GLOBAL(Path, path);
        if (path > Utf8Decoder::fastestPath())
            QSKIP(qPrintable(
                QStringLiteral("no %1 on this machine").arg(QLatin1StringView(nameOf(path)))));
    }

    // Every sequence whose bytes are drawn from the choices for each place,
    // alone, before an LF or amid text, in one call and cut in two anywhere.
    void sameAsQt_data() {
        QTest::addColumn<Choices>("places");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        const QByteArray all = byteRange(0, 0xFF);
        const QByteArray notThreeByteLeads = byteRange(0, 0xDF) + byteRange(0xF0, 0xFF);
        for (const auto& [name, places] :
             {std::pair{"one byte", Choices{all}}, std::pair{"two bytes", Choices{all, all}},
              std::pair{"E0..EF and any two", Choices{byteRange(0xE0, 0xEF), all, all}},
              std::pair{"another lead and two edges", Choices{notThreeByteLeads, edges, edges}},
              std::pair{"F0..FF, any, two edges",
                        Choices{byteRange(0xF0, 0xFF), all, edges, edges}}}) {
            QTest::newRow(QByteArray(name).append(" alone").constData())
                << places << QByteArray() << QByteArray();
            QTest::newRow(QByteArray(name).append(" then LF").constData())
                << places << QByteArray() << QByteArray("\n");
        }
        QTest::newRow("E0..EF and two edges amid text")
            << Choices{byteRange(0xE0, 0xEF), edges, edges} << textBefore << textAfter;
        QTest::newRow("80..FF and an edge amid text")
            << Choices{byteRange(0x80, 0xFF), edges} << textBefore << textAfter;
        QTest::newRow("F0..F7 and three edges amid text")
            << Choices{byteRange(0xF0, 0xF7), edges, edges, edges} << textBefore << textAfter;
    }
    // Text over several 32-byte steps of the wide path, each of its bytes
    // turned into each kind in one call and cut in two anywhere, so that a
    // fault falls at every place in a step.
    void mixedTextSameAsQt_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("Chinese, ASCII, Hangul, two-byte, CR LF")
            << QByteArray("第一篇 Orvenla 讀書\r\n倒中文字，é與ü。한국어 text "
                          "一二三四五六七八九十\r\n最後 z");
        QTest::newRow("two-byte, four-byte")
            << QByteArray("Ελληνικά και русский текст 😀 Grüße, ça va? 中文\r\nŁódź 倒 ß");
        // A wide step of ASCII after one that ends inside a character.
        QTest::newRow("Chinese, then ASCII over a whole step")
            << QByteArray("第一篇中文字讀書第一篇中abcdefghijklmnopqrstuvwxyz0123456789ABCDEF中文");
        // Only a mark at the very start is dropped, even one completed by a
        // later call.
        QTest::newRow("byte-order mark amid text") << QByteArray("中文\xEF\xBB\xBFtext 讀書");
    }
    void mixedTextSameAsQt() {
        QFETCH_GLOBAL(Path, path);
        QFETCH(QByteArray, text);
        for (qsizetype at = 0; at < text.size(); ++at) {
            QByteArray bytes = text;
            for (const char kind : byteKinds) {
                bytes[at] = kind;
                for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
                    if (const char* fault = compareInTwo(path, bytes, cut))
                        QFAIL(qPrintable(QStringLiteral("byte %1 as %2 cut at %3: %4")
                                             .arg(at)
                                             .arg(uchar(kind), 0, 16)
                                             .arg(cut)
                                             .arg(QLatin1StringView(fault))));
                }
            }
        }
    }
    void sameAsQt() {
        QFETCH_GLOBAL(Path, path);
        QFETCH(Choices, places);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QList<int> index(places.size(), 0);
        QByteArray bytes = before + QByteArray(places.size(), 0) + after;
        while (index[0] < places[0].size()) {
            for (qsizetype i = 0; i < places.size(); ++i)
                bytes[before.size() + i] = places[i][index[i]];
            for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
                if (const char* fault = compareInTwo(path, bytes, cut))
                    QFAIL(qPrintable(QStringLiteral("%1 cut at %2: %3")
                                         .arg(QString::fromLatin1(bytes.toHex(' ')))
                                         .arg(cut)
                                         .arg(QLatin1StringView(fault))));
            }
            for (qsizetype i = places.size() - 1; i >= 0; --i) {
                if (++index[i] < places[i].size() || i == 0)
                    break;
                index[i] = 0;
            }
        }
    }

    // A character cut by the end of the input is dropped only while its bytes
    // can still begin one; the decoder and the validator then read on as if
    // it never came, and agree.
    void dropCutCharacter_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << QByteArray() << false << "\n";
        QTest::newRow("whole text") << QByteArray("ab\xE4\xB8\xAD") << false << u"ab中\n"_s;
        QTest::newRow("1 of 2") << QByteArray("a\xC3") << true << "a\n";
        QTest::newRow("1 of 3") << QByteArray("a\xE4") << true << "a\n";
        QTest::newRow("2 of 3") << QByteArray("a\xE4\xB8") << true << "a\n";
        QTest::newRow("3 of 4") << QByteArray("a\xF0\x9F\x98") << true << "a\n";
        QTest::newRow("lead byte alone") << QByteArray("\xE4") << true << "\n";
        QTest::newRow("2 of a mark") << QByteArray("\xEF\xBB") << true << "\n";
        QTest::newRow("overlong start") << QByteArray("a\xE0\x80") << false << QString();
        QTest::newRow("surrogate start") << QByteArray("a\xED\xA0") << false << QString();
        QTest::newRow("past U+10FFFF") << QByteArray("a\xF4\x90") << false << QString();
        QTest::newRow("overlong four") << QByteArray("a\xF0\x8F\xBF") << false << QString();
        QTest::newRow("already invalid") << QByteArray("a\xE4\x41") << false << QString();
        QTest::newRow("stray continuation") << QByteArray("a\x80") << false << QString();
        // Long enough for the wide paths, cut where a step may end.
        const QByteArray han = QByteArray("\xE4\xB8\xAD").repeated(40);
        const QString hanText = QString::fromUtf8(han);
        QTest::newRow("long, 2 of 3") << han + "\xE4\xB8" << true << hanText + "\n";
        QTest::newRow("long, 3 of 4") << han + "\xF0\x9F\x98" << true << hanText + "\n";
        QTest::newRow("long, overlong") << han + "\xE0\x9F" << false << QString();
    }
    void dropCutCharacter() {
        QFETCH_GLOBAL(Path, path);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, dropped);
        QFETCH(QString, text);
        Utf8Decoder ours(path);
        Utf8Validator validator(path);
        QString got(Utf8Decoder::requiredSpace(bytes.size() + 1), Qt::Uninitialized);
        QChar* end = ours.appendToBuffer(got.data(), bytes);
        validator.append(bytes);
        QCOMPARE(ours.dropCutCharacter(), dropped);
        QCOMPARE(validator.dropCutCharacter(), dropped);
        end = ours.appendToBuffer(end, "\n");
        validator.append("\n");
        got.truncate(end - got.constData());
        QCOMPARE(ours.hasError(), text.isNull());
        QCOMPARE(validator.hasError(), text.isNull());
        if (!text.isNull())
            QCOMPARE(got, text);
    }

    // Input that ends where readable memory ends is never read past, by the
    // decoder or the validator: a page
    // that may not be read follows its last byte, so an over-read crashes.
    void readsNothingPastTheEnd_data() {
        QTest::addColumn<QByteArray>("unit");
        QTest::newRow("ASCII") << QByteArray("a");
        QTest::newRow("three bytes") << QByteArray("中");
        QTest::newRow("mixed") << QByteArray("é中a😀");
    }
    void readsNothingPastTheEnd() {
        QFETCH_GLOBAL(Path, path);
        QFETCH(QByteArray, unit);
        const auto page = qsizetype(::sysconf(_SC_PAGESIZE));
        auto* const pages = static_cast<char*>(::mmap(
            nullptr, size_t(2 * page), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        QVERIFY(pages != MAP_FAILED);
        const auto unmap = qScopeGuard([&] { ::munmap(pages, size_t(2 * page)); });
        QCOMPARE(::mprotect(pages + page, size_t(page), PROT_NONE), 0);
        for (int count = 1; count <= 40; ++count) {
            const QByteArray bytes = unit.repeated(count);
            char* const start = pages + page - bytes.size();
            std::memcpy(start, bytes.constData(), size_t(bytes.size()));
            Utf8Decoder ours(path);
            QString text(Utf8Decoder::requiredSpace(bytes.size()), Qt::Uninitialized);
            const QChar* end =
                ours.appendToBuffer(text.data(), QByteArrayView(start, bytes.size()));
            text.truncate(end - text.constData());
            QCOMPARE(text, QString::fromUtf8(bytes));
            Utf8Validator validator(path);
            validator.append(QByteArrayView(start, bytes.size()));
            QVERIFY(!validator.hasError());
        }
    }
};

QTEST_GUILESS_MAIN(TestUtf8)
#include "tst_utf8.moc"
