#include "AddressSpaceCap.h"
#include "TestFiles.h"
#include "platform/RuntimeError.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"
#include "text/NarrowText.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace Qt::StringLiterals;
using SlotMap = QMap<int, QString>;

QByteArray separators(int count) {
    return QByteArray("***\r\n").repeated(count);
}

QString x(qsizetype count) {
    return QString(count, u'x');
}

// The splitting rule applied to decoded lines one by one.
class SplitLines final : public LineSink {
public:
    void restart() override {
        slots.clear();
        index = 0;
    }
    void line(QStringView text) override {
        if (text.startsWith(u"***"))
            ++index;
        else
            slots[index] += u"\r\n"_s + text.toString();
    }

    SlotMap slots;
    int index = 0;
};

} // namespace

class TestDataFile : public QObject {
    Q_OBJECT

    // Indexes the row's bytes and compares the count and the listed slots.
    void loadAndCompare() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        QFETCH(SlotMap, slots);
        ProgramDirFixture dir;
        const QString path = dir.filePath(QStringLiteral("data.txt"));
        dir.write(QStringLiteral("data.txt"), bytes);
        const DataFileIndex index = indexDataFile(path, narrowCodecsFor(localeCodeset()));
        QCOMPARE(index.count(), count);
        for (auto it = slots.cbegin(); it != slots.cend(); ++it)
            QCOMPARE(index.slotText(it.key()), std::optional(it.value()));
    }

