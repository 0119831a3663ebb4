#pragma once

#include "text/NarrowText.h"

#include <QString>

#include <atomic>

class QFile;

// Thrown by a read that was asked to stop.
struct ReadStopped {};

// A file opened by the file services, handed to the text layer a block at a
// time. A failed read throws the file access error with the file's path; one
// after `stop` is set throws ReadStopped.
class FileBytes final : public ByteSource {
public:
    FileBytes(QFile& file, const QString& path, const std::atomic<bool>* stop = nullptr)
        : m_file(file), m_path(path), m_stop(stop) {}
    qsizetype read(char* into, qsizetype max) override;
    void rewind() override;
    qint64 sizeHint() const override;

private:
    QFile& m_file;
    const QString& m_path;
    const std::atomic<bool>* m_stop;
};

// The text layer could open none of the converters for the file.
[[noreturn]] void throwUnknownEncoding(const QString& path);
