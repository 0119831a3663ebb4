#include "platform/NarrowText.h"

#include "platform/Big5Decoder.h"
#include "platform/RegularFile.h"
#include "platform/RuntimeError.h"
#include "platform/Utf8Decoder.h"

#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>
#include <langinfo.h>
#include <optional>

namespace {

constexpr qsizetype NarrowTextSniff = qsizetype(4) << 10;

// Where the next piece ends: just after the last line end in data[from, to).
// A CR as the very last byte read may be the first half of CR LF, so it waits
// for the next block. 0 when there is no line end to cut at.
qsizetype pieceEnd(const char* data, qsizetype from, qsizetype to) {
    for (qsizetype i = to; i > from; --i) {
        const char c = data[i - 1];
        if (c == '\n' || (c == '\r' && i < to))
            return i;
    }
    return 0;
}

// Qt's converter, or one that gives the same text faster: the Big5 table, and
// for UTF-8 that must be valid throughout, a decoder that reports errors as
// Qt's does. Big5, always the last converter tried, never has to tell errors.
class PieceDecoder {
public:
    PieceDecoder(const QByteArray& codec, bool strict) {
        if (!strict && codec == Big5CodecName)
            m_big5.emplace();
        else if (strict && codec == "UTF-8")
            m_utf8.emplace();
        else
            m_qt.emplace(codec.constData());
    }

    bool isValid() const { return m_qt ? m_qt->isValid() : !m_big5 || m_big5->isValid(); }
    bool hasError() const { return m_qt ? m_qt->hasError() : m_utf8 && m_utf8->hasError(); }

    qsizetype requiredSpace(qsizetype bytes) const {
        if (m_big5)
            return m_big5->requiredSpace(bytes);
        return m_utf8 ? Utf8Decoder::requiredSpace(bytes) : m_qt->requiredSpace(bytes);
    }

