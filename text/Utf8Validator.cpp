#include "text/Utf8Validator.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

// The wide path checks any mix of sequences 32 bytes a step, on x86-64
// machines that have AVX2.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define ORVENLA_UTF8_WIDE 1
#include <immintrin.h>
#endif

namespace {

using Path = Utf8Validator::Path;

constexpr int Cut = 0;
constexpr int Invalid = -1;

bool isContinuation(uchar b) {
    return (b & 0xC0) == 0x80;
}

// The length of the character a lead byte starts, and the range its second
// byte must lie in; 0 for a byte that starts none.
struct Lead {
    int length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
};

Lead leadOf(uchar lead) {
    if (lead < 0x80)
        return {1};
    if (lead >= 0xC2 && lead <= 0xDF)
        return {2};
    if ((lead & 0xF0) == 0xE0)
        return {3, uchar(lead == 0xE0 ? 0xA0 : 0x80), uchar(lead == 0xED ? 0x9F : 0xBF)};
    if (lead >= 0xF0 && lead <= 0xF4)
        return {4, uchar(lead == 0xF0 ? 0x90 : 0x80), uchar(lead == 0xF4 ? 0x8F : 0xBF)};
    return {};
}

// The sequence at `p` checked whole, as the decoder checks it: the bytes it
// takes, Cut when `end` comes first and its bytes so far are continuation
// bytes (the second byte's narrower range waits until it is whole), or
// Invalid.
int checkOne(const uchar* p, const uchar* end) {
    const Lead lead = leadOf(p[0]);
    if (lead.length == 0)
        return Invalid;
    const auto available = end - p;
    if (available < lead.length) {
        for (int i = 1; i < available; ++i) {
            if (!isContinuation(p[i]))
                return Invalid;
        }
        return Cut;
    }
    if (lead.length > 1 && (p[1] < lead.low || p[1] > lead.high))
        return Invalid;
    for (int i = 2; i < lead.length; ++i) {
        if (!isContinuation(p[i]))
            return Invalid;
    }
    return lead.length;
}

// Skips ASCII from `p` while it lasts.
template <Path P> const uchar* skipAscii(const uchar* p, const uchar* end) {
#ifdef __SSE2__
    if constexpr (P != Path::Scalar) {
        while (end - p >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const unsigned wide = unsigned(_mm_movemask_epi8(bytes));
            if (wide != 0)
                return p + std::countr_zero(wide);
            p += 16;
        }
    }
#endif
    constexpr std::uint64_t HighBits = 0x8080808080808080;
    while (end - p >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, sizeof w);
        if (w & HighBits)
            break;
        p += 8;
    }
    while (p < end && *p < 0x80)
        ++p;
    return p;
}

// Where the narrow paths take over after a wide path has checked up to `p`:
// at the start of a sequence that began in its last three bytes and runs past
// them, else at `p`.
const uchar* resumeAfter(const uchar* p) {
    for (int back = 1; back <= 3; ++back) {
        const uchar b = p[-back];
        if (isContinuation(b))
            continue;
        const int length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        return length > back ? p - back : p;
    }
    return p;
}

#ifdef __SSE2__
// Bytes `N` before each of `input`, the last block's coming before this one's.
template <int N> __m128i before(__m128i input, __m128i previous) {
    return _mm_or_si128(_mm_slli_si128(input, N), _mm_srli_si128(previous, 16 - N));
}

__m128i atLeast(__m128i bytes, char bound) {
    return _mm_cmpeq_epi8(_mm_max_epu8(bytes, _mm_set1_epi8(bound)), bytes);
}

__m128i atMost(__m128i bytes, char bound) {
    return _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(bound)), bytes);
}

__m128i equal(__m128i bytes, char value) {
    return _mm_cmpeq_epi8(bytes, _mm_set1_epi8(value));
}