private Q_SLOTS:
    void splitting_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<SlotMap>("slots");
        QTest::newRow("six lines") << QByteArray("***\r\na\r\nb\r\n***\r\nc\r\n***\r\n") << 2
                                   << SlotMap{{0, ""}, {1, "\r\na\r\nb"}, {2, "\r\nc"}, {3, ""}};
        QTest::newRow("no closing separator")
            << QByteArray("***\r\na\r\n***\r\nlast") << 1 << SlotMap{{1, "\r\na"}, {2, "\r\nlast"}};
        QTest::newRow("empty file") << QByteArray() << -1 << SlotMap{{0, ""}};
        QTest::newRow("no separator") << QByteArray("x\r\ny") << -1 << SlotMap{{0, "\r\nx\r\ny"}};
        QTest::newRow("one separator") << QByteArray("***") << 0 << SlotMap{{0, ""}, {1, ""}};
        QTest::newRow("text before first separator") << QByteArray("intro\r\n***\r\na\r\n***") << 1
                                                     << SlotMap{{0, "\r\nintro"}, {1, "\r\na"}};
        QTest::newRow("separator with trailing text")
            << QByteArray("*** title\r\na\r\n***end") << 1 << SlotMap{{1, "\r\na"}};
        QTest::newRow("near-separators are text")
            << QByteArray("***\r\n**\r\n ***\r\n＊＊＊\r\n***") << 1
            << SlotMap{{1, QStringLiteral("\r\n**\r\n ***\r\n＊＊＊")}};
        QTest::newRow("empty lines and empty article")
            << QByteArray("***\r\n\r\na\r\n\r\n***\r\n***") << 2
            << SlotMap{{1, "\r\n\r\na\r\n"}, {2, ""}};
        QTest::newRow("LF line ends")
            << QByteArray("***\na\nb\n***\n") << 1 << SlotMap{{1, "\r\na\r\nb"}};
        QTest::newRow("CR line ends")
            << QByteArray("***\ra\rb\r***\r") << 1 << SlotMap{{1, "\r\na\r\nb"}};
        QTest::newRow("Big5 article") << QByteArray("***\r\n\xB3\x5C\xA6\x68\r\n***") << 1
                                      << SlotMap{{1, QStringLiteral("\r\n許多")}};
        QTest::newRow("UTF-8 article") << QByteArray("***\n\xE8\xA8\xB1\xE5\xA4\x9A\n***") << 1
                                       << SlotMap{{1, QStringLiteral("\r\n許多")}};
        QTest::newRow("byte-order mark before a separator")
            << QByteArray("\xEF\xBB\xBF***\r\na\r\n***") << 1 << SlotMap{{0, ""}, {1, "\r\na"}};
        // The whole file must be UTF-8, separator lines included.
        const QString asBig5 =
            QString(QStringDecoder("windows-950").decode(QByteArray("\xE4\xB8\xAD\r\n")));
        QTest::newRow("Big5 in a separator line makes the file Big5")
            << QByteArray("*** \xA4\xA4\r\n\xE4\xB8\xAD\r\n***") << 1
            << SlotMap{{1, "\r\n" + asBig5.chopped(2)}};
        QTest::newRow("9999 separators")
            << separators(9999) + "tail" << 9998 << SlotMap{{9998, ""}, {9999, "\r\ntail"}};
    }
    void splitting() { loadAndCompare(); }

    // The reader hands the file over in blocks; articles, separators, line ends
    // and characters that straddle a block edge must file as if it were whole.
    void blockBoundaries_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::addColumn<SlotMap>("slots");
        const qsizetype first = NarrowTextBlock;
        const qsizetype second = first + NarrowTextBlock;
        const QByteArray head("***\r\n");
        // The first 4 KiB alone tell Big5 from UTF-8.
        const qsizetype look = 4 << 10;
        for (const auto& [edge, name] :
             {std::pair(look, "look"), std::pair(first, "first"), std::pair(second, "second")}) {
            // Text lines that end just before the edge: "***\r\n" + n x's.
            const qsizetype n = edge - head.size();
            QTest::addRow("CR LF split at %s edge", name)
                << head + x(n - 1).toLatin1() + "\r\ny\r\n***" << 1
                << SlotMap{{1, "\r\n" + x(n - 1) + "\r\ny"}};
            QTest::addRow("separator split at %s edge", name)
                << head + x(n - 3).toLatin1() + "\r\n***\r\nz\r\n***" << 2
                << SlotMap{{1, "\r\n" + x(n - 3)}, {2, "\r\nz"}};
            QTest::addRow("separator right after %s edge", name)
                << head + x(n - 2).toLatin1() + "\r\n***\r\nz\r\n***" << 2
                << SlotMap{{1, "\r\n" + x(n - 2)}, {2, "\r\nz"}};
            QTest::addRow("lone CR at %s edge", name)
                << head + x(n - 1).toLatin1() + "\ry\r***" << 1
                << SlotMap{{1, "\r\n" + x(n - 1) + "\r\ny"}};
            QTest::addRow("Big5 character split at %s edge", name)
                << head + x(n - 1).toLatin1() + "\xA4\xA4\r\n***" << 1
                << SlotMap{{1, "\r\n" + x(n - 1) + QStringLiteral("中")}};
            QTest::addRow("UTF-8 character split at %s edge", name)
                << head + x(n - 1).toLatin1() + "\xE4\xB8\xAD\r\n***" << 1
                << SlotMap{{1, "\r\n" + x(n - 1) + QStringLiteral("中")}};
        }
        QByteArray manyLines;
        QString stored;
        for (int i = 0; i < 6000; ++i) {
            const QByteArray line = QByteArray::number(i) + QByteArray(120, 'y');
            manyLines += line + (i % 3 == 0 ? "\n" : "\r\n");
            stored += "\r\n" + QString::fromLatin1(line);
        }
        QTest::newRow("article over several blocks")
            << head + manyLines + "***\r\nend" << 1 << SlotMap{{1, stored}, {2, "\r\nend"}};
        QTest::newRow("Big5 found after several blocks")
            << head + x(second).toLatin1() + "\r\n***\r\n\xA4\xA4\r\n***" << 2
            << SlotMap{{1, "\r\n" + x(second)}, {2, QStringLiteral("\r\n中")}};
    }
    void blockBoundaries() { loadAndCompare(); }

    // The stored form of lines handed to the store in one or more pieces.
    void storedForm_data() {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("stored");
        QTest::newRow("CR LF") << QStringList{"a\r\nb\r\n"} << "\r\na\r\nb";
        QTest::newRow("LF") << QStringList{"a\nb\n"} << "\r\na\r\nb";
        QTest::newRow("CR") << QStringList{"a\rb\r"} << "\r\na\r\nb";
        QTest::newRow("mixed") << QStringList{"a\r\nb\nc\rd\r\n"} << "\r\na\r\nb\r\nc\r\nd";
        QTest::newRow("LF then CR") << QStringList{"a\n\rb\r\n"} << "\r\na\r\n\r\nb";
        QTest::newRow("CR then CR LF") << QStringList{"a\r\r\n"} << "\r\na\r\n";
        QTest::newRow("no last line end") << QStringList{"a\r\nb"} << "\r\na\r\nb";
        QTest::newRow("empty lines") << QStringList{"\r\n\n\r"} << "\r\n\r\n\r\n";
        QTest::newRow("two pieces") << QStringList{"a\r\n", "b\nc\r\n"} << "\r\na\r\nb\r\nc";
        // The line ends are counted in chunks of 65535 characters.
        QTest::newRow("CR LF across a count chunk")
            << QStringList{x(65534) + "\r\ny\r\n"} << "\r\n" + x(65534) + "\r\ny";
        QTest::newRow("lone CR ends a count chunk")
            << QStringList{x(65534) + "\ry\n"} << "\r\n" + x(65534) + "\r\ny";
    }
    void storedForm() {
        QFETCH(QStringList, pieces);
        QFETCH(QString, stored);
        QCOMPARE(storedLines(pieces.join(QString())), stored);
    }

    void limits_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("error");
        QTest::newRow("10000 separators") << separators(10000) << 9;
        QTest::newRow("text after the 10001st separator") << separators(10001) + "x" << 9;
        QTest::newRow("32768 separators") << separators(32768) << 6;
    }
    void limits() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, error);
        ProgramDirFixture dir;
        // Either way the first line may count: a byte-order mark before it.
        for (const QByteArray& mark : {QByteArray(), QByteArray("\xEF\xBB\xBF")}) {
            dir.write(QStringLiteral("data.txt"), mark + bytes);
            try {
                indexDataFile(dir.filePath(QStringLiteral("data.txt")), narrowCodecsFor("UTF-8"));
                QFAIL("no error raised");
            } catch (const RuntimeError& e) {
                QCOMPARE(e.number(), error);
                // The report must say why in plain words.
                QVERIFY(e.detail().contains(QStringLiteral("data.txt")));
                QVERIFY(e.detail().contains(QStringLiteral("9998")));
            }
        }
    }

    // The index holds none of the text, so a collection larger than the
    // memory left still opens; one held whole in memory is a numbered error
    // instead of a crash.
    void memoryLeft_data() {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QByteArray>("outcome");
        QTest::newRow("indexed") << "UTF-8,windows-950" << QByteArray("indexed 63");
        QTest::newRow("held whole") << "ISO-8859-1" << QByteArray("7");
    }
    void memoryLeft() {
        QFETCH(QString, codec);
        QFETCH(QByteArray, outcome);
        SKIP_UNLESS_ADDRESS_SPACE_CAP_WORKS();
        ProgramDirFixture dir;
        QByteArray article = "***\r\n" + QByteArray(1 << 20, 'a') + "\r\n";
        dir.write(QStringLiteral("data.txt"), article.repeated(64));
        QProcess loader;
        loader.start(QCoreApplication::applicationDirPath() + QStringLiteral("/oom_loader"),
                     {dir.filePath(QStringLiteral("data.txt")), QStringLiteral("48"), codec});
        QVERIFY(loader.waitForFinished(60000));
        QCOMPARE(loader.exitStatus(), QProcess::NormalExit);
        QCOMPARE(loader.readAllStandardOutput().trimmed(), outcome);
    }

    // Big5 is split into slots in its bytes and decoded a slot at a time; the
    // slots must hold what decoding the whole file and splitting its lines gives.
    void bytesSplitAsText_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArrayList>("codecs");
        const QByteArrayList utf8ThenBig5{"UTF-8", "windows-950"};
        const QByteArrayList big5{"windows-950"};
        const auto row = [&](const char* name, const QByteArray& bytes) {
            QTest::addRow("%s, UTF-8 first", name) << bytes << utf8ThenBig5;
            QTest::addRow("%s, Big5 only", name) << bytes << big5;
        };
        row("lead bytes before line ends", "***\r\n\xA4\r\n\xA4\n\xA4\r***\r\n\xA4\xA4\r\n***");
        row("lead byte before a separator's stars", "***\r\na\xA4***\r\n\xA4***\r\nb");
        row("lead byte at the very end", "***\r\n\xA4\xA4\xA4");
        row("lead byte in a separator line", "***\xA4\r\na\r\n***\xA4");
        row("lone CR and LF line ends", "***\ra\n\xA4\xA4\rc\r***\nd");
        row("mark at the start and in an article",
            "\xEF\xBB\xBF***\r\n\xEF\xBB\xBF\xA4\xA4\r\n***");
        row("mark before a separator, Big5 after", "\xEF\xBB\xBF***\r\na\r\n***\r\n\xA4\xA4");
        row("undecodable bytes", "***\r\n\xFF\x80\r\n\x81\r\n***");
        row("UTF-8 text", "intro\r\n***\r\n\xE4\xB8\xAD\r\n***\r\n***");
        row("UTF-8 marks at the start and starting articles",
            "\xEF\xBB\xBF\xEF\xBB\xBF***\r\n\xEF\xBB\xBF"
            "a\r\n***\n\xEF\xBB\xBF");
        row("UTF-8 cut short at the very end", "***\r\n\xE4\xB8\xAD\r\n\xE4\xB8");
        // A realistic collection: Chinese lines of varying length.
        QByteArray collection;
        QStringEncoder toBig5("windows-950");
        for (int article = 0; article < 300; ++article) {
            collection += "***\r\n";
            for (int line = 0; line < article % 7; ++line)
                collection +=
                    toBig5.encode(QString(20 + (article * line) % 90, QChar(0x4E00 + line))) +
                    "\r\n";
        }
        row("Big5 collection", collection);
    }
    void bytesSplitAsText() {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArrayList, codecs);
        ProgramDirFixture dir;
        const QString path = dir.filePath(QStringLiteral("data.txt"));
        dir.write(QStringLiteral("data.txt"), bytes);
        const DataFileIndex index = indexDataFile(path, codecs);
        SplitLines model;
        BytesSource source(bytes);
        QVERIFY(decodeNarrowLines(source, model, codecs));
        QCOMPARE(index.count(), model.index - 1);
        for (int i = ArticleSlots::FirstSlot; i <= ArticleSlots::LastSlot; ++i)
            QCOMPARE(index.slotText(i), std::optional(model.slots.value(i)));
    }

    // Text in an encoding whose lines cannot be read one by one is held whole,
    // and reads the same even once the file has changed.
    void heldWhole() {
        ProgramDirFixture dir;
        const QString path = dir.filePath(QStringLiteral("data.txt"));
        dir.write(QStringLiteral("data.txt"), "***\r\n\xE9t\xE9\r\n***");
        const DataFileIndex index = indexDataFile(path, {"ISO-8859-1"});
        dir.write(QStringLiteral("data.txt"), "changed");
        QCOMPARE(index.count(), 1);
        QCOMPARE(index.slotText(1), std::optional(QStringLiteral("\r\nété")));
    }

    // Thousands of articles, with lines of several kinds, load as written.
    void largeFileLoadsWhole() {
        QByteArray bytes = "intro\n";
        QStringList articles;
        for (int i = 1; i <= 4000; ++i) {
            const QByteArray line =
                "article " + QByteArray::number(i) + QByteArray(200 + i % 50, 'z');
            bytes += "***\r\n" + line + "\r\n" + line + "\r\n";
            articles << "\r\n" + QString::fromLatin1(line) + "\r\n" + QString::fromLatin1(line);
        }
        ProgramDirFixture dir;
        dir.write(QStringLiteral("data.txt"), bytes);
        const DataFileIndex index =
            indexDataFile(dir.filePath(QStringLiteral("data.txt")), narrowCodecsFor("UTF-8"));
        QCOMPARE(index.count(), 3999);
        QCOMPARE(index.slotText(0), std::optional(QStringLiteral("\r\nintro")));
        for (int i = 1; i <= 4000; ++i)
            QCOMPARE(index.slotText(i), std::optional(articles[i - 1]));
        QCOMPARE(index.slotText(4001), std::optional(QString()));
    }

    // An editor saving the collection while it is read: each index is of the
    // old text or the new, never a mix nor the empty file it passes through,
    // or reports that it keeps changing; a slot it cannot read as indexed any
    // more gives no text.
    void rewrittenWhileRead() {
        const QByteArray versions[] = {
            "***\r\n" + (QByteArray(400, 'o') + "\r\n***\r\n").repeated(5000),
            "***\r\n" + (QByteArray(700, 'n') + "\r\n***\r\n").repeated(3000)};
        ProgramDirFixture dir;
        const QString path = dir.filePath(QStringLiteral("data.txt"));
        dir.write(QStringLiteral("data.txt"), versions[0]);
        std::atomic<bool> stop = false;
        std::thread editor([&] {
            for (int i = 1; !stop; ++i) {
                QFile file(path);
                if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                    return;
                for (qsizetype at = 0; at < versions[i % 2].size(); at += 65536)
                    file.write(versions[i % 2].mid(at, 65536));
                file.close();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        const auto stopEditor = qScopeGuard([&] {
            stop = true;
            editor.join();
        });
        for (int load = 0; load < 12; ++load) {
            try {
                const DataFileIndex index = indexDataFile(path, narrowCodecsFor("UTF-8"));
                const qint16 count = index.count();
                const QString line =
                    "\r\n" + (count == 5000 ? QString(400, u'o') : QString(700, u'n'));
                QVERIFY2(count == 5000 || count == 3000, qPrintable(QString::number(count)));
                for (const int slot : {1, int(count)}) {
                    const std::optional<QString> text = index.slotText(slot);
                    QVERIFY(!text || *text == line);
                }
            } catch (const RuntimeError& error) {
                QCOMPARE(error.number(), 75);
            }
        }
    }

    // The file changing after it was indexed: a new file put in its place, or
    // the file removed, leaves the index reading the file it indexed; one
    // written over in place gives no text rather than a wrong one.
    void changedAfterIndexing_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("readable");
        QTest::newRow("untouched") << "" << true;
        QTest::newRow("replaced") << "replace" << true;
        QTest::newRow("removed") << "remove" << true;
        QTest::newRow("written over") << "overwrite" << false;
    }
    void changedAfterIndexing() {
        QFETCH(QString, change);
        QFETCH(bool, readable);
        ProgramDirFixture dir;
        const QString path = dir.filePath(QStringLiteral("data.txt"));
        dir.write(QStringLiteral("data.txt"), "***\r\nold\r\n***\r\nsecond\r\n***");
        const DataFileIndex index = indexDataFile(path, narrowCodecsFor("UTF-8"));
        const QByteArray newer("***\r\nnew text\r\n***");
        if (change == u"replace") {
            dir.write(QStringLiteral("new.txt"), newer);
            QVERIFY(QFile::remove(path));
            QVERIFY(QFile::rename(dir.filePath(QStringLiteral("new.txt")), path));
        } else if (change == u"remove") {
            QVERIFY(QFile::remove(path));
        } else if (change == u"overwrite") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(newer), newer.size());
        }
        QCOMPARE(index.count(), 2);
        QCOMPARE(index.slotText(2),
                 readable ? std::optional(QStringLiteral("\r\nsecond")) : std::nullopt);
    }

    void storeBounds_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("valid");
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("0") << 0 << true;
        QTest::newRow("10000") << 10000 << true;
        QTest::newRow("10001") << 10001 << false;
    }
    void storeBounds() {
        QFETCH(int, index);
        QFETCH(bool, valid);
        try {
            DataFileIndex().slotText(index);
            QVERIFY(valid);
        } catch (const RuntimeError& e) {
            QVERIFY(!valid);
            QCOMPARE(e.number(), 9);
        }
    }

    // A read counts only once the file was the same before and after it and,
    // when it was written in the last moment (or is empty, as a file being
    // rewritten shows for a moment), again after a quiet wait; else it is made
    // again, at most five times. The steps say which looks were taken: R a
    // read, Q a quiet wait; the change is made at the first step of its kind.
    void steadyRead_data() {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<bool>("aged");
        QTest::addColumn<QString>("changedAt");
        QTest::addColumn<QByteArray>("then");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("steps");
        // Two versions of one length and different article counts.
        const QByteArray one = "***\nabcd\n***\n";
        const QByteArray two = "***\n***\n***\nx";
        const QByteArray three = "***\na\n***\nb\n***\nc\n***\n";
        QTest::newRow("left alone long") << one << true << "" << QByteArray() << 1 << 0 << "R";
        QTest::newRow("just written") << one << false << "" << QByteArray() << 1 << 0 << "RQ";
        QTest::newRow("written during the read") << one << true << "R" << three << 3 << 0 << "RRQ";
        QTest::newRow("same length written during the read")
            << one << true << "R" << two << 2 << 0 << "RRQ";
        QTest::newRow("written during the quiet wait")
            << one << false << "Q" << three << 3 << 0 << "RQRQ";
        QTest::newRow("empty long, written during the quiet wait")
            << QByteArray() << true << "Q" << three << 3 << 0 << "RQRQ";
        QTest::newRow("empty long and left so")
            << QByteArray() << true << "" << QByteArray() << -1 << 0 << "RQ";
        QTest::newRow("written during every read")
            << one << true << "every R" << three << 0 << 75 << "RRRRR";
    }
    void steadyRead() {
        QFETCH(QByteArray, first);
        QFETCH(bool, aged);
        QFETCH(QString, changedAt);
        QFETCH(QByteArray, then);
        QFETCH(int, count);
        QFETCH(int, error);
        QFETCH(QString, steps);
        ProgramDirFixture dir;
        const QString path = dir.filePath(QStringLiteral("data.txt"));
        dir.write(QStringLiteral("data.txt"), first);
        // Older than the quiet wait; its change time cannot be set back.
        if (aged)
            QTest::qSleep(80);
        QString taken;
        int writes = 0;
        const auto step = [&](SteadyReadStep at) {
            const QChar letter = at == SteadyReadStep::Read ? u'R' : u'Q';
            taken += letter;
            if (changedAt == u"every R" ? letter == u'R'
                                        : (changedAt == letter && taken.count(letter) == 1)) {
                // Written in place, a byte longer each time so that no two
                // versions look alike.
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
                const QByteArray bytes = then + QByteArray(writes++, '\n');
                QCOMPARE(file.write(bytes), bytes.size());
            }
        };
        try {
            const DataFileIndex index =
                indexDataFile(path, narrowCodecsFor("UTF-8"), nullptr, std::nullopt, step);
            QCOMPARE(error, 0);
            QCOMPARE(index.count(), count);
        } catch (const RuntimeError& failure) {
            QCOMPARE(failure.number(), error);
        }
        QCOMPARE(taken, steps);
    }
};

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
