#include "text/ByteCharacters.h"

#include "text/Big5Decoder.h"

#include <QString>

namespace {

class Utf8Characters final : public ByteCharacters {
public:
    QList<QByteArray> encodingsOf(char32_t c) const override {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return {};
        return {QString::fromUcs4(&c, 1).toUtf8()};
    }
    // Every byte but a continuation byte starts one.
    bool startsCharacter(const uchar* bytes, qsizetype at, qsizetype&) const override {
        return (bytes[at] & 0xC0) != 0x80;
    }
    // A file changed since it was indexed may hold bytes that start nothing;
    // the check of its stamp then discards what was read.
    Character characterAt(const uchar* at, const uchar* end) const override {
        const uchar b = *at;
        const int length = b < 0x80   ? 1
                           : b < 0xC2 ? 0
                           : b < 0xE0 ? 2
                           : b < 0xF0 ? 3
                           : b < 0xF5 ? 4
                                      : 0;
        if (length == 0 || end - at < length)
            return {};
        char32_t c = length == 1 ? b : b & (0x7F >> length);
        for (int i = 1; i < length; ++i)
            c = c << 6 | (at[i] & 0x3F);
        return {c, length};
    }
};

class Big5Characters final : public ByteCharacters {
public:
    bool usesTable() const { return m_decoder.usesTable(); }

    // The table gives no character outside the BMP.
    QList<QByteArray> encodingsOf(char32_t c) const override {
        if (c > 0xFFFF)
            return {};
        return m_decoder.encodingsOf(char16_t(c));
    }
    // After any byte that is not a lead byte a character starts, whether that
    // byte stood alone or ended a pair; so the bytes from there need reading
    // only across a run of lead bytes, and never before `known`. Most Big5
    // characters are two lead bytes, so without `known` a long line would be
    // read back to its start for every place asked about.
    bool startsCharacter(const uchar* bytes, qsizetype at, qsizetype& known) const override {
        qsizetype start = at;
        while (start > known && m_decoder.isLead(bytes[start - 1]))
            --start;
        while (start < at)
            start += m_decoder.characterAt(bytes + start, bytes + at + 1).length;
        known = start;
        return start == at;
    }
    Character characterAt(const uchar* at, const uchar* end) const override {
        const Big5Decoder::Character read = m_decoder.characterAt(at, end);
        return {read.unit, read.length};
    }

private:
    Big5Decoder m_decoder;
};

} // namespace

std::unique_ptr<ByteCharacters> utf8ByteCharacters() {
    return std::make_unique<Utf8Characters>();
}

std::unique_ptr<ByteCharacters> big5ByteCharacters() {
    auto characters = std::make_unique<Big5Characters>();
    if (!characters->usesTable())
        return nullptr;
    return characters;
}