// Checks 16 bytes a step from `p`, a sequence's start, by comparisons alone,
// with the same bounds and result as the AVX2 steps below. A byte must be a
// continuation byte exactly where a lead one, two or three bytes before
// claims it; C0, C1 and F5..FF are never valid; and after E0, ED, F0 and F4
// the second byte has a narrower range.
const uchar* checkSteps(const uchar* p, const uchar* end, bool& invalid) {
    constexpr int Step = 16;
    if (end - p < Step + 3)
        return p;
    __m128i previous = _mm_setzero_si128();
    __m128i error = _mm_setzero_si128();
    while (end - p >= Step + 3) {
        const __m128i input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if ((_mm_movemask_epi8(input) | _mm_movemask_epi8(previous)) == 0) {
            p += Step;
            continue;
        }
        const __m128i before1 = before<1>(input, previous);
        // The top bit of each byte tells whether a lead claims it.
        const __m128i claimed = _mm_or_si128(
            _mm_subs_epu8(before1, _mm_set1_epi8(char(0xC0 - 0x80))),
            _mm_or_si128(
                _mm_subs_epu8(before<2>(input, previous), _mm_set1_epi8(char(0xE0 - 0x80))),
                _mm_subs_epu8(before<3>(input, previous), _mm_set1_epi8(char(0xF0 - 0x80)))));
        const __m128i continuation = _mm_cmplt_epi8(input, _mm_set1_epi8(-64));
        const __m128i neverValid =
            _mm_or_si128(atLeast(input, char(0xF5)),
                         equal(_mm_and_si128(input, _mm_set1_epi8(char(0xFE))), char(0xC0)));
        const __m128i narrower = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(equal(before1, char(0xE0)), atMost(input, char(0x9F))),
                         _mm_and_si128(equal(before1, char(0xED)), atLeast(input, char(0xA0)))),
            _mm_or_si128(_mm_and_si128(equal(before1, char(0xF0)), atMost(input, char(0x8F))),
                         _mm_and_si128(equal(before1, char(0xF4)), atLeast(input, char(0x90)))));
        error = _mm_or_si128(error, _mm_or_si128(_mm_xor_si128(claimed, continuation),
                                                 _mm_or_si128(neverValid, narrower)));
        previous = input;
        p += Step;
    }
    // Only the top bits count: the claims' lower bits are left over.
    if (_mm_movemask_epi8(error) != 0) {
        invalid = true;
        return p;
    }
    return resumeAfter(p);
}
#endif

// Skips the valid three-byte sequences from `p` while they last. An overlong
// form or a surrogate among them sets `invalid`.
// Four bytes are read for each sequence of three, the lead lowest whatever
// the machine's byte order; given the form, the lead and the second byte's top
// three bits tell E0 80..9F and ED A0..BF.
const uchar* skipThreeByteRun(const uchar* p, const uchar* end, bool& invalid) {
    while (end - p >= 4) {
        std::uint32_t w;
        std::memcpy(&w, p, sizeof w);
        if constexpr (std::endian::native == std::endian::big)
            w = w >> 24 | (w >> 8 & 0xFF00) | (w << 8 & 0xFF0000) | w << 24;
        if ((w & 0xC0C0F0) != 0x8080E0)
            break;
        const std::uint32_t top = w & 0xE0FF;
        if (top == 0x80E0 || top == 0xA0ED) {
            invalid = true;
            return p;
        }
        p += 3;
    }
    return p;
}

#ifdef ORVENLA_UTF8_WIDE
// Each byte with the one `N` before it in the input, the last block's bytes
// coming before this one's.
template <int N>
__attribute__((target("avx2"), always_inline)) inline __m256i before(__m256i input,
                                                                     __m256i previous) {
    const __m256i straddle = _mm256_permute2x128_si256(previous, input, 0x21);
    return _mm256_alignr_epi8(input, straddle, 16 - N);
}

__attribute__((target("avx2"), always_inline)) inline __m256i lookup(__m256i nibbles,
                                                                     __m256i table) {
    return _mm256_shuffle_epi8(table, nibbles);
}

