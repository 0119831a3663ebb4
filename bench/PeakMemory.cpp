#include "PeakMemory.h"

#include "ReaderHarness.h"

#include <QCoreApplication>
#include <QFile>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProcess>

#include <cstdio>

namespace bench {

namespace {

constexpr char ReportTag[] = "peak_KiB ";

// The high-water mark of the resident set, in KiB.
qint64 peakResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

} // namespace

int runPeakMemoryChild(const QStringList& arguments) {
    bool shown = false;
    if (arguments.value(0) == QLatin1String("bare")) {
        BareWindow bare;
        shown = showAndWaitForPaint(&bare.window(), bare.textBox()->viewport());
    } else if (arguments.value(0) == QLatin1String("reader") && arguments.size() == 2) {
        ReaderUnderTest reader(arguments[1]);
        shown = startReader(reader);
    }
    if (!shown)
        return 1;
    std::printf("%s%lld\n", ReportTag, static_cast<long long>(peakResidentKiB()));
    return 0;
}

double measurePeakKiB(const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QString::fromLatin1(PeakMemoryArgument)} + arguments);
    if (!child.waitForFinished(120000) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0)
        return -1;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith(ReportTag))
            return line.mid(int(sizeof(ReportTag)) - 1).toDouble();
    }
    return -1;
}

} // namespace bench
