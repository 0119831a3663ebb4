#pragma once

#include "text/NarrowText.h"

#include <QString>

class QFile;

// A file opened by the file services, handed to the text layer a block at a
// time. A failed read throws the file access error with the file's path.
class FileBytes final : public ByteSource {
public:
    FileBytes(QFile& file, const QString& path) : m_file(file), m_path(path) {}
    qsizetype read(char* into, qsizetype max) override;
    void rewind() override;
    qint64 sizeHint() const override;

private:
    QFile& m_file;
    const QString& m_path;
};

// The text layer could open none of the converters for the file.
[[noreturn]] void throwUnknownEncoding(const QString& path);