// What is wrong between a byte and the one before it, one bit a kind: each
// of the three tables, looked up by the earlier byte's high and low nibble
// and the byte's high nibble, sets the bits of every kind that the nibble
// allows; a kind is found where all three set its bit.
constexpr uchar TooShort = 1 << 0;  // a lead without its continuation bytes
constexpr uchar TooLong = 1 << 1;   // a continuation byte after ASCII
constexpr uchar Overlong3 = 1 << 2; // E0 80..9F
constexpr uchar TooLarge = 1 << 3;  // F4 90..BF, F5..FF
constexpr uchar Surrogate = 1 << 4; // ED A0..BF
constexpr uchar Overlong2 = 1 << 5; // C0, C1
constexpr uchar TooLarge80 = 1 << 6;
constexpr uchar Overlong4 = 1 << 6; // F0 80..8F, sharing the bit with F5..FF 80..8F
constexpr uchar TwoContinuations = 1 << 7;
constexpr uchar Carry = TooShort | TooLong | TwoContinuations;

__attribute__((target("avx2"))) __m256i table(const uchar (&entries)[16]) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entries)));
}

constexpr uchar FirstHigh[16] = {
    TooLong,
    TooLong,
    TooLong,
    TooLong,
    TooLong,
    TooLong,
    TooLong,
    TooLong,
    TwoContinuations,
    TwoContinuations,
    TwoContinuations,
    TwoContinuations,
    TooShort | Overlong2,
    TooShort,
    TooShort | Overlong3 | Surrogate,
    TooShort | TooLarge | TooLarge80 | Overlong4,
};
constexpr uchar FirstLow[16] = {
    Carry | Overlong3 | Overlong2 | Overlong4,
    Carry | Overlong2,
    Carry,
    Carry,
    Carry | TooLarge,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80 | Surrogate,
    Carry | TooLarge | TooLarge80,
    Carry | TooLarge | TooLarge80,
};
constexpr uchar SecondHigh[16] = {
    TooShort,
    TooShort,
    TooShort,
    TooShort,
    TooShort,
    TooShort,
    TooShort,
    TooShort,
    TooLong | Overlong2 | TwoContinuations | Overlong3 | TooLarge80 | Overlong4,
    TooLong | Overlong2 | TwoContinuations | Overlong3 | TooLarge,
    TooLong | Overlong2 | TwoContinuations | Surrogate | TooLarge,
    TooLong | Overlong2 | TwoContinuations | Surrogate | TooLarge,
    TooShort,
    TooShort,
    TooShort,
    TooShort,
};

// Bytes a wide step checks.
constexpr int WideStep = 32;

// Checks 32 bytes a step from `p`, a sequence's start, while at least
// `WideStep + 3` bytes are left, so that a sequence cut by the end of the
// call, which the narrow paths judge, never starts in a step. Returns where
// the narrow paths take over: the start of a sequence that the last step
// left unfinished, or the end of the last step. Sets `invalid` for an error
// among the bytes checked.
__attribute__((target("avx2"))) const uchar* checkWide(const uchar* p, const uchar* end,
                                                       bool& invalid) {
    if (end - p < WideStep + 3)
        return p;
    const __m256i firstHigh = table(FirstHigh);
    const __m256i firstLow = table(FirstLow);
    const __m256i secondHigh = table(SecondHigh);
    const __m256i lowNibble = _mm256_set1_epi8(0x0F);
    __m256i previous = _mm256_setzero_si256();
    __m256i error = _mm256_setzero_si256();
    while (end - p >= WideStep + 3) {
        const __m256i input = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        // ASCII after ASCII needs nothing checked.
        if ((_mm256_movemask_epi8(input) | _mm256_movemask_epi8(previous)) == 0) {
            p += WideStep;
            continue;
        }
        const __m256i before1 = before<1>(input, previous);
        const __m256i found = _mm256_and_si256(
            _mm256_and_si256(
                lookup(_mm256_and_si256(_mm256_srli_epi16(before1, 4), lowNibble), firstHigh),
                lookup(_mm256_and_si256(before1, lowNibble), firstLow)),
            lookup(_mm256_and_si256(_mm256_srli_epi16(input, 4), lowNibble), secondHigh));
        // The third and fourth bytes of a sequence are continuation bytes
        // after continuation bytes, the one kind found where expected.
        const __m256i thirdByte =
            _mm256_subs_epu8(before<2>(input, previous), _mm256_set1_epi8(char(0xE0 - 0x80)));
        const __m256i fourthByte =
            _mm256_subs_epu8(before<3>(input, previous), _mm256_set1_epi8(char(0xF0 - 0x80)));
        const __m256i expected =
            _mm256_and_si256(_mm256_or_si256(thirdByte, fourthByte), _mm256_set1_epi8(char(0x80)));
        error = _mm256_or_si256(error, _mm256_xor_si256(expected, found));
        previous = input;
        p += WideStep;
    }
    if (!_mm256_testz_si256(error, error)) {
        invalid = true;
        return p;
    }
    return resumeAfter(p);
}
#endif

