// The input as UTF-8: the decoder, on every path the machine has, must flag an
// error exactly when Qt's converter does, after every call, and until then give
// exactly its text, in one call and in two calls cut anywhere, with an LF as a
// last call. The validator on each path flags an error after the same calls,
// and drops a character cut before the LF exactly when the decoder does.

#include "fuzz/FuzzSupport.h"
#include "text/Utf8Decoder.h"
#include "text/Utf8Validator.h"

#include <QList>
#include <QStringDecoder>

#include <vector>

namespace {

// Each call writes to a buffer of just the room the decoder asks for, so that
// the sanitizer sees a write past it.
template <typename Decoder>
QString decodeInCalls(Decoder& decoder, const QList<QByteArrayView>& calls, QList<bool>& errors) {
    QString text;
    for (const QByteArrayView call : calls) {
        std::vector<QChar> room(size_t(decoder.requiredSpace(call.size())));
        const QChar* end = decoder.appendToBuffer(room.data(), call);
        text.append(room.data(), end - room.data());
        errors.append(decoder.hasError());
    }
    return decoder.hasError() ? QString() : text;
}

using Path = Utf8Decoder::Path;

const char* nameOf(Path path) {
    return path == Path::Avx2 ? "avx2" : path == Path::Sse2 ? "sse2" : "scalar";
}

void compareInCalls(const QList<QByteArrayView>& calls) {
    QStringDecoder qt(QStringDecoder::Utf8);
    QList<bool> qtErrors;
    const QString qtText = decodeInCalls(qt, calls, qtErrors);
    for (const Path path : {Path::Scalar, Path::Sse2, Path::Avx2}) {
        if (path > Utf8Decoder::fastestPath())
            break;
        Utf8Decoder ours(path);
        QList<bool> ourErrors;
        const QString ourText = decodeInCalls(ours, calls, ourErrors);
        const char* const fault = ourErrors != qtErrors ? " flags an error otherwise"
                                  : ourText != qtText   ? " gives another text"
                                                        : nullptr;
        if (fault)
            fuzz::mismatch(
                (QByteArray("the decoder on the ") + nameOf(path) + " path" + fault).constData());
        Utf8Validator validator(path);
        QList<bool> validatorErrors;
        for (const QByteArrayView call : calls) {
            validator.append(call);
            validatorErrors.append(validator.hasError());
        }
        if (validatorErrors != qtErrors)
            fuzz::mismatch((QByteArray("the validator on the ") + nameOf(path) +
                            " path flags an error otherwise")
                               .constData());
    }
}

// The calls but the last LF, then whether each drops the character they end in.
void compareDrops(const QList<QByteArrayView>& calls) {
    for (const Path path : {Path::Scalar, Path::Sse2, Path::Avx2}) {
        if (path > Utf8Decoder::fastestPath())
            break;
        Utf8Decoder ours(path);
        Utf8Validator validator(path);
        for (const QByteArrayView call : calls) {
            std::vector<QChar> room(size_t(ours.requiredSpace(call.size())));
            ours.appendToBuffer(room.data(), call);
            validator.append(call);
        }
        if (ours.dropCutCharacter() != validator.dropCutCharacter())
            fuzz::mismatch((QByteArray("a cut character is dropped otherwise on the ") +
                            nameOf(path) + " path")
                               .constData());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QByteArrayView lineEnd("\n");
    compareInCalls({bytes, lineEnd});
    compareDrops({bytes});
    if (!bytes.isEmpty()) {
        const qsizetype cut = uchar(bytes[0]) % (bytes.size() + 1);
        compareInCalls({bytes.first(cut), bytes.sliced(cut), lineEnd});
        compareDrops({bytes.first(cut), bytes.sliced(cut)});
    }
    return 0;
}
