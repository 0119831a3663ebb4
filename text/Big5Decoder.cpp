#include "text/Big5Decoder.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <memory>
#include <vector>

// What Qt's Big5 converter makes of every byte and every pair of bytes. Big5
// has lead bytes, which take a second byte, and bytes that stand alone. A lead
// byte whose second byte no pair completes stands alone itself, and that
// second byte starts afresh after it.
struct Big5Table {
    bool usable = false;
    std::array<bool, 256> lead{};
    // A byte on its own: a lone lead byte gives its replacement here.
    std::array<char16_t, 256> single{};
    // Indexed by lead << 8 | second byte: the character, or NoPair.
    std::array<char16_t, 256 * 256> pair{};
};

namespace {

// No pair of bytes decodes to NUL, which is what a NUL byte is for.
constexpr char16_t NoPair = 0;

// Runs Qt's converter on a few bytes at a time, without allocating for each.
class Probe {
public:
    explicit Probe(QStringDecoder& qt)
        : m_qt(qt), m_buffer(qt.requiredSpace(8), Qt::Uninitialized) {}

    // The text of the bytes; valid until the next call.
    QStringView operator()(std::initializer_list<uchar> bytes) {
        const QByteArrayView view(bytes.begin(), qsizetype(bytes.size()));
        const QChar* end = m_qt.appendToBuffer(m_buffer.data(), view);
        return QStringView(m_buffer.constData(), end);
    }

private:
    QStringDecoder& m_qt;
    QString m_buffer;
};

// Every probe ends with an LF or is followed by one, which (as checked here)
// Qt's converter never takes as a second byte, so no byte is left waiting for
// the next probe. Anything the table cannot hold leaves it unusable, and Qt's
// converter does the work.
std::unique_ptr<const Big5Table> buildTable() {
    auto table = std::make_unique<Big5Table>();
    QStringDecoder qt(Big5CodecName);
    if (!qt.isValid())
        return table;
    Probe probe(qt);
    for (int b = 0; b < 256; ++b) {
        // A byte that gives nothing on its own waits for a second one.
        const QStringView alone = probe({uchar(b)});
        table->lead[b] = alone.isEmpty();
        const char16_t first = alone.isEmpty() ? 0 : alone[0].unicode();
        if (alone.size() > 1)
            return table;
        const QStringView flushed = probe({'\n'});
        if (table->lead[b]) {
            if (flushed.size() != 2 || flushed[1] != u'\n')
                return table;
            table->single[b] = flushed[0].unicode();
        } else {
            if (flushed != QStringView(u"\n"))
                return table;
            table->single[b] = first;
        }
        // The decoding loop copies ASCII as it is.
        if (b < 0x80 && (table->lead[b] || table->single[b] != b))
            return table;
    }
    for (int lead = 0; lead < 256; ++lead) {
        if (!table->lead[lead])
            continue;
        for (int second = 0; second < 256; ++second) {
            const QStringView text = probe({uchar(lead), uchar(second), '\n'});
            char16_t& entry = table->pair[lead << 8 | second];
            if (text.size() == 2 && text[1] == u'\n' && text[0] != NoPair) {
                entry = text[0].unicode();
            } else if (text.size() == 3 && text[0] == table->single[lead] &&
                       text[1] == table->single[second] && text[2] == u'\n') {
                entry = NoPair;
            } else {
                return table;
            }
        }
    }
    // Lines, and the "***" that starts a separator line, are found in the
    // bytes of a Big5 file: CR, LF and "*" must stand for themselves only.
    const auto isLineByte = [](char16_t c) { return c == u'\r' || c == u'\n' || c == u'*'; };
    for (int b = 0x80; b < 256; ++b) {
        if (isLineByte(table->single[b]))
            return table;
    }
    for (int code = 0; code < 256 * 256; ++code) {
        if (isLineByte(table->pair[code]) ||
            (table->pair[code] != NoPair && isLineByte(char16_t(code & 0xFF))))
            return table;
    }
    table->usable = true;
    return table;
}

// Built once, by the first decoder made, whichever thread that is on.
const Big5Table& big5Table() {
    static const std::unique_ptr<const Big5Table> table = buildTable();
    return *table;
}

} // namespace

