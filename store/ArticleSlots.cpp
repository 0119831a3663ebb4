#include "store/ArticleSlots.h"

#include "platform/RuntimeError.h"
#include "text/NarrowText.h"

#include <algorithm>

namespace {

struct LineEnds {
    qsizetype cr = 0;
    qsizetype lf = 0;
    qsizetype crlf = 0;
};

// Plain counting loops that the compiler vectorises: 16-bit sums over chunks
// short enough not to overflow them take eight characters a step, so an
// article is checked at memory speed rather than walked line by line.
LineEnds countLineEnds(const char16_t* text, qsizetype length) {
    constexpr qsizetype Chunk = 0xFFFF;
    LineEnds ends;
    for (qsizetype start = 0; start < length; start += Chunk) {
        const qsizetype end = std::min(length, start + Chunk);
        quint16 cr = 0;
        quint16 lf = 0;
        for (qsizetype i = start; i < end; ++i) {
            cr += text[i] == u'\r';
            lf += text[i] == u'\n';
        }
        // A pair's LF lies in this chunk; its CR may be the last of the one before.
        quint16 crlf = 0;
        if (lf > 0 && (cr > 0 || (start > 0 && text[start - 1] == u'\r'))) {
            for (qsizetype i = std::max<qsizetype>(start, 1); i < end; ++i)
                crlf += (text[i - 1] == u'\r') & (text[i] == u'\n');
        }
        ends.cr += cr;
        ends.lf += lf;
        ends.crlf += crlf;
    }
    return ends;
}

} // namespace

void ArticleSlots::checkIndex(int index) {
    if (index < FirstSlot || index > LastSlot)
        throw RuntimeError::subscriptOutOfRange();
}

QString ArticleSlots::operator()(int index) const {
    checkIndex(index);
    if (size_t(index) >= m_slots.size())
        return QString();
    const Lines& lines = m_slots[size_t(index)];
    if (lines.from == lines.to)
        return QString();
    return storedLines(m_text.text(lines.from, lines.to));
}

void ArticleSlots::assign(WholeNarrowText text, std::vector<Lines> slots) {
    m_text = std::move(text);
    m_slots = std::move(slots);
}

QString storedLines(QStringView lines) {
    if (lines.isEmpty())
        return QString();
    const char16_t* in = lines.utf16();
    const qsizetype inLength = lines.size();
    const LineEnds ends = countLineEnds(in, inLength);
    const bool lastEnded = isLineEnd(in[inLength - 1]);
    const qsizetype lineCount = ends.cr + ends.lf - ends.crlf + (lastEnded ? 0 : 1);
    const qsizetype length = inLength - ends.cr - ends.lf + 2 * lineCount;
    QString stored(length, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(stored.data());

    if (lastEnded && ends.crlf == ends.cr && ends.crlf == ends.lf) {
        // Every line ends with CR LF: the stored form is the same text with
        // its last CR LF moved to the front.
        out[0] = u'\r';
        out[1] = u'\n';
        std::copy_n(in, inLength - 2, out + 2);
        return stored;
    }
    const char16_t* const outStart = out;
    for (qsizetype pos = 0; pos < inLength;) {
        const LineBounds bounds = lineAt(lines, pos);
        *out++ = u'\r';
        *out++ = u'\n';
        out = std::copy(in + pos, in + bounds.end, out);
        pos = bounds.next;
    }
    // Never leave unwritten characters behind, whatever the counts said.
    stored.truncate(out - outStart);
    return stored;
}
