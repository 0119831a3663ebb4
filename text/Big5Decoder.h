#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringDecoder>

#include <optional>

// The name of Qt's converter for Big5 as Windows reads it (code page 950).
inline constexpr char Big5CodecName[] = "windows-950";

struct Big5Table;

// Decodes Big5 to exactly the text that Qt's Big5 converter gives, every
// replacement character included, several times faster: its results are
// looked up in a table taken from that converter once per process, at the
// first decoder made. As in Qt's converter, a lead byte that ends the input
// waits for the next call.
//
// Should Qt's converter ever give a result the table cannot hold, or one in
// which CR, LF or "*" is part of another character, every decoder hands its
// work to Qt's converter instead, so the text stays the same.
class Big5Decoder {
public:
    Big5Decoder();

    // Whether the fast table does the work, rather than Qt's converter.
    bool usesTable() const { return !m_qt.has_value(); }
    // False only when Qt has no Big5 converter either.
    bool isValid() const { return !m_qt || m_qt->isValid(); }

    // Room for the text of `bytes` bytes, one call's worth.
    qsizetype requiredSpace(qsizetype bytes) const;

    // Decodes the bytes to `out`, which has requiredSpace() free units, and
    // returns the end of what it wrote.
    QChar* appendToBuffer(QChar* out, QByteArrayView bytes);

    QString decode(QByteArrayView bytes);

    // For reading bytes a character at a time, where usesTable(): whether a
    // byte takes a second one when a pair completes it, and the character at
    // `at` with its length in bytes, as decoding from `at` gives it.
    bool isLead(uchar byte) const;
    struct Character {
        char16_t unit;
        int length;
    };
    Character characterAt(const uchar* at, const uchar* end) const;
    // Every byte and pair of bytes that decodes to `c`, where usesTable(). A
    // lead byte is among them when it gives `c` on its own.
    QList<QByteArray> encodingsOf(char16_t c) const;

private:
    const Big5Table& m_table;
    std::optional<QStringDecoder> m_qt;
    int m_pendingLead = -1;
};
