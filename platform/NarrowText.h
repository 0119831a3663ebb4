#pragma once

#include <QByteArray>
#include <QList>
#include <QStringView>

class QString;

// Receives a text file as it is decoded, in pieces of whole lines: each line in
// a piece ends with CR LF, a lone CR or a lone LF (the file's last line gets an
// LF when it has none), and a CR LF pair never spans two pieces.
class TextSink {
public:
    virtual ~TextSink() = default;
    // The file is read again from its start with another converter: forget
    // everything received so far.
    virtual void restart() = 0;
    virtual void lines(QStringView piece) = 0;
};

// Receives the lines of a text file one by one, without their line ends.
class LineSink : public TextSink {
public:
    virtual void line(QStringView text) = 0;
    void lines(QStringView piece) final;
};

// The file is read in blocks of this size, which keeps the decoded text in the
// cache and the buffers to a few pages: larger ones measured slower, most of
// all on small collections, whose load then pays noticeably for faulting in
// the buffers.
inline constexpr qsizetype NarrowTextBlock = qsizetype(64) << 10;

// CR and LF each end a line (a CR LF pair ends one line).
inline bool isLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// Where the line that starts at `from` ends (its line end excluded), and where
// the next one starts: after CR LF, a lone CR or a lone LF, or at the end of
// the text for a last line without a line end.
struct LineBounds {
    qsizetype end;
    qsizetype next;
};
inline LineBounds lineAt(QStringView text, qsizetype from) {
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    qsizetype end = from;
    while (end < size && !isLineEnd(data[end]))
        ++end;
    if (end == size)
        return {end, end};
    const bool crlf = data[end] == u'\r' && end + 1 < size && data[end + 1] == u'\n';
    return {end, end + (crlf ? 2 : 1)};
}

// The character set of the user's locale, as the C library reports it.
QByteArray localeCodeset();

// The converters to try for a text file in the system's narrow code page, in
// order. Every one but the last is used only if it decodes the whole file
// without an error; the last one maps what it cannot decode to U+FFFD.
// A UTF-8 (or plain ASCII) locale reads UTF-8 files as such and anything else
// as Big5, the code page the collection format comes from.
QList<QByteArray> narrowCodecsFor(const QByteArray& codeset);

// Reads a text file in the narrow code page and hands it to the sink.
// CR LF, a lone CR and a lone LF each end a line; a line end at the very end of
// the file adds no empty line. The file is closed when this returns or throws.
// Throws RuntimeError: file not found, or a file access error, also for a file
// that is not a regular one.
void readNarrowTextLines(const QString& path, TextSink& sink);
void readNarrowTextLines(const QString& path, TextSink& sink, const QList<QByteArray>& codecs);

// The same for the first `maxBytes` bytes of a larger file, the last line cut
// where the bytes end; a negative `maxBytes` reads it all.
void readNarrowTextStart(const QString& path, qint64 maxBytes, TextSink& sink);
void readNarrowTextStart(const QString& path, qint64 maxBytes, TextSink& sink,
                         const QList<QByteArray>& codecs);

// A file at least this large is worth decoding in two parts at once.
inline constexpr qint64 NarrowTextCutMinimum = qint64(1) << 20;

// Where a text file can be cut into two parts that decode on their own: just
// after the first LF from its middle on, which neither splits a CR LF pair nor
// (in UTF-8 or Big5, where an LF byte is never part of a character) a
// character. 0 when the file is smaller than NarrowTextCutMinimum, cannot be
// read, or has no LF near its middle.
qint64 narrowTextCut(const QString& path);

// Reads the bytes [from, to) of a text file with one converter and hands them
// to the sink, as readNarrowTextLines does for a whole file; `from` must start
// a line. Returns false when `strict` and the converter met bytes it cannot
// map. Throws RuntimeError: the file cannot be read, or ends before `to`.
bool readNarrowTextPart(const QString& path, qint64 from, qint64 to, const QByteArray& codec,
                        bool strict, TextSink& sink);

// Whether the first few KiB of a text file decode without an error in the
// converter; a file that does not is not in it. True when the file cannot be
// read: the full read finds that out.
bool narrowTextStartDecodes(const QString& path, const QByteArray& codec);
