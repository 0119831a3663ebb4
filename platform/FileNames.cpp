#include "platform/FileNames.h"

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool isEscapedByte(QChar c) {
    return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at `at`, or 0 where none starts.
qsizetype validSequenceLength(const QByteArray& bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const qsizetype left = bytes.size() - at;
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    // The second byte's range excludes overlong forms, surrogates and code
    // points above U+10FFFF.
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    qsizetype length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < length || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i) {
        if (!isContinuation(byte(i)))
            return 0;
    }
    return length;
}

} // namespace

QByteArray encodeFileName(const QString& name) {
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        // A kept byte is a lone low surrogate: one after a high surrogate is
        // half of a real character.
        if (!isEscapedByte(name[i]) || (i > 0 && name[i - 1].isHighSurrogate()))
            continue;
        bytes += QStringView(name).mid(runStart, i - runStart).toUtf8();
        bytes += char(name[i].unicode() - EscapeBase);
        runStart = i + 1;
    }
    bytes += QStringView(name).mid(runStart).toUtf8();
    return bytes;
}

QString decodeFileName(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    qsizetype runStart = 0;
    for (qsizetype at = 0; at < bytes.size();) {
        if (const qsizetype length = validSequenceLength(bytes, at)) {
            at += length;
            continue;
        }
        name += QString::fromUtf8(bytes.constData() + runStart, at - runStart);
        name += QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes[at])));
        runStart = ++at;
    }
    name += QString::fromUtf8(bytes.constData() + runStart, bytes.size() - runStart);
    return name;
}

QString displayFileName(const QString& name) {
    QString shown = name;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (isEscapedByte(shown[i]) && !(i > 0 && shown[i - 1].isHighSurrogate()))
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}
