#include "store/FileBytes.h"

#include "platform/RuntimeError.h"

#include <QFile>

qsizetype FileBytes::read(char* into, qsizetype max) {
    if (m_stop && m_stop->load(std::memory_order_relaxed))
        throw ReadStopped{};
    const qint64 got = m_file.read(into, max);
    if (got < 0)
        throw RuntimeError::fileAccess(m_path, m_file.errorString());
    return qsizetype(got);
}

void FileBytes::rewind() {
    if (!m_file.seek(0))
        throw RuntimeError::fileAccess(m_path, m_file.errorString());
}

qint64 FileBytes::sizeHint() const {
    return m_file.size();
}

void throwUnknownEncoding(const QString& path) {
    throw RuntimeError::fileAccess(path, QStringLiteral("無法辨識的文字編碼"));
}
