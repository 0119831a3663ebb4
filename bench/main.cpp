// Benchmarks of the reader, each run beside its baseline so that the ratio
// table stays meaningful on a shared, noisy machine.

#include "BenchmarkNames.h"
#include "Collections.h"
#include "PeakMemory.h"
#include "RatioTable.h"
#include "ReaderHarness.h"

#include "app/Form1.h"
#include "app/Reader.h"
#include "store/ArticleSlots.h"
#include "store/DataFile.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QStringDecoder>

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>

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

// The floor: the whole file, already in memory, decoded in one call.
void decodeFloor(benchmark::State& state, Collection collection, Encoding encoding) {
    const QByteArray bytes = readAll(collection.dataFile);
    qsizetype units = 0;
    for (auto _ : state) {
        QStringDecoder decoder(codecName(encoding));
        QString text = decoder.decode(bytes);
        state.PauseTiming();
        units = text.size();
        text = QString();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(bytes.size()) / 1e6;
    state.counters["utf16_MiB"] = double(units) * 2 / MiB;
}

// Freed memory goes back to the system, so that every timed run touches fresh
// pages as a new process does; the floor's one large buffer always does.
void releaseFreedMemory() {
    malloc_trim(0);
}

void loadStore(benchmark::State& state, Collection collection) {
    auto store = std::make_unique<ArticleSlots>();
    for (auto _ : state) {
        const qint16 count = loadDataFile(collection.dataFile, *store);
        state.PauseTiming();
        if (count != collection.articles)
            state.SkipWithError("wrong article count");
        store->clear();
        releaseFreedMemory();
        state.ResumeTiming();
    }
    state.counters["MB"] = double(collection.bytes) / 1e6;
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

// glibc's converter, measured so that the faster one can be chosen.
void decodeIconv(benchmark::State& state, Collection collection, Encoding encoding) {
    const QByteArray bytes = readAll(collection.dataFile);
    const char* from = encoding == Encoding::Big5 ? "CP950" : "UTF-8";
    for (auto _ : state) {
        QString text = decodeWithIconv(bytes, from);
        state.PauseTiming();
        if (text.isNull())
            state.SkipWithError("iconv failed");
        text = QString();
        state.ResumeTiming();
    }
    QStringDecoder decoder(codecName(encoding));
    state.counters["same"] = decodeWithIconv(bytes, from) == decoder.decode(bytes) ? 1 : 0;
}

void startupReader(benchmark::State& state, Collection collection) {
    for (auto _ : state) {
        auto reader = std::make_unique<ReaderUnderTest>(collection.directory);
        if (!startReader(*reader)) {
            state.SkipWithError("the reader did not start");
            return;
        }
        state.PauseTiming();
        reader.reset();
        QCoreApplication::processEvents();
        releaseFreedMemory();
        state.ResumeTiming();
    }
}

void startupBare(benchmark::State& state) {
    for (auto _ : state) {
        auto bare = std::make_unique<BareWindow>();
        if (!showAndWaitForPaint(&bare->window(), bare->textBox()->viewport())) {
            state.SkipWithError("the bare window was not painted");
            return;
        }
        state.PauseTiming();
        bare.reset();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}

// Every timed show starts from an empty box, as a move from a short article.
void showArticle(benchmark::State& state, Collection collection, int article) {
    ReaderUnderTest reader(collection.directory);
    if (!startReader(reader)) {
        state.SkipWithError("the reader did not start");
        return;
    }
    QWidget* viewport = reader.textBox()->viewport();
    for (auto _ : state) {
        state.PauseTiming();
        reader.window().ShowArticle(0);
        waitForPaint(viewport);
        state.ResumeTiming();
        reader.window().ShowArticle(article);
        if (!waitForPaint(viewport))
            state.SkipWithError("not painted");
    }
    state.counters["chars"] = double(reader.window().ArticleText(article).size());
}

void setPlainText(benchmark::State& state, Collection collection, int article) {
    ArticleSlots store;
    loadDataFile(collection.dataFile, store);
    const QString text = store(article);
    BareWindow bare;
    QWidget* viewport = bare.textBox()->viewport();
    if (!showAndWaitForPaint(&bare.window(), viewport)) {
        state.SkipWithError("the bare window was not painted");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        bare.textBox()->setPlainText(QString());
        waitForPaint(viewport);
        state.ResumeTiming();
        bare.textBox()->setPlainText(text);
        if (!waitForPaint(viewport))
            state.SkipWithError("not painted");
    }
    state.counters["chars"] = double(text.size());
}

void peakMemory(benchmark::State& state, QStringList arguments) {
    double kib = -1;
    for (auto _ : state) {
        kib = measurePeakKiB(arguments);
        if (kib < 0)
            state.SkipWithError("the measuring child failed");
    }
    state.counters["peak_MiB"] = kib / 1024;
}

template <class... Args>
benchmark::internal::Benchmark* add(const std::string& name, Args&&... args) {
    return benchmark::RegisterBenchmark(name.c_str(), std::forward<Args>(args)...)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

void registerBenchmarks(const QString& root) {
    for (Encoding encoding : AllEncodings) {
        for (int eighths : AllEighths) {
            const Collection collection = sizedCollection(root, encoding, eighths);
            add(names::floor(encoding, eighths), decodeFloor, collection, encoding)->MinTime(0.2);
            add(names::load(encoding, eighths), loadStore, collection)->MinTime(0.2);
        }
        add(names::iconvFloor(encoding), decodeIconv, sizedCollection(root, encoding, 8), encoding)
            ->MinTime(0.2);
    }
    add(names::startupBare(), startupBare)->MinTime(0.2);
    for (Encoding encoding : AllEncodings) {
        add(names::startup(encoding), startupReader, sizedCollection(root, encoding, 8))
            ->MinTime(0.2);
        add(names::startupFirstArticle(encoding), startupReader,
            firstArticleCollection(root, encoding))
            ->MinTime(0.2);
    }
    const Collection show = showCollection(root);
    for (size_t i = 0; i < ShowArticleBytes.size(); ++i) {
        const int article = int(i) + 1;
        add(names::show(ShowArticleBytes[i]), showArticle, show, article)->MinTime(0.2);
        add(names::setPlainText(ShowArticleBytes[i]), setPlainText, show, article)->MinTime(0.2);
    }
    add(names::peakBare(), peakMemory, QStringList{QStringLiteral("bare")})->Iterations(1);
    for (Encoding encoding : AllEncodings) {
        add(names::peak(encoding), peakMemory,
            QStringList{QStringLiteral("reader"), sizedCollection(root, encoding, 8).directory})
            ->Iterations(1);
        add(names::peakFirstArticle(encoding), peakMemory,
            QStringList{QStringLiteral("reader"), firstArticleCollection(root, encoding).directory})
            ->Iterations(1);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], BareWindowArgument) == 0) {
        QApplication app(argc, argv);
        BareWindow bare;
        bare.window().setWindowTitle(QString::fromLatin1(BareWindowTitle));
        bare.window().show();
        return QApplication::exec();
    }
    // Windows are real but never reach a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietOffscreenWarnings);
    QApplication app(argc, argv);
    installFontSubstitutions();
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
