#include "text/Utf8Decoder.h"

#include "text/Utf8Validator.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The wide path takes any mix of one-, two- and three-byte sequences, on
// x86-64 machines that have AVX2, found when the first decoder is made.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVENLA_UTF8_WIDE 1
#include <immintrin.h>
#endif

namespace {

using Path = Utf8Decoder::Path;

constexpr int Cut = 0;
constexpr int Invalid = -1;

bool isContinuation(uchar b) {
    return (b & 0xC0) == 0x80;
}

std::uint32_t load32(const uchar* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Assembles the bytes from their little-endian load, so that one mask tests a
// sequence whatever the machine's byte order.
std::uint32_t littleEndian(std::uint32_t w) {
    if constexpr (std::endian::native == std::endian::big)
        return w >> 24 | (w >> 8 & 0xFF00) | (w << 8 & 0xFF0000) | w << 24;
    return w;
}

// Decodes the sequence at `p` with every check, writing its one or two units.
// Returns the bytes it took, Cut when `end` comes first and nothing there is
// wrong yet, or Invalid.
int decodeOne(const uchar* p, const uchar* end, char16_t*& out) {
    const uchar lead = p[0];
    if (lead < 0x80) {
        *out++ = lead;
        return 1;
    }
    int length;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return Invalid;
    }
    // Qt only asks of a cut sequence's bytes that they be continuation bytes;
    // the narrower range of a second byte waits until the sequence is whole.
    const auto available = end - p;
    if (available < length) {
        for (int i = 1; i < available; ++i) {
            if (!isContinuation(p[i]))
                return Invalid;
        }
        return Cut;
    }
    if (p[1] < low || p[1] > high)
        return Invalid;
    char32_t code = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if (!isContinuation(p[i]))
            return Invalid;
        code = code << 6 | (p[i] & 0x3F);
    }
    if (code >= 0x10000) {
        *out++ = char16_t(0xD7C0 + (code >> 10));
        *out++ = char16_t(0xDC00 | (code & 0x3FF));
    } else {
        *out++ = char16_t(code);
    }
    return length;
}

// Copies ASCII from `p` while it lasts, at least the byte at `p`.
template <Path P> const uchar* copyAscii(const uchar* p, const uchar* end, char16_t*& out) {
#ifdef __SSE2__
    if constexpr (P != Path::Scalar) {
        // Each store writes sixteen units where fewer may be ASCII; the room
        // for one unit a byte still left covers them.
        const __m128i zero = _mm_setzero_si128();
        while (end - p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
            const unsigned wide = unsigned(_mm_movemask_epi8(bytes));
            if (wide != 0) {
                const int ascii = std::countr_zero(wide);
                out += ascii;
                return p + ascii;
            }
            p += 16;
            out += 16;
        }
    }
#endif
    while (p < end && *p < 0x80)
        *out++ = *p++;
    return p;
}

#ifdef __SSE2__
// Four three-byte sequences from `p`, one in each 32-bit lane, lead byte lowest.
__m128i fourSequences(const uchar* p) {
    const __m128i firstTwo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    const __m128i nextTwo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 6));
    const __m128i pairs = _mm_unpacklo_epi64(firstTwo, nextTwo);
    // The second of each pair starts three bytes in; one byte up, it starts
    // its lane.
    const __m128i evenLanes = _mm_set_epi32(0, -1, 0, -1);
    return _mm_or_si128(_mm_and_si128(pairs, evenLanes),
                        _mm_andnot_si128(evenLanes, _mm_slli_epi64(pairs, 8)));
}

// The code points of four sequences as fourSequences() lays them out. Sets a
// bit in `whole` for each lane that holds a three-byte sequence, and in `bad`
// for each that is overlong or a surrogate.
__m128i decodeFour(__m128i lanes, int& whole, int& bad) {
    const __m128i form = _mm_and_si128(lanes, _mm_set1_epi32(0xC0C0F0));
    whole = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(form, _mm_set1_epi32(0x8080E0))));
    const __m128i code =
        _mm_or_si128(_mm_or_si128(_mm_slli_epi32(_mm_and_si128(lanes, _mm_set1_epi32(0x0F)), 12),
                                  _mm_srli_epi32(_mm_and_si128(lanes, _mm_set1_epi32(0x3F00)), 2)),
                     _mm_and_si128(_mm_srli_epi32(lanes, 16), _mm_set1_epi32(0x3F)));
    const __m128i overlong = _mm_cmplt_epi32(code, _mm_set1_epi32(0x800));
    const __m128i surrogate =
        _mm_cmpeq_epi32(_mm_and_si128(code, _mm_set1_epi32(0xF800)), _mm_set1_epi32(0xD800));
    bad = _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(overlong, surrogate)));
    return code;
}
#endif

