#pragma once

#include <QByteArray>
#include <QList>
#include <QStringView>

class QString;

// Receives the lines of a text file as they are decoded.
class LineSink {
public:
    virtual ~LineSink() = default;
    // The file is read again from its start with another converter: forget
    // every line received so far.
    virtual void restart() = 0;
    virtual void line(QStringView text) = 0;
};

// The character set of the user's locale, as the C library reports it.
QByteArray localeCodeset();

// The converters to try for a text file in the system's narrow code page, in
// order. Every one but the last is used only if it decodes the whole file
// without an error; the last one maps what it cannot decode to U+FFFD.
// A UTF-8 (or plain ASCII) locale reads UTF-8 files as such and anything else
// as Big5, the code page the collection format comes from.
QList<QByteArray> narrowCodecsFor(const QByteArray& codeset);

// Reads a text file in the narrow code page and hands each line to the sink.
// CR LF, a lone CR and a lone LF each end a line; a line end at the very end of
// the file adds no empty line. The file is closed when this returns or throws.
// Throws RuntimeError: file not found, or a file access error.
void readNarrowTextLines(const QString& path, LineSink& sink);
void readNarrowTextLines(const QString& path, LineSink& sink, const QList<QByteArray>& codecs);