Big5Decoder::Big5Decoder() : m_table(big5Table()) {
    if (!m_table.usable)
        m_qt.emplace(Big5CodecName);
}

qsizetype Big5Decoder::requiredSpace(qsizetype bytes) const {
    // At most one unit a byte, and one more for a lead byte held from the last
    // call whose second byte does not complete it.
    return m_qt ? m_qt->requiredSpace(bytes) : bytes + 1;
}

QChar* Big5Decoder::appendToBuffer(QChar* out, QByteArrayView bytes) {
    if (m_qt)
        return m_qt->appendToBuffer(out, bytes);
    const Big5Table& table = m_table;
    const auto* in = reinterpret_cast<const uchar*>(bytes.data());
    const uchar* const end = in + bytes.size();
    char16_t* to = reinterpret_cast<char16_t*>(out);
    if (m_pendingLead >= 0 && in < end) {
        const char16_t c = table.pair[m_pendingLead << 8 | *in];
        if (c != NoPair) {
            *to++ = c;
            ++in;
        } else {
            *to++ = table.single[m_pendingLead];
        }
        m_pendingLead = -1;
    }
    while (in < end) {
        const uchar b = *in;
        if (b < 0x80) {
            *to++ = b;
            ++in;
        } else if (!table.lead[b]) {
            *to++ = table.single[b];
            ++in;
        } else if (in + 1 == end) {
            m_pendingLead = b;
            ++in;
        } else if (const char16_t c = table.pair[b << 8 | in[1]]; c != NoPair) {
            *to++ = c;
            in += 2;
        } else {
            *to++ = table.single[b];
            ++in;
        }
    }
    return reinterpret_cast<QChar*>(to);
}

QString Big5Decoder::decode(QByteArrayView bytes) {
    QString text(requiredSpace(bytes.size()), Qt::Uninitialized);
    const QChar* end = appendToBuffer(text.data(), bytes);
    text.truncate(end - text.constData());
    return text;
}

bool Big5Decoder::isLead(uchar byte) const {
    return m_table.lead[byte];
}

Big5Decoder::Character Big5Decoder::characterAt(const uchar* at, const uchar* end) const {
    const uchar b = *at;
    if (m_table.lead[b] && at + 1 < end) {
        if (const char16_t c = m_table.pair[b << 8 | at[1]]; c != NoPair)
            return {c, 2};
    }
    return {m_table.single[b], 1};
}

QList<QByteArray> Big5Decoder::encodingsOf(char16_t c) const {
    // Every byte and pair by the character it gives, made once per process.
    struct Encoding {
        char16_t c;
        QByteArray bytes;
        bool operator<(const Encoding& other) const { return c < other.c; }
    };
    static const std::vector<Encoding> byCharacter = [] {
        const Big5Table& table = big5Table();
        std::vector<Encoding> all;
        for (int b = 0; b < 256; ++b)
            all.push_back({table.single[b], QByteArray(1, char(b))});
        for (int code = 0; code < 256 * 256; ++code) {
            if (table.pair[code] != NoPair) {
                const char pair[] = {char(code >> 8), char(code & 0xFF)};
                all.push_back({table.pair[code], QByteArray(pair, 2)});
            }
        }
        std::stable_sort(all.begin(), all.end());
        return all;
    }();
    QList<QByteArray> encodings;
    const auto [from, to] =
        std::equal_range(byCharacter.begin(), byCharacter.end(), Encoding{c, {}});
    for (auto it = from; it != to; ++it)
        encodings.append(it->bytes);
    return encodings;
}