// Checks from `p`, a sequence's start, on path `P`, and returns where a
// sequence cut by `end` starts, or `end`. Sets `invalid` on an error.
template <Path P> const uchar* checkFrom(const uchar* p, const uchar* end, bool& invalid) {
#ifdef ORVENLA_UTF8_WIDE
    if constexpr (P == Path::Avx2)
        p = checkWide(p, end, invalid);
#endif
#ifdef __SSE2__
    if constexpr (P == Path::Sse2)
        p = checkSteps(p, end, invalid);
#endif
    if (invalid)
        return p;
    while (p < end) {
        const uchar lead = *p;
        if (lead < 0x80) {
            p = skipAscii<P>(p, end);
            continue;
        }
        if ((lead & 0xF0) == 0xE0) {
            const uchar* const after = skipThreeByteRun(p, end, invalid);
            if (invalid)
                return after;
            if (after != p) {
                p = after;
                continue;
            }
        }
        const int used = checkOne(p, end);
        if (used == Invalid) {
            invalid = true;
            return p;
        }
        if (used == Cut)
            return p;
        p += used;
    }
    return p;
}

} // namespace

bool beginsUtf8Character(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return false;
    const Lead lead = leadOf(uchar(bytes[0]));
    if (bytes.size() >= lead.length)
        return false;
    if (bytes.size() > 1 && (uchar(bytes[1]) < lead.low || uchar(bytes[1]) > lead.high))
        return false;
    return std::all_of(bytes.begin() + 1, bytes.end(),
                       [](char b) { return isContinuation(uchar(b)); });
}

Utf8Validator::Utf8Validator(Path path) : m_path(std::min(path, fastestPath())) {}

void Utf8Validator::append(QByteArrayView bytes) {
    if (m_error || bytes.isEmpty())
        return;
    const uchar* p = reinterpret_cast<const uchar*>(bytes.data());
    const uchar* const end = p + bytes.size();

    // A sequence held from the last call goes through a copy joined with the
    // bytes that may complete it.
    if (m_heldCount > 0) {
        uchar joined[4];
        std::memcpy(joined, m_held, size_t(m_heldCount));
        const int taken = int(std::min<qsizetype>(4 - m_heldCount, end - p));
        std::memcpy(joined + m_heldCount, p, size_t(taken));
        const int used = checkOne(joined, joined + m_heldCount + taken);
        if (used == Invalid) {
            m_error = true;
            return;
        }
        if (used == Cut) {
            std::memcpy(m_held, joined, size_t(m_heldCount + taken));
            m_heldCount += taken;
            return;
        }
        p += used - m_heldCount;
        m_heldCount = 0;
    }

    bool invalid = false;
    const uchar* const rest = m_path == Path::Avx2   ? checkFrom<Path::Avx2>(p, end, invalid)
                              : m_path == Path::Sse2 ? checkFrom<Path::Sse2>(p, end, invalid)
                                                     : checkFrom<Path::Scalar>(p, end, invalid);
    if (invalid) {
        m_error = true;
        return;
    }
    m_heldCount = int(end - rest);
    std::memcpy(m_held, rest, size_t(m_heldCount));
}

bool Utf8Validator::dropCutCharacter() {
    if (m_error ||
        !beginsUtf8Character(QByteArrayView(reinterpret_cast<const char*>(m_held), m_heldCount)))
        return false;
    m_heldCount = 0;
    return true;
}
