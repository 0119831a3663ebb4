#include "fuzz/FuzzSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

namespace {

const QTemporaryDir& scratchDir() {
    static const QTemporaryDir dir;
    if (!dir.isValid())
        mismatch("no scratch directory");
    return dir;
}

} // namespace

QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
}

QString writeScratchFile(const QString& name, const QByteArray& bytes) {
    const QString path = scratchDir().filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        mismatch("cannot write the scratch file");
    return path;
}

void mismatch(const char* what) {
    std::fprintf(stderr, "MISMATCH: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz
