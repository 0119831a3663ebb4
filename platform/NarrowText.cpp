#include "platform/NarrowText.h"

#include "platform/RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringDecoder>

#include <cstring>
#include <langinfo.h>

namespace {

constexpr qsizetype BlockSize = qsizetype(1) << 20;

bool isLineEnd(char16_t c) {
    return c == u'\r' || c == u'\n';
}

// Cuts decoded text into lines. Decoded pieces always end after a line end, so
// a line never spans two pieces; only a CR LF pair may be split between them.
class LineSplitter {
public:
    explicit LineSplitter(LineSink& sink) : m_sink(sink) {}

    void feed(const char16_t* text, qsizetype length) {
        qsizetype pos = 0;
        if (m_crPending && length > 0 && text[0] == u'\n')
            pos = 1;
        m_crPending = false;
        while (pos < length) {
            qsizetype end = pos;
            while (end < length && !isLineEnd(text[end]))
                ++end;
            m_sink.line(QStringView(text + pos, end - pos));
            if (end == length)
                return;
            pos = end + 1;
            if (text[end] == u'\r') {
                if (pos == length)
                    m_crPending = true;
                else if (text[pos] == u'\n')
                    ++pos;
            }
        }
    }

private:
    LineSink& m_sink;
    bool m_crPending = false;
};

qsizetype afterLastLineEnd(const char* data, qsizetype from, qsizetype to) {
    for (qsizetype i = to; i > from; --i) {
        if (data[i - 1] == '\n' || data[i - 1] == '\r')
            return i;
    }
    return 0;
}

// Decodes the whole file with one converter. Returns false when `strict` and the
// converter met bytes it cannot map.
bool decodeFile(QFile& file, const QByteArray& codec, bool strict, LineSink& sink) {
    QStringDecoder decoder(codec.constData());
    if (!decoder.isValid())
        return false;
    LineSplitter splitter(sink);
    QByteArray bytes;
    QString decoded;
    qsizetype kept = 0;
    for (;;) {
        bytes.resize(kept + BlockSize + 1);
        const qint64 got = file.read(bytes.data() + kept, BlockSize);
        if (got < 0)
            throw RuntimeError::fileAccess(file.fileName(), file.errorString());
        const bool atEnd = got == 0;
        qsizetype filled = kept + got;
        qsizetype cut = atEnd ? filled : afterLastLineEnd(bytes.constData(), kept, filled);
        if (cut == 0 && !atEnd) {
            kept = filled; // a line longer than a block: read on
            continue;
        }
        // A last line without a line end gets one, so that a lone lead byte at
        // the very end is flushed out as U+FFFD; it reads the same either way.
        if (atEnd && cut > 0 && !isLineEnd(char16_t(uchar(bytes[cut - 1]))))
            bytes[cut++] = '\n';
        if (cut > 0) {
            const QByteArrayView piece(bytes.constData(), cut);
            decoded.resize(decoder.requiredSpace(cut));
            const QChar* end = decoder.appendToBuffer(decoded.data(), piece);
            if (strict && decoder.hasError())
                return false;
            splitter.feed(reinterpret_cast<const char16_t*>(decoded.constData()),
                          end - decoded.constData());
        }
        if (atEnd)
            return true;
        kept = filled - cut;
        std::memmove(bytes.data(), bytes.constData() + cut, size_t(kept));
    }
}

} // namespace

QByteArray localeCodeset() {
    return QByteArray(nl_langinfo(CODESET));
}

QList<QByteArray> narrowCodecsFor(const QByteArray& codeset) {
    const QList<QByteArray> utf8ThenBig5{QByteArrayLiteral("UTF-8"),
                                         QByteArrayLiteral("windows-950")};
    const QByteArray name = codeset.toUpper();
    if (name.isEmpty() || name == "UTF-8" || name == "UTF8" || name == "ANSI_X3.4-1968" ||
        name == "ASCII" || name == "US-ASCII")
        return utf8ThenBig5;
    // "BIG5" from glibc is code page 950 here too.
    if (name == "BIG5" || name == "CP950")
        return {QByteArrayLiteral("windows-950")};
    if (!QStringDecoder(codeset.constData()).isValid())
        return utf8ThenBig5;
    return {codeset};
}

void readNarrowTextLines(const QString& path, LineSink& sink) {
    readNarrowTextLines(path, sink, narrowCodecsFor(localeCodeset()));
}

void readNarrowTextLines(const QString& path, LineSink& sink, const QList<QByteArray>& codecs) {
    QFile file(path);
    if (!QFileInfo::exists(path))
        throw RuntimeError::fileNotFound(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError::fileAccess(path, file.errorString());
    for (qsizetype i = 0; i < codecs.size(); ++i) {
        const bool last = i + 1 == codecs.size();
        if (i > 0) {
            sink.restart();
            if (!file.seek(0))
                throw RuntimeError::fileAccess(path, file.errorString());
        }
        if (decodeFile(file, codecs[i], !last, sink))
            return;
    }
    // No converter could be opened at all: nothing is readable.
    throw RuntimeError::fileAccess(path, QStringLiteral("無法辨識的文字編碼"));
}