    QChar* appendToBuffer(QChar* out, QByteArrayView bytes) {
        if (m_big5)
            return m_big5->appendToBuffer(out, bytes);
        return m_utf8 ? m_utf8->appendToBuffer(out, bytes) : m_qt->appendToBuffer(out, bytes);
    }

private:
    std::optional<QStringDecoder> m_qt;
    std::optional<Big5Decoder> m_big5;
    std::optional<Utf8Decoder> m_utf8;
};

// Decodes the file from its start with one converter, up to `to` or, when
// that is negative, to its end. Returns false when `strict` and the
// converter met bytes it cannot map.
bool decodeFile(QFile& file, const QString& path, qint64 to, const QByteArray& codec, bool strict,
                TextSink& sink) {
    PieceDecoder decoder(codec, strict);
    if (!decoder.isValid())
        return false;
    // Both buffers get their full size at once rather than growing after the
    // first block.
    QByteArray bytes;
    bytes.reserve(NarrowTextBlock + 1);
    QString decoded;
    decoded.reserve(decoder.requiredSpace(NarrowTextBlock + 1));
    qsizetype kept = 0;
    for (;;) {
        const qint64 wanted =
            to < 0 ? NarrowTextBlock : std::min<qint64>(NarrowTextBlock, to - file.pos());
        // One spare byte for the line end that a last line may lack.
        bytes.resize(kept + NarrowTextBlock + 1);
        const qint64 got = file.read(bytes.data() + kept, wanted);
        if (got < 0)
            throw RuntimeError::fileAccess(path, file.errorString());
        if (got == 0 && wanted > 0 && to >= 0)
            throw RuntimeError::fileAccess(path, QStringLiteral("檔案在讀取時變短了"));
        const bool atEnd = got == 0;
        const qsizetype filled = kept + got;
        // The kept bytes hold no line end, or only a CR held back at their end,
        // which goes with the next cut.
        const qsizetype cut = atEnd ? filled : pieceEnd(bytes.constData(), kept, filled);
        if (cut == 0 && !atEnd) {
            kept = filled; // a line longer than a block: read on
            continue;
        }
        qsizetype length = cut;
        // A last line without a line end gets one, so that a lone lead byte at
        // the very end is flushed out as U+FFFD; it reads the same either way.
        if (atEnd && length > 0 && !isLineEnd(bytes[length - 1]))
            bytes[length++] = '\n';
        if (length > 0) {
            decoded.resize(decoder.requiredSpace(length));
            const QChar* end =
                decoder.appendToBuffer(decoded.data(), QByteArrayView(bytes.constData(), length));
            if (strict && decoder.hasError())
                return false;
            sink.lines(QStringView(decoded.constData(), end - decoded.constData()));
        }
        if (atEnd)
            return true;
        kept = filled - cut;
        std::memmove(bytes.data(), bytes.constData() + cut, size_t(kept));
    }
}

bool startDecodes(QFile& file, const QByteArray& codec) {
    QStringDecoder decoder(codec.constData());
    if (!decoder.isValid())
        return false;
    // An incomplete character at the end is no error here. A few pages tell a
    // Big5 collection, whose every line is Chinese, from UTF-8.
    const QString start = decoder.decode(file.read(NarrowTextSniff));
    Q_UNUSED(start);
    return !decoder.hasError();
}

void rewind(QFile& file, const QString& path) {
    if (!file.seek(0))
        throw RuntimeError::fileAccess(path, file.errorString());
}

// Reads the file from its current position to its end, however long it has
// grown meanwhile, and gives a last line without a line end an LF, as the
// decoding reads do. Returns the number of bytes.
qsizetype readBytes(QFile& file, const QString& path, LargeBuffer& buffer) {
    buffer.reserve(std::size_t(std::max<qint64>(file.size(), 0)) + 1);
    std::size_t size = 0;
    for (;;) {
        if (size == buffer.capacity())
            buffer.reserve(buffer.capacity() * 2);
        const qint64 got = file.read(buffer.data() + size, qint64(buffer.capacity() - size));
        if (got < 0)
            throw RuntimeError::fileAccess(path, file.errorString());
        if (got == 0)
            break;
        size += std::size_t(got);
    }
    if (size > 0 && !isLineEnd(buffer.data()[size - 1])) {
        if (size == buffer.capacity())
            buffer.reserve(size + 1);
        buffer.data()[size++] = '\n';
    }
    return qsizetype(size);
}

// Decodes the file from its current position to its end into the buffer as
// UTF-16 and returns the number of units; nothing when the converter cannot be
// opened or, when `strict`, meets bytes it cannot map.
std::optional<qsizetype> decodeWhole(QFile& file, const QString& path, const QByteArray& codec,
                                     bool strict, LargeBuffer& buffer) {
    PieceDecoder decoder(codec, strict);
    if (!decoder.isValid())
        return std::nullopt;
    constexpr std::size_t Unit = sizeof(char16_t);
    const qint64 fileSize = std::max<qint64>(file.size(), 0);
    buffer.reserve(Unit * std::size_t(decoder.requiredSpace(fileSize + 1) + NarrowTextBlock));
    QByteArray bytes(NarrowTextBlock, Qt::Uninitialized);
    qsizetype used = 0;
    char lastByte = '\n';
    for (;;) {
        const qint64 got = file.read(bytes.data(), NarrowTextBlock);
        if (got < 0)
            throw RuntimeError::fileAccess(path, file.errorString());
        qsizetype length = qsizetype(got);
        if (got > 0) {
            lastByte = bytes[length - 1];
        } else {
            // A last line without a line end gets one, so that a character
            // cut short at the very end is decoded as it is in one pass.
            if (isLineEnd(lastByte))
                return used;
            bytes[0] = lastByte = '\n';
            length = 1;
        }
        const std::size_t needed = Unit * std::size_t(used + decoder.requiredSpace(length));
        if (needed > buffer.capacity())
            buffer.reserve(needed + needed / 2);
        QChar* start = reinterpret_cast<QChar*>(buffer.data()) + used;
        const QChar* end = decoder.appendToBuffer(start, QByteArrayView(bytes.constData(), length));
        used += end - start;
        if (strict && decoder.hasError())
            return std::nullopt;
    }
}
} // namespace