// Decodes three-byte sequences from `p` while they last. Sets `invalid` for a
// surrogate or an overlong form among them rather than stopping at it, which
// keeps the loops short; the caller then discards the text anyway.
template <Path P>
const uchar* decodeThreeByteRun(const uchar* p, const uchar* end, char16_t*& out, bool& invalid) {
    char16_t* o = out;
    int bad = 0;
#ifdef __SSE2__
    if constexpr (P != Path::Scalar) {
        // Eight sequences at a time. All eight units are stored even when
        // fewer count; the room of one unit a byte covers them. The step of a
        // whole eight does not wait for the decoding, so the next loads can
        // start.
        const __m128i offset = _mm_set1_epi32(0x8000);
        while (end - p >= 26) {
            int wholeLow, badLow, wholeHigh, badHigh;
            const __m128i low = decodeFour(fourSequences(p), wholeLow, badLow);
            const __m128i high = decodeFour(fourSequences(p + 12), wholeHigh, badHigh);
            // Packing saturates signed values, so the units go through it
            // offset.
            const __m128i units = _mm_xor_si128(
                _mm_packs_epi32(_mm_sub_epi32(low, offset), _mm_sub_epi32(high, offset)),
                _mm_set1_epi16(-0x8000));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o), units);
            const int whole = wholeLow | wholeHigh << 4;
            if (whole != 0xFF) {
                const int count = std::countr_zero(~unsigned(whole));
                bad |= (badLow | badHigh << 4) & ((1 << count) - 1);
                p += 3 * count;
                o += count;
                break;
            }
            bad |= badLow | badHigh;
            p += 24;
            o += 8;
        }
    }
#endif
    // Four bytes are read for each sequence of three.
    while (end - p >= 4) {
        const std::uint32_t w = littleEndian(load32(p));
        if ((w & 0xC0C0F0) != 0x8080E0)
            break;
        const unsigned code = (w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w >> 16 & 0x3F);
        bad |= code < 0x800 || (code & 0xF800) == 0xD800;
        *o++ = char16_t(code);
        p += 3;
    }
    out = o;
    invalid |= bad != 0;
    return p;
}

#ifdef ORVENLA_UTF8_WIDE
// For each choice of the units to keep among eight, the byte shuffle that
// moves them to the front.
struct PackTable {
    alignas(16) uchar control[256][16];
};

constexpr PackTable makePackTable() {
    PackTable table{};
    for (int keep = 0; keep < 256; ++keep) {
        int kept = 0;
        for (int unit = 0; unit < 8; ++unit) {
            if (keep & 1 << unit) {
                table.control[keep][2 * kept] = uchar(2 * unit);
                table.control[keep][2 * kept + 1] = uchar(2 * unit + 1);
                ++kept;
            }
        }
        for (int byte = 2 * kept; byte < 16; ++byte)
            table.control[keep][byte] = 0x80;
    }
    return table;
}

constexpr PackTable packTable = makePackTable();

// Bytes a wide step reads: its own 32 and the two that may end its last
// sequence.
constexpr int WideStep = 32;
constexpr int WideReach = WideStep + 2;

__attribute__((target("avx2"))) __m256i packControls(unsigned lowKeep, unsigned highKeep) {
    const __m128i low =
        _mm_load_si128(reinterpret_cast<const __m128i*>(packTable.control[lowKeep]));
    const __m128i high =
        _mm_load_si128(reinterpret_cast<const __m128i*>(packTable.control[highKeep]));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// The unit of the sequence that would start at each byte, for the bytes
// that _mm256_unpacklo_epi8 or _mm256_unpackhi_epi8 (`Unpack`) picks.
template <__m256i (*Unpack)(__m256i, __m256i)>
__attribute__((target("avx2"), always_inline)) inline __m256i
unitsAt(__m256i first, __m256i second, __m256i third, __m256i leads, __m256i threeByteLeads) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i ascii = Unpack(first, zero);
    const __m256i lowFive = Unpack(_mm256_and_si256(first, _mm256_set1_epi8(0x1F)), zero);
    // Sixteen-bit lanes drop the lead's upper bits of a three-byte sequence.
    const __m256i two = _mm256_or_si256(_mm256_slli_epi16(lowFive, 6), Unpack(second, zero));
    const __m256i three = _mm256_or_si256(_mm256_slli_epi16(two, 6), Unpack(third, zero));
    const __m256i units = _mm256_blendv_epi8(ascii, two, Unpack(leads, leads));
    return _mm256_blendv_epi8(units, three, Unpack(threeByteLeads, threeByteLeads));
}

