#include "text/TextCodecs.h"

#include "text/Big5Decoder.h"
#include "text/ByteCharacters.h"
#include "text/Utf8Decoder.h"
#include "text/Utf8Validator.h"

#include <QStringDecoder>

#include <array>
#include <langinfo.h>
#include <utility>

namespace {

// Any of the decoders (Qt's, the strict UTF-8 one, the Big5 table) as a
// TextDecoder. One that cannot tell errors maps what it cannot decode to
// U+FFFD, and so never has one.
template <typename Decoder> class DecoderOf final : public TextDecoder {
public:
    template <typename... Args>
    explicit DecoderOf(Args&&... args) : m_decoder(std::forward<Args>(args)...) {}

    bool isValid() const {
        if constexpr (requires { m_decoder.isValid(); })
            return m_decoder.isValid();
        return true;
    }
    qsizetype requiredSpace(qsizetype bytes) const override {
        return m_decoder.requiredSpace(bytes);
    }
    QChar* appendToBuffer(QChar* out, QByteArrayView bytes) override {
        return m_decoder.appendToBuffer(out, bytes);
    }
    bool hasError() const override {
        if constexpr (requires { m_decoder.hasError(); })
            return m_decoder.hasError();
        return false;
    }
    bool dropCutCharacter() override {
        if constexpr (requires { m_decoder.dropCutCharacter(); })
            return m_decoder.dropCutCharacter();
        return false;
    }

private:
    Decoder m_decoder;
};

template <typename Decoder, typename... Args>
std::unique_ptr<TextDecoder> validOrNone(Args&&... args) {
    auto decoder = std::make_unique<DecoderOf<Decoder>>(std::forward<Args>(args)...);
    if (!decoder->isValid())
        return nullptr;
    return decoder;
}

std::unique_ptr<TextDecoder> qtDecoder(const TextCodec& codec, bool) {
    return validOrNone<QStringDecoder>(codec.name.constData());
}

// Only strict UTF-8 has a faster decoder of its own: it is the one tried first.
std::unique_ptr<TextDecoder> utf8Decoder(const TextCodec& codec, bool strict) {
    if (strict)
        return validOrNone<Utf8Decoder>();
    return qtDecoder(codec, strict);
}

// Big5 is read last, where nothing is strict; the table does that work.
std::unique_ptr<TextDecoder> big5Decoder(const TextCodec& codec, bool strict) {
    if (strict)
        return qtDecoder(codec, strict);
    return validOrNone<Big5Decoder>();
}

std::unique_ptr<ByteCharacters> noByteCharacters() {
    return nullptr;
}

class Utf8TextValidator final : public TextValidator {
public:
    void append(QByteArrayView bytes) override { m_validator.append(bytes); }
    bool hasError() const override { return m_validator.hasError(); }
    bool dropCutCharacter() override { return m_validator.dropCutCharacter(); }

private:
    Utf8Validator m_validator;
};

std::unique_ptr<TextValidator> utf8Validator() {
    return std::make_unique<Utf8TextValidator>();
}

bool never() {
    return false;
}

// The table vouches that CR, LF and "*" are never part of another character.
bool whenBig5TableHolds() {
    return Big5Decoder().usesTable();
}

// UTF-8 bytes take about 1.3 times the room of their UTF-16 text, so a
// UTF-8 collection is decoded at once.
const std::array<TextCodec, 2> Codecs{{
    {QByteArrayLiteral("UTF-8"), never, utf8Decoder, utf8ByteCharacters, utf8Validator, true,
     "\xEF\xBB\xBF"},
    {QByteArray(Big5CodecName), whenBig5TableHolds, big5Decoder, big5ByteCharacters},
}};

} // namespace

QString TextDecoder::decode(QByteArrayView bytes) {
    QString text(requiredSpace(bytes.size()), Qt::Uninitialized);
    const QChar* end = appendToBuffer(text.data(), bytes);
    text.truncate(end - text.constData());
    return text;
}

TextCodec textCodec(const QByteArray& name) {
    for (const TextCodec& codec : Codecs) {
        if (codec.name == name)
            return codec;
    }
    return {name, never, qtDecoder, noByteCharacters};
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