void LineSink::lines(QStringView piece) {
    for (qsizetype pos = 0; pos < piece.size();) {
        const LineBounds bounds = lineAt(piece, pos);
        line(piece.sliced(pos, bounds.end - pos));
        pos = bounds.next;
    }
}

QByteArray localeCodeset() {
    return QByteArray(nl_langinfo(CODESET));
}

QList<QByteArray> narrowCodecsFor(const QByteArray& codeset) {
    const QList<QByteArray> utf8ThenBig5{QByteArrayLiteral("UTF-8"), QByteArray(Big5CodecName)};
    const QByteArray name = codeset.toUpper();
    if (name.isEmpty() || name == "UTF-8" || name == "UTF8" || name == "ANSI_X3.4-1968" ||
        name == "ASCII" || name == "US-ASCII")
        return utf8ThenBig5;
    // "BIG5" from glibc is code page 950 here too.
    if (name == "BIG5" || name == "CP950")
        return {QByteArray(Big5CodecName)};
    if (!QStringDecoder(codeset.constData()).isValid())
        return utf8ThenBig5;
    return {codeset};
}

void readNarrowTextLines(const QString& path, TextSink& sink) {
    readNarrowTextLines(path, sink, narrowCodecsFor(localeCodeset()));
}

void readNarrowTextLines(const QString& path, TextSink& sink, const QList<QByteArray>& codecs) {
    readNarrowTextStart(path, -1, sink, codecs);
}

void readNarrowTextStart(const QString& path, qint64 maxBytes, TextSink& sink) {
    readNarrowTextStart(path, maxBytes, sink, narrowCodecsFor(localeCodeset()));
}

void readNarrowTextStart(const QString& path, qint64 maxBytes, TextSink& sink,
                         const QList<QByteArray>& codecs) {
    QFile file;
    openRegularFile(file, path);
    const qint64 to = maxBytes < 0 || file.size() <= maxBytes ? -1 : maxBytes;
    for (qsizetype i = 0; i < codecs.size(); ++i) {
        const bool last = i + 1 == codecs.size();
        if (i > 0) {
            sink.restart();
            rewind(file, path);
        }
        if (decodeFile(file, path, to, codecs[i], !last, sink))
            return;
    }
    // No converter could be opened at all: nothing is readable.
    throw RuntimeError::fileAccess(path, QStringLiteral("無法辨識的文字編碼"));
}

void WholeNarrowText::releaseUnused() {
    m_buffer.releaseBeyond(std::size_t(m_size) * (m_big5Bytes ? 1 : sizeof(char16_t)));
}

QString WholeNarrowText::text(qsizetype from, qsizetype to) const {
    if (!m_big5Bytes)
        return QString::fromRawData(reinterpret_cast<const QChar*>(units() + from), to - from);
    return Big5Decoder().decode(QByteArrayView(bytes() + from, to - from));
}

WholeNarrowText readWholeNarrowText(const QString& path, const QList<QByteArray>& codecs) {
    QFile file;
    openRegularFile(file, path);
    WholeNarrowText whole;
    for (qsizetype i = 0; i < codecs.size(); ++i) {
        const bool last = i + 1 == codecs.size();
        if (i > 0)
            rewind(file, path);
        // A Big5 file is told from UTF-8 by its first bytes: no need to read
        // it all as UTF-8 first.
        if (!last) {
            const bool decodes = startDecodes(file, codecs[i]);
            rewind(file, path);
            if (!decodes)
                continue;
        }
        if (last && codecs[i] == Big5CodecName && Big5Decoder().usesTable()) {
            whole.m_size = readBytes(file, path, whole.m_buffer);
            whole.m_big5Bytes = true;
            return whole;
        }
        if (const std::optional<qsizetype> size =
                decodeWhole(file, path, codecs[i], !last, whole.m_buffer)) {
            whole.m_size = *size;
            return whole;
        }
    }
    // No converter could be opened at all: nothing is readable.
    throw RuntimeError::fileAccess(path, QStringLiteral("無法辨識的文字編碼"));
}