// Decodes from `p`, a sequence's start, 32 bytes a step while no byte is
// F0..FF, and returns the start of the first sequence left. Each step works
// out the unit of a sequence starting at every byte and keeps those where
// one starts; a sequence may end up to two bytes past the step. Sets
// `invalid` for an error among the bytes read rather than stopping at it.
__attribute__((target("avx2,popcnt"))) const uchar* decodeWide(const uchar* p, const uchar* end,
                                                               char16_t*& out, bool& invalid) {
    char16_t* o = out;
    // Continuation bytes at the next step's start that a sequence before it
    // claims, one bit each.
    std::uint64_t carried = 0;
    std::uint64_t wrongPlace = 0;
    __m256i wrongValue = _mm256_setzero_si256();
    const __m256i sixBits = _mm256_set1_epi8(0x3F);
    while (end - p >= WideReach) {
        const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const std::uint32_t high = std::uint32_t(_mm256_movemask_epi8(first));
        // A step of ASCII that no sequence before reaches into is only widened.
        if ((high | carried) == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o),
                                _mm256_cvtepu8_epi16(_mm256_castsi256_si128(first)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(o + 16),
                                _mm256_cvtepu8_epi16(_mm256_extracti128_si256(first, 1)));
            p += WideStep;
            o += WideStep;
            continue;
        }
        const __m256i second = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        const __m256i third = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
        const __m256i fourByteLeads =
            _mm256_cmpeq_epi8(_mm256_max_epu8(first, _mm256_set1_epi8(char(0xF0))), first);
        if (!_mm256_testz_si256(fourByteLeads, fourByteLeads))
            break;
        const __m256i leads =
            _mm256_cmpeq_epi8(_mm256_max_epu8(first, _mm256_set1_epi8(char(0xC0))), first);
        const __m256i threeByteLeads =
            _mm256_cmpeq_epi8(_mm256_max_epu8(first, _mm256_set1_epi8(char(0xE0))), first);

        // Every continuation byte must be claimed by the lead one or two
        // before it, and every claimed byte must be one.
        const std::uint32_t leadBits = std::uint32_t(_mm256_movemask_epi8(leads));
        const std::uint32_t threeByteBits = std::uint32_t(_mm256_movemask_epi8(threeByteLeads));
        const std::uint32_t continuationBits = high & ~leadBits;
        const std::uint32_t continuationAhead =
            std::uint32_t(_mm256_movemask_epi8(_mm256_cmpgt_epi8(_mm256_set1_epi8(-64), third))) >>
            (WideStep - 2);
        const std::uint64_t continuations =
            std::uint64_t(continuationAhead) << WideStep | continuationBits;
        const std::uint64_t claimed =
            std::uint64_t(leadBits) << 1 | std::uint64_t(threeByteBits) << 2 | carried;
        wrongPlace |= (std::uint32_t(claimed ^ continuations)) | (claimed & ~continuations);
        carried = claimed >> WideStep;

        // C0 and C1 start overlong forms, E0 with 80..9F too, ED with A0..BF
        // surrogates.
        const __m256i overlongTwo = _mm256_cmpeq_epi8(
            _mm256_and_si256(first, _mm256_set1_epi8(char(0xFE))), _mm256_set1_epi8(char(0xC0)));
        const __m256i overlongThree =
            _mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8(char(0xE0))),
                             _mm256_cmpgt_epi8(_mm256_set1_epi8(char(0xA0)), second));
        const __m256i surrogate =
            _mm256_and_si256(_mm256_cmpeq_epi8(first, _mm256_set1_epi8(char(0xED))),
                             _mm256_cmpgt_epi8(second, _mm256_set1_epi8(char(0x9F))));
        wrongValue = _mm256_or_si256(
            wrongValue, _mm256_or_si256(overlongTwo, _mm256_or_si256(overlongThree, surrogate)));

        // Units for bytes 0..7 and 16..23, then for 8..15 and 24..31.
        const __m256i secondBits = _mm256_and_si256(second, sixBits);
        const __m256i thirdBits = _mm256_and_si256(third, sixBits);
        const __m256i lowUnits =
            unitsAt<_mm256_unpacklo_epi8>(first, secondBits, thirdBits, leads, threeByteLeads);
        const __m256i highUnits =
            unitsAt<_mm256_unpackhi_epi8>(first, secondBits, thirdBits, leads, threeByteLeads);

        // Each store writes eight units where fewer may count; the room of
        // one unit a byte, the two bytes past the step included, covers them.
        const std::uint32_t starts = ~continuationBits;
        const unsigned keep0 = starts & 0xFF;
        const unsigned keep1 = starts >> 8 & 0xFF;
        const unsigned keep2 = starts >> 16 & 0xFF;
        const unsigned keep3 = starts >> 24;
        const __m256i packedLow = _mm256_shuffle_epi8(lowUnits, packControls(keep0, keep2));
        const __m256i packedHigh = _mm256_shuffle_epi8(highUnits, packControls(keep1, keep3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(packedLow));
        o += _mm_popcnt_u32(keep0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(packedHigh));
        o += _mm_popcnt_u32(keep1);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(packedLow, 1));
        o += _mm_popcnt_u32(keep2);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_extracti128_si256(packedHigh, 1));
        o += _mm_popcnt_u32(keep3);
        p += WideStep;
    }
    out = o;
    invalid |= wrongPlace != 0 || !_mm256_testz_si256(wrongValue, wrongValue);
    // The claimed bytes past the last step belong to its last sequence.
    return p + _mm_popcnt_u64(carried);
}
#endif

