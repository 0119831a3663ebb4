// Benchmarks of the reader, each run beside its baseline so that the ratio
// table stays meaningful on a shared, noisy machine.

#include "BenchmarkNames.h"
#include "Collections.h"
#include "PeakMemory.h"
#include "RatioTable.h"
#include "ReaderHarness.h"

#include "app/ArticleView.h"
#include "app/Reader.h"
#include "app/ReaderWindow.h"
#include "app/TitleListBox.h"
#include "core/TextSearch.h"
#include "store/DataFile.h"
#include "store/LiveCollection.h"
#include "text/NarrowText.h"
#include "widgets/VerticalTextView.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <malloc.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>
#include <numeric>
#include <optional>
#include <vector>

using namespace bench;

namespace {

constexpr double MiB = 1024.0 * 1024.0;

// The offscreen platform warns about things a screen would do; those lines
// would only bury the results.
void quietOffscreenWarnings(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints")) ||
        message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        return;
    std::cerr << (type == QtDebugMsg ? "" : "Qt: ") << message.toStdString() << "\n";
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

template <class Work> double secondsOf(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Freed memory goes back to the system, so that every timed run touches fresh
// pages as a new process does; the floor's one large buffer always does.
void releaseFreedMemory() {
    malloc_trim(0);
}

// The work measured and its baselines, run one after another in every
// iteration, in turn first, so that a slow spell of the shared machine hits
// all of them alike. Each ratio is of totals over the same iterations.
class Rounds {
public:
    using Part = std::function<double()>;

    explicit Rounds(size_t parts) : m_totals(parts, 0.0), m_last(parts, 0.0), m_all(parts) {}

    // Runs every part once, starting from a different one each round; each
    // returns the seconds it took, or a negative number on failure.
    bool run(const std::vector<Part>& parts) {
        for (size_t k = 0; k < parts.size(); ++k) {
            const size_t i = (m_first + k) % parts.size();
            const double seconds = parts[i]();
            if (seconds < 0)
                return false;
            m_totals[i] += seconds;
            m_last[i] = seconds;
            m_all[i].push_back(seconds);
        }
        m_first = (m_first + 1) % parts.size();
        ++m_rounds;
        return true;
    }

    double last(size_t part) const { return m_last[part]; }
    double total(size_t part) const { return m_totals[part]; }
    double milliseconds(size_t part) const { return m_totals[part] / double(m_rounds) * 1e3; }
    // The middle round's time: a few rounds that met the virtual machine
    // making fresh memory 10 times dearer move a mean, not this.
    double medianMilliseconds(size_t part) const {
        std::vector<double> times = m_all[part];
        if (times.empty())
            return 0;
        const auto middle = times.begin() + std::ptrdiff_t(times.size() / 2);
        std::nth_element(times.begin(), middle, times.end());
        return *middle * 1e3;
    }

private:
    std::vector<double> m_totals;
    std::vector<double> m_last;
    std::vector<std::vector<double>> m_all;
    size_t m_first = 0;
    int m_rounds = 0;
};

// The floor: the whole file, already in memory, decoded in one call.
double timeDecode(const QByteArray& bytes, Encoding encoding, qsizetype* units = nullptr) {
    QString text;
    const double seconds = secondsOf([&] {
        QStringDecoder decoder(codecName(encoding));
        text = decoder.decode(bytes);
    });
    if (units)
        *units = text.size();
    return seconds;
}

// Keeps the calling thread, and any thread it starts, on the CPU it is on
// while this lives; the former set comes back after.
class PinnedToOneCpu {
public:
    PinnedToOneCpu() {
        if (sched_getaffinity(0, sizeof m_saved, &m_saved) != 0)
            return;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(std::max(sched_getcpu(), 0), &one);
        m_pinned = sched_setaffinity(0, sizeof one, &one) == 0;
    }
    ~PinnedToOneCpu() {
        if (m_pinned)
            sched_setaffinity(0, sizeof m_saved, &m_saved);
    }
    PinnedToOneCpu(const PinnedToOneCpu&) = delete;
    PinnedToOneCpu& operator=(const PinnedToOneCpu&) = delete;
    bool pinned() const { return m_pinned; }

private:
    cpu_set_t m_saved;
    bool m_pinned = false;
};

// Negative when the count is wrong or the thread could not be pinned.
double timeLoad(const Collection& collection, bool oneCpu = false) {
    const QList<QByteArray> codecs = narrowCodecsFor(localeCodeset());
    qint16 count = 0;
    double seconds = 0;
    {
        std::optional<PinnedToOneCpu> pin;
        if (oneCpu && !pin.emplace().pinned())
            return -1;
        seconds = secondsOf([&] { count = indexDataFile(collection.dataFile, codecs).count(); });
    }
    releaseFreedMemory();
    return count == collection.articles ? seconds : -1;
}

// Decodes in one call of glibc's converter; a null string when it fails.
QString decodeWithIconv(const QByteArray& bytes, const char* from) {
    iconv_t converter = iconv_open("UTF-16LE", from);
    if (converter == iconv_t(-1))
        return {};
    QString text(bytes.size() + 1, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char* out = reinterpret_cast<char*>(text.data());
    size_t outLeft = size_t(text.size()) * sizeof(char16_t);
    const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == size_t(-1))
        return {};
    text.truncate(reinterpret_cast<const QChar*>(out) - text.constData());
    return text;
}

const char* iconvName(Encoding encoding) {
    return encoding == Encoding::Big5 ? "CP950" : "UTF-8";
}

// Window, start-up sequence, shown, first paint, collection loaded; torn down
// outside the timing.
double timeReaderStart(const QString& directory) {
    std::unique_ptr<ReaderUnderTest> reader;
    bool started = false;
    const double seconds = secondsOf([&] {
        reader = std::make_unique<ReaderUnderTest>(directory);
        started = startReader(*reader);
    });
    reader.reset();
    QCoreApplication::processEvents();
    releaseFreedMemory();
    return started ? seconds : -1;
}

// The reader opens where its bookmark says: at the first article, so that
// Right moves to the second.
bool bookmarkFirstArticle(const QString& directory) {
    QFile file(directory + QStringLiteral("/MyPage.txt"));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write("1\r\n") == 3;
}

// From the window's creation, as from a launch, with Right pressed the moment
// the window is shown, until the title names the second article.
double timeReadyToMove(const QString& directory) {
    if (!bookmarkFirstArticle(directory))
        return -1;
    std::unique_ptr<ReaderUnderTest> reader;
    bool moved = false;
    const double seconds = secondsOf([&] {
        reader = std::make_unique<ReaderUnderTest>(directory);
        moved = moveOnceShown(*reader);
    });
    reader.reset();
    QCoreApplication::processEvents();
    releaseFreedMemory();
    return moved ? seconds : -1;
}

double timeBareStart() {
    std::unique_ptr<BareWindow> bare;
    bool shown = false;
    const double seconds = secondsOf([&] {
        bare = std::make_unique<BareWindow>();
        shown = showAndWaitForPaint(&bare->window(), bare->textBox()->viewport());
    });
    bare.reset();
    QCoreApplication::processEvents();
    return shown ? seconds : -1;
}

// After a report of a change, LiveCollection waits this long for the editor
// to leave the file alone before it indexes again. The wait is idle, there
// for the editor's sake, and is taken out of the time of a re-index.
constexpr std::chrono::duration<double> SettleWait = FileQuietTime;

bool writeWhole(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

struct IndexTimes {
    double first = -1;
    double again = -1;
};

// A LiveCollection follows a copy of a collection: its first index, timed from
// start(), then, once the copy has been replaced by a rename as an editor
// saves, the index of the new version, timed from the end of the rename and
// less the settle wait. Both end when the receiver has the index with the count given.
IndexTimes timeIndexAndReindex(const QString& path, const QByteArray& before, int beforeCount,
                               const QByteArray& after, int afterCount) {
    const QString saved = path + QStringLiteral(".new");
    if (!writeWhole(path, before) || !writeWhole(saved, after))
        return {};
    // Left alone past the settle wait, as a collection is when the reader
    // starts: the first index then reads at once.
    QThread::msleep(2 * FileQuietTime.count());
    IndexTimes times;
    {
        LiveCollection collection;
        std::optional<int> received;
        bool failed = false;
        QEventLoop* waiting = nullptr;
        collection.setReceivers({
            [&](DataFileIndex index) {
                received = index.count();
                if (waiting)
                    waiting->quit();
            },
            [&](std::exception_ptr) {
                failed = true;
                if (waiting)
                    waiting->quit();
            },
            {},
        });
        const auto waitForIndex = [&] {
            if (received || failed)
                return;
            QEventLoop loop;
            waiting = &loop;
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            loop.exec();
            waiting = nullptr;
        };
        const double first = secondsOf([&] {
            collection.start(path);
            waitForIndex();
        });
        if (received != beforeCount)
            return {};
        // The reports of the write beside the file are seen, and passed over,
        // before the timing.
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        received.reset();
        // Timed from the end of the save: a rename over a large file may take
        // the file system tens of milliseconds (ext4 writes out the new file's
        // blocks then), which is the editor's time, not the reader's.
        if (std::rename(QFile::encodeName(saved).constData(),
                        QFile::encodeName(path).constData()) != 0)
            failed = true;
        const double again = secondsOf(waitForIndex);
        if (received != afterCount)
            return {};
        times = {first, again - SettleWait.count()};
    }
    QCoreApplication::processEvents();
    releaseFreedMemory();
    return times;
}

// Puts a text into a box and waits for its paint; the box is emptied first,
// outside the timing, as after a move from a short article.
template <class Show>
double timeShow(QWidget* viewport, Show&& show, const std::function<void()>& empty) {
    empty();
    waitForPaint(viewport);
    bool painted = false;
    const double seconds = secondsOf([&] {
        show();
        painted = waitForPaint(viewport);
    });
    return painted ? seconds : -1;
}

void loadAgainstDecode(benchmark::State& state, Collection collection, Encoding encoding,
                       bool oneCpu) {
    const QByteArray bytes = readAll(collection.dataFile);
    qsizetype units = 0;
    Rounds rounds(2);
    for (auto _ : state) {
        if (!rounds.run({[&] { return timeLoad(collection, oneCpu); },
                         [&] { return timeDecode(bytes, encoding, &units); }})) {
            state.SkipWithError(oneCpu ? "wrong article count, or not pinned to one CPU"
                                       : "wrong article count");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    state.counters["MB"] = double(bytes.size()) / 1e6;
    state.counters["utf16_MiB"] = double(units) * 2 / MiB;
    state.counters["decode_ms"] = rounds.milliseconds(1);
    state.counters["ratio"] = rounds.total(0) / rounds.total(1);
}

// All sizes loaded in every iteration, so that their times per megabyte are
// taken in the same spell.
void loadScaling(benchmark::State& state, std::vector<Collection> collections) {
    Rounds rounds(collections.size());
    std::vector<Rounds::Part> loads;
    for (const Collection& collection : collections)
        loads.push_back([&] { return timeLoad(collection); });
    for (auto _ : state) {
        if (!rounds.run(loads)) {
            state.SkipWithError("wrong article count");
            return;
        }
        double all = 0;
        for (size_t i = 0; i < collections.size(); ++i)
            all += rounds.last(i);
        state.SetIterationTime(all);
    }
    double low = 0;
    double high = 0;
    for (size_t i = 0; i < collections.size(); ++i) {
        const double perMegabyte =
            rounds.medianMilliseconds(i) / (double(collections[i].bytes) / 1e6);
        state.counters["ms_per_MB_" + sizeTag(AllEighths[i]).toStdString()] = perMegabyte;
        low = i == 0 ? perMegabyte : std::min(low, perMegabyte);
        high = std::max(high, perMegabyte);
    }
    state.counters["spread"] = high / low;
}

// A search of the whole collection as F3 runs it on the background task, for
// text it does not hold or holds only in its last article, against ripgrep 13
// counting the same text in the UTF-8 collection (a comparison only; without
// ripgrep the row is left bare).
void searchAgainstRipgrep(benchmark::State& state, Collection full, Collection utf8, QString needle,
                          bool inLast) {
    const QString rg = QStandardPaths::findExecutable(QStringLiteral("rg"));
    const SearchPattern pattern(needle);
    const DataFileIndex index = indexDataFile(full.dataFile, narrowCodecsFor(localeCodeset()));
    std::vector<int> order(size_t(std::max(0, int(index.count()))));
    std::iota(order.begin(), order.end(), 1);
    const std::atomic<bool> stop = false;
    const int expected = inLast ? full.articles : 0;
    std::vector<Rounds::Part> parts{[&] {
        std::optional<FoundArticle> found;
        const double seconds = secondsOf(
            [&] { found = findArticle(pattern, index, order, SearchDirection::Forward, stop); });
        const int article = found ? found->article : 0;
        return article != expected || index.count() != full.articles ? -1 : seconds;
    }};
    if (!rg.isEmpty())
        parts.push_back([&] {
            QProcess process;
            const double seconds = secondsOf([&] {
                process.start(rg,
                              {QStringLiteral("-F"), QStringLiteral("-c"), needle, utf8.dataFile});
                process.waitForFinished(60000);
            });
            // 0: a line matched; 1: none did.
            return process.exitCode() == (inLast ? 0 : 1) ? seconds : -1;
        });
    Rounds rounds(parts.size());
    for (auto _ : state) {
        if (!rounds.run(parts)) {
            state.SkipWithError("the search found otherwise than expected, or ripgrep failed");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    if (!rg.isEmpty())
        state.counters["rg_ms"] = rounds.milliseconds(1);
}

// glibc's converter, measured so that the faster one can be chosen.
void iconvAgainstQt(benchmark::State& state, Collection collection, Encoding encoding) {
    const QByteArray bytes = readAll(collection.dataFile);
    Rounds rounds(2);
    for (auto _ : state) {
        const bool ok = rounds.run({[&] {
                                        QString text;
                                        const double seconds = secondsOf([&] {
                                            text = decodeWithIconv(bytes, iconvName(encoding));
                                        });
                                        return text.isNull() ? -1 : seconds;
                                    },
                                    [&] { return timeDecode(bytes, encoding); }});
        if (!ok) {
            state.SkipWithError("iconv failed");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    QStringDecoder decoder(codecName(encoding));
    state.counters["same"] =
        decodeWithIconv(bytes, iconvName(encoding)) == decoder.decode(bytes) ? 1 : 0;
    state.counters["qt_ms"] = rounds.milliseconds(1);
    state.counters["ratio"] = rounds.total(0) / rounds.total(1);
}

// The reader on the maximal collection against a bare window and the decode;
// the reader on the first two articles shows the same page without the rest.
void startupAgainstBare(benchmark::State& state, Collection full, Collection two,
                        Encoding encoding) {
    const QByteArray bytes = readAll(full.dataFile);
    Rounds rounds(4);
    for (auto _ : state) {
        if (!rounds.run({[&] { return timeReaderStart(full.directory); }, timeBareStart,
                         [&] { return timeDecode(bytes, encoding); },
                         [&] { return timeReaderStart(two.directory); }})) {
            state.SkipWithError("a window did not start");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    state.counters["bare_ms"] = rounds.milliseconds(1);
    state.counters["decode_ms"] = rounds.milliseconds(2);
    state.counters["two_ms"] = rounds.milliseconds(3);
    state.counters["ratio"] = (rounds.total(0) - rounds.total(1)) / rounds.total(2);
    state.counters["load_share"] = (rounds.total(0) - rounds.total(3)) / rounds.total(2);
}

// The maximal collection indexed again after an edit, against its first index.
// The maximal collection cannot take one more article, so the copy followed
// starts without its last one and the edit appends it.
void reindexAgainstFirst(benchmark::State& state, Collection full) {
    const QByteArray after = readAll(full.dataFile);
    // The separator line before the last article: the search starts short of
    // the file's closing "\r\n***\r\n", the last separator line's own.
    const qsizetype last = after.lastIndexOf("\n***", after.size() - 7);
    QTemporaryDir directory;
    if (last < 0 || !directory.isValid()) {
        state.SkipWithError("no copy of the collection");
        return;
    }
    const QByteArray before = after.left(last + qsizetype(sizeof "\n***\r\n") - 1);
    const QString path = directory.filePath(QStringLiteral("data.txt"));
    double firstTotal = 0;
    double againTotal = 0;
    for (auto _ : state) {
        const IndexTimes times =
            timeIndexAndReindex(path, before, full.articles - 1, after, full.articles);
        if (times.first < 0 || times.again < 0) {
            state.SkipWithError("an index did not come, or had the wrong count");
            return;
        }
        firstTotal += times.first;
        againTotal += times.again;
        state.SetIterationTime(times.again);
    }
    state.counters["first_ms"] = firstTotal / double(state.iterations()) * 1e3;
    state.counters["ratio"] = againTotal / firstTotal;
}

// Ready to move on the maximal collection against the first two articles: how
// long the rest of the collection keeps the first move waiting.
void readyToMove(benchmark::State& state, Collection full, Collection two) {
    Rounds rounds(2);
    for (auto _ : state) {
        if (!rounds.run({[&] { return timeReadyToMove(full.directory); },
                         [&] { return timeReadyToMove(two.directory); }})) {
            state.SkipWithError("the window did not move to the second article");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    state.counters["two_ms"] = rounds.milliseconds(1);
    state.counters["ratio"] = rounds.total(0) / rounds.total(1);
}

void showAgainstSetPlainText(benchmark::State& state, Collection collection, int article) {
    ReaderUnderTest reader(collection.directory);
    BareWindow bare;
    if (!startReader(reader) || !showAndWaitForPaint(&bare.window(), bare.textBox()->viewport())) {
        state.SkipWithError("a window did not start");
        return;
    }
    const QString text =
        reader.window().session().collection().slotText(article).value_or(QString());
    QPlainTextEdit* plain = bare.textBox();
    Rounds rounds(2);
    for (auto _ : state) {
        const bool ok = rounds.run({[&] {
                                        return timeShow(
                                            reader.textBox()->viewport(),
                                            [&] { reader.textBox()->showArticle(text); },
                                            [&] { reader.textBox()->showArticle({}); });
                                    },
                                    [&] {
                                        return timeShow(
                                            plain->viewport(), [&] { plain->setPlainText(text); },
                                            [&] { plain->setPlainText(QString()); });
                                    }});
        if (!ok) {
            state.SkipWithError("not painted");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    state.counters["chars"] = double(text.size());
    state.counters["plain_ms"] = rounds.milliseconds(1);
    state.counters["ratio"] = rounds.total(0) / rounds.total(1);
}

enum class VerticalCase { Switch, Next, Scroll };

// 5 KB of the shown article's Chinese text, in the vertical view and in the
// text box (see names::vertical). The view is switched directly: the command
// also saves the choice, which a benchmark must not write to the user's
// settings.
void verticalAgainstTextBox(benchmark::State& state, Collection collection, VerticalCase what,
                            int article) {
    // 5 KB of the first; the others whole.
    const qsizetype length = article == 1 ? 2560 : -1;
    ReaderUnderTest reader(collection.directory);
    auto* view = reader.window().findChild<VerticalTextView*>();
    if (!startReader(reader) || !view) {
        state.SkipWithError("the window did not start");
        return;
    }
    const QString text =
        reader.window().session().collection().slotText(article).value_or(QString()).left(length);
    ArticleTextEdit* box = reader.textBox();
    const auto inView = [&] {
        if (what == VerticalCase::Switch) {
            box->showArticle(text);
            waitForPaint(box->viewport());
            bool painted = false;
            const double seconds = secondsOf([&] {
                view->setActive(true);
                painted = waitForPaint(view->viewport());
            });
            view->setActive(false);
            return painted ? seconds : -1;
        }
        view->setActive(true);
        const double seconds = timeShow(
            view->viewport(), [&] { box->showArticle(text); }, [&] { box->showArticle({}); });
        if (what == VerticalCase::Scroll && seconds >= 0) {
            // The slowest notch, down the whole text and back.
            double slowest = 0;
            for (const int notch : {-120, 120}) {
                const int start = view->horizontalScrollBar()->value();
                do {
                    QWheelEvent wheel(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, notch),
                                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                    slowest = std::max(slowest, secondsOf([&] {
                                           QApplication::sendEvent(view->viewport(), &wheel);
                                           waitForPaint(view->viewport());
                                       }));
                } while (view->horizontalScrollBar()->value() != start &&
                         view->horizontalScrollBar()->value() !=
                             (notch < 0 ? view->horizontalScrollBar()->maximum() : 0));
            }
            view->setActive(false);
            return slowest;
        }
        view->setActive(false);
        return seconds;
    };
    Rounds rounds(2);
    for (auto _ : state) {
        const bool ok = rounds.run({inView, [&] {
                                        return timeShow(
                                            box->viewport(), [&] { box->showArticle(text); },
                                            [&] { box->showArticle({}); });
                                    }});
        if (!ok) {
            state.SkipWithError("not painted");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    state.counters["box_ms"] = rounds.milliseconds(1);
    state.counters["ratio"] = what == VerticalCase::Scroll ? rounds.milliseconds(0) / 16.0
                                                           : rounds.total(0) / rounds.total(1);
}

// One line of a repeated letter, which offers no break opportunity, against as
// many Chinese characters on one line, which offer one after every character.
void longLineAgainstChinese(benchmark::State& state, Collection collection, qint64 chars) {
    ReaderUnderTest reader(collection.directory);
    if (!startReader(reader)) {
        state.SkipWithError("the window did not start");
        return;
    }
    // As the store holds them: CR LF before the line.
    const QString letters = QStringLiteral("\r\n") + QString(chars, QLatin1Char('x'));
    const QString chinese = QStringLiteral("\r\n") + chineseLine(chars);
    ArticleTextEdit* box = reader.textBox();
    const auto showLine = [&](const QString& line) {
        return timeShow(
            box->viewport(), [&] { box->showArticle(line); }, [&] { box->showArticle({}); });
    };
    Rounds rounds(2);
    for (auto _ : state) {
        if (!rounds.run({[&] { return showLine(letters); }, [&] { return showLine(chinese); }})) {
            state.SkipWithError("not painted");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    state.counters["chars"] = double(chars);
    state.counters["chinese_ms"] = rounds.milliseconds(1);
    state.counters["ratio"] = rounds.total(0) / rounds.total(1);
}

// The list of titles on the maximal collection, in the window as the keys use
// it: opened as Ctrl+T opens it until its rows have painted, against the
// article on show put into the text box again until painted; one character
// typed into its empty field, matched in the titles, until the rows have
// painted; and one character typed with the whole text switched on, until the
// search has ended and its rows have painted, against ripgrep counting the
// same character in the UTF-8 collection.
void titleList(benchmark::State& state, Collection full, Collection utf8, QString typed) {
    ReaderUnderTest reader(full.directory);
    if (!startReader(reader)) {
        state.SkipWithError("the window did not start");
        return;
    }
    ReaderWindow& window = reader.window();
    auto* box = window.findChild<TitleListBox*>(QStringLiteral("titleList"));
    auto* field = window.findChild<QLineEdit*>(QStringLiteral("titleFilter"));
    auto* rows = window.findChild<QListView*>(QStringLiteral("titleRows"));
    auto* wholeText = window.findChild<QWidget*>(QStringLiteral("wholeTextSwitch"));
    const ReaderSession& session = window.session();
    const QString text =
        session.collection().slotText(session.position().current).value_or(QString());
    const QString rg = QStandardPaths::findExecutable(QStringLiteral("rg"));
    // Each part starts and ends with the list closed.
    const auto typeInto = [&](bool whole) {
        if (wholeText->property("checked").toBool() != whole)
            wholeText->setProperty("checked", whole);
        window.openTitleList();
        bool painted = waitForPaint(rows->viewport());
        const double seconds = secondsOf([&] {
            painted = painted && paintedAfter(
                                     rows->viewport(), [&] { field->setText(typed); },
                                     [&] { return !box->isSearching(); });
        });
        const bool found = rows->model()->rowCount() > 0;
        box->hide();
        return painted && found ? seconds : -1;
    };
    std::vector<Rounds::Part> parts{
        [&] {
            bool painted = false;
            const double seconds = secondsOf([&] {
                window.openTitleList();
                painted = waitForPaint(rows->viewport());
            });
            box->hide();
            return painted ? seconds : -1;
        },
        [&] {
            return timeShow(
                reader.textBox()->viewport(), [&] { reader.textBox()->showArticle(text); },
                [&] { reader.textBox()->showArticle({}); });
        },
        [&] { return typeInto(false); }, [&] { return typeInto(true); }};
    if (!rg.isEmpty())
        parts.push_back([&] {
            QProcess process;
            const double seconds = secondsOf([&] {
                process.start(rg,
                              {QStringLiteral("-F"), QStringLiteral("-c"), typed, utf8.dataFile});
                process.waitForFinished(60000);
            });
            return process.exitCode() == 0 ? seconds : -1;
        });
    Rounds rounds(parts.size());
    for (auto _ : state) {
        if (!rounds.run(parts)) {
            state.SkipWithError("the list did not paint, found nothing, or ripgrep failed");
            return;
        }
        state.SetIterationTime(rounds.last(0));
    }
    state.counters["show_ms"] = rounds.milliseconds(1);
    state.counters["title_filter_ms"] = rounds.milliseconds(2);
    state.counters["text_filter_ms"] = rounds.milliseconds(3);
    if (!rg.isEmpty())
        state.counters["rg_ms"] = rounds.milliseconds(4);
    state.counters["titles_KiB"] = double(session.collection().titles().memorySize()) / 1024;
}

// `files` are set beside the peak as counters, for the rows that need sizes.
void peakMemory(benchmark::State& state, QStringList arguments,
                std::vector<std::pair<std::string, Collection>> files) {
    double kib = -1;
    for (auto _ : state) {
        kib = measurePeakKiB(arguments);
        if (kib < 0)
            state.SkipWithError("the measuring child failed");
    }
    state.counters["peak_MiB"] = kib / 1024;
    for (const auto& [name, collection] : files)
        state.counters[name] = double(collection.bytes) / MiB;
}

template <class... Args>
benchmark::internal::Benchmark* add(const std::string& name, Args&&... args) {
    return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMillisecond);
}

void registerBenchmarks(const QString& root) {
    for (Encoding encoding : AllEncodings) {
        std::vector<Collection> sizes;
        for (int eighths : AllEighths) {
            sizes.push_back(sizedCollection(root, encoding, eighths));
            add(names::load(encoding, eighths), loadAgainstDecode, sizes.back(), encoding, false)
                ->UseManualTime()
                ->MinTime(0.3);
        }
        // Big5 has a decoder of the reader's own, which must beat Qt's even
        // when the load has one core to itself.
        if (encoding == Encoding::Big5)
            add(names::loadOneCpu(encoding), loadAgainstDecode, sizes.back(), encoding, true)
                ->UseManualTime()
                ->MinTime(0.3);
        // Each iteration loads all four sizes; a longer run gives every size
        // enough loads for a slowest-over-fastest ratio that is not just noise.
        add(names::scaling(encoding), loadScaling, sizes)->UseManualTime()->MinTime(2.0);
        add(names::iconv(encoding), iconvAgainstQt, sizes.back(), encoding)
            ->UseManualTime()
            ->MinTime(0.3);
        add(names::startup(encoding), startupAgainstBare, sizes.back(),
            twoArticleCollection(root, encoding), encoding)
            ->UseManualTime()
            ->MinTime(0.3);
        add(names::search(encoding), searchAgainstRipgrep, sizes.back(),
            sizedCollection(root, Encoding::Utf8, 8), QStringLiteral("找不到的一句話"), false)
            ->UseManualTime()
            ->MinTime(0.3);
        // Every character with Simplified and Traditional forms to find.
        add(names::searchVariants(encoding), searchAgainstRipgrep, sizes.back(),
            sizedCollection(root, Encoding::Utf8, 8), QStringLiteral("后来的书"), false)
            ->UseManualTime()
            ->MinTime(0.3);
        // Every place a candidate for a search anchored on its first character.
        add(names::searchRepeated(encoding), searchAgainstRipgrep,
            repeatedCollection(root, encoding), repeatedCollection(root, Encoding::Utf8),
            RepeatedPhrase, true)
            ->UseManualTime()
            ->MinTime(0.3);
        add(names::searchRepeatedShort(encoding), searchAgainstRipgrep,
            repeatedCollection(root, encoding), repeatedCollection(root, Encoding::Utf8),
            QStringLiteral("甲甲甲丙"), false)
            ->UseManualTime()
            ->MinTime(0.3);
        add(names::searchRepeatedDense(encoding), searchAgainstRipgrep,
            repeatedCollection(root, encoding), repeatedCollection(root, Encoding::Utf8),
            QStringLiteral("甲乙乙"), false)
            ->UseManualTime()
            ->MinTime(0.3);
        add(names::reindex(encoding), reindexAgainstFirst, sizes.back())
            ->UseManualTime()
            ->MinTime(0.3);
        add(names::ready(encoding), readyToMove, sizes.back(), twoArticleCollection(root, encoding))
            ->UseManualTime()
            ->MinTime(0.3);
        add(names::titleList(encoding), titleList, sizes.back(),
            sizedCollection(root, Encoding::Utf8, 8), QStringLiteral("的"))
            ->UseManualTime()
            ->MinTime(0.3);
    }
    const Collection show = showCollection(root);
    for (size_t i = 0; i < ShownArticleBytes.size(); ++i)
        add(names::show(ShownArticleBytes[i]), showAgainstSetPlainText, show, int(i) + 1)
            ->UseManualTime()
            ->MinTime(0.3);
    for (qint64 chars : LongLineChars)
        add(names::longLine(chars), longLineAgainstChinese, show, chars)->UseManualTime();
    add(names::vertical("switch"), verticalAgainstTextBox, show, VerticalCase::Switch, 1)
        ->UseManualTime()
        ->MinTime(0.3);
    add(names::vertical("next"), verticalAgainstTextBox, show, VerticalCase::Next, 1)
        ->UseManualTime()
        ->MinTime(0.3);
    add(names::vertical("scroll"), verticalAgainstTextBox, show, VerticalCase::Scroll, 1)
        ->UseManualTime()
        ->Iterations(3);
    for (size_t i = 1; i < ShownArticleBytes.size(); ++i)
        add(names::verticalWhole(ShownArticleBytes[i]), verticalAgainstTextBox, show,
            VerticalCase::Next, int(i) + 1)
            ->UseManualTime()
            ->Iterations(3);
    add(names::peakBare(), peakMemory, QStringList{QStringLiteral("bare")},
        std::vector<std::pair<std::string, Collection>>{})
        ->Iterations(1)
        ->UseRealTime();
    // The growth from two articles to the full collection is set against the
    // text's smallest form, whichever encoding is measured: both files.
    const std::vector<std::pair<std::string, Collection>> fullFiles{
        {"big5_file_MiB", sizedCollection(root, Encoding::Big5, 8)},
        {"utf8_file_MiB", sizedCollection(root, Encoding::Utf8, 8)}};
    for (Encoding encoding : AllEncodings) {
        add(names::peak(encoding), peakMemory,
            QStringList{QStringLiteral("reader"), sizedCollection(root, encoding, 8).directory},
            fullFiles)
            ->Iterations(1)
            ->UseRealTime();
        add(names::peakTwoArticles(encoding), peakMemory,
            QStringList{QStringLiteral("reader"), twoArticleCollection(root, encoding).directory},
            std::vector<std::pair<std::string, Collection>>{})
            ->Iterations(1)
            ->UseRealTime();
    }
}

} // namespace

int main(int argc, char** argv) {
    // Windows are real but never reach a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreenWarnings);
    preferTraditionalChineseGlyphs();
    QApplication app(argc, argv);
    installProgramFonts();
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.value(1) == QLatin1String(PeakMemoryArgument))
        return runPeakMemoryChild(arguments.mid(2));

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const QString root = QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data");
    std::cerr << "Collections under " << root.toStdString() << "\n";
    ensureCollections(root);
    registerBenchmarks(root);

    // Colours only on a terminal; a log file gets plain text.
    RatioReporter reporter(isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_Defaults
                                                  : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::cout << "\n";
    printRatioTable(reporter.figures(), std::cout);
    benchmark::Shutdown();
    return 0;
}