// Decodes from `p`, a sequence's start, on path `P`, and returns where a
// sequence cut by `end` starts, or `end`. Sets `invalid` on an error.
template <Path P>
const uchar* decodeFrom(const uchar* p, const uchar* end, char16_t*& out, bool& invalid) {
    while (p < end && !invalid) {
        // After the wide path stops short of a four-byte sequence, the
        // narrow paths take the next step's worth before it tries again.
        const uchar* stop = end;
#ifdef ORVENLA_UTF8_WIDE
        if constexpr (P == Path::Avx2) {
            if (end - p >= WideReach) {
                p = decodeWide(p, end, out, invalid);
                stop = p + qMin<qsizetype>(end - p, WideStep);
            }
        }
#endif
        while (p < stop) {
            const uchar lead = *p;
            if (lead < 0x80) {
                p = copyAscii<P>(p, end, out);
                continue;
            }
            if ((lead & 0xF0) == 0xE0) {
                const uchar* const after = decodeThreeByteRun<P>(p, end, out, invalid);
                if (after != p) {
                    p = after;
                    continue;
                }
            }
            const int used = decodeOne(p, end, out);
            if (used == Invalid) {
                invalid = true;
                return p;
            }
            if (used == Cut)
                return p;
            p += used;
        }
    }
    return p;
}

} // namespace

Utf8Decoder::Utf8Decoder(Path path) : m_path(std::min(path, fastestPath())) {}

QChar* Utf8Decoder::appendToBuffer(QChar* buffer, QByteArrayView bytes) {
    if (m_error || bytes.isEmpty())
        return buffer;
    char16_t* out = reinterpret_cast<char16_t*>(buffer);
    const uchar* p = reinterpret_cast<const uchar*>(bytes.data());
    const uchar* const end = p + bytes.size();

    // The first character, and a sequence held from the last call, go through
    // a copy joined with the bytes that may complete it.
    if (m_heldCount > 0 || !m_started) {
        uchar joined[4];
        std::memcpy(joined, m_held, size_t(m_heldCount));
        const int taken = int(qMin<qsizetype>(4 - m_heldCount, end - p));
        std::memcpy(joined + m_heldCount, p, size_t(taken));
        char16_t* const first = out;
        const int used = decodeOne(joined, joined + m_heldCount + taken, out);
        if (used == Invalid) {
            m_error = true;
            return buffer;
        }
        if (used == Cut) {
            std::memcpy(m_held, joined, size_t(m_heldCount + taken));
            m_heldCount += taken;
            return reinterpret_cast<QChar*>(out);
        }
        if (!m_started && out - first == 1 && *first == 0xFEFF)
            out = first;
        m_started = true;
        p += used - m_heldCount;
        m_heldCount = 0;
    }

    bool invalid = false;
    // One path for the whole call, so that its loops test no choice.
    const uchar* const rest = m_path == Path::Avx2 ? decodeFrom<Path::Avx2>(p, end, out, invalid)
                              : m_path == Path::Sse2
                                  ? decodeFrom<Path::Sse2>(p, end, out, invalid)
                                  : decodeFrom<Path::Scalar>(p, end, out, invalid);
    if (invalid) {
        m_error = true;
        return buffer;
    }
    m_heldCount = int(end - rest);
    std::memcpy(m_held, rest, size_t(m_heldCount));
    return reinterpret_cast<QChar*>(out);
}

bool Utf8Decoder::dropCutCharacter() {
    if (m_error ||
        !beginsUtf8Character(QByteArrayView(reinterpret_cast<const char*>(m_held), m_heldCount)))
        return false;
    m_heldCount = 0;
    return true;
}
