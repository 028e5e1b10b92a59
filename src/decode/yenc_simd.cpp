#include "decode/yenc_kernel.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace kestrel::yenc {

namespace {

// For every 8-bit mask of bytes to drop: the pshufb indices that move the kept bytes of
// an 8-byte group to its front, in order.
constexpr std::array<std::uint64_t, 256> makeCompactTable()
{
    std::array<std::uint64_t, 256> table{};
    for (unsigned drop = 0; drop < 256; ++drop) {
        std::uint64_t entry = 0;
        unsigned slot = 0;
        for (unsigned b = 0; b < 8; ++b) {
            if ((drop >> b & 1U) == 0)
                entry |= std::uint64_t(b) << (8 * slot++);
        }
        for (; slot < 8; ++slot)
            entry |= std::uint64_t(0x80) << (8 * slot); // pshufb writes zero
        table[drop] = entry;
    }
    return table;
}

const std::array<std::uint64_t, 256> &compactTable()
{
    static constexpr std::array<std::uint64_t, 256> table = makeCompactTable();
    return table;
}

// A block whose shape the vector code does not handle: an escaped byte that is itself
// CR, LF or '=' (the vector code would drop it or treat it as an escape). Rare in real
// posts, so these blocks go through the portable loop.
inline bool awkward(std::uint32_t eqMask, std::uint32_t special, std::uint32_t escIn)
{
    return ((eqMask << 1 | escIn) & special) != 0;
}

} // namespace

__attribute__((target("ssse3,popcnt"))) std::size_t decodeSsse3(const std::uint8_t *in, std::size_t n,
                                                                std::uint8_t *out, bool &escaped)
{
    const auto &table = compactTable();
    const __m128i eqChar = _mm_set1_epi8('=');
    const __m128i crChar = _mm_set1_epi8('\r');
    const __m128i lfChar = _mm_set1_epi8('\n');
    const __m128i k42 = _mm_set1_epi8(42);
    const __m128i k64 = _mm_set1_epi8(64);
    const __m128i spread = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1);
    const __m128i bits = _mm_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
    const __m128i half = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8);

    std::size_t i = 0;
    std::uint8_t *o = out;
    std::uint32_t escIn = escaped ? 1 : 0;
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(in + i));
        const auto eqMask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, eqChar)));
        const __m128i crlf = _mm_or_si128(_mm_cmpeq_epi8(v, crChar), _mm_cmpeq_epi8(v, lfChar));
        const std::uint32_t special = eqMask | static_cast<std::uint32_t>(_mm_movemask_epi8(crlf));
        if ((special | escIn) == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(o), _mm_sub_epi8(v, k42));
            o += 16;
            i += 16;
            continue;
        }
        if (awkward(eqMask, special, escIn)) {
            bool e = escIn != 0;
            o += decodePortable(in + i, 16, o, e);
            escIn = e ? 1 : 0;
            i += 16;
            continue;
        }
        const std::uint32_t escMask = (eqMask << 1 | escIn) & 0xFFFF;
        escIn = eqMask >> 15 & 1;
        __m128i esc = _mm_shuffle_epi8(_mm_set1_epi16(static_cast<short>(escMask)), spread);
        esc = _mm_cmpeq_epi8(_mm_and_si128(esc, bits), bits);
        const __m128i decoded = _mm_sub_epi8(_mm_sub_epi8(v, k42), _mm_and_si128(esc, k64));
        const unsigned d0 = special & 0xFF, d1 = special >> 8 & 0xFF;
        __m128i idx = _mm_set_epi64x(static_cast<long long>(table[d1]), static_cast<long long>(table[d0]));
        idx = _mm_add_epi8(idx, half);
        const __m128i packed = _mm_shuffle_epi8(decoded, idx);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(o), packed);
        o += 8 - __builtin_popcount(d0);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(o), _mm_srli_si128(packed, 8));
        o += 8 - __builtin_popcount(d1);
        i += 16;
    }
    bool e = escIn != 0;
    o += decodePortable(in + i, n - i, o, e);
    escaped = e;
    return static_cast<std::size_t>(o - out);
}

__attribute__((target("avx2,popcnt"))) std::size_t decodeAvx2(const std::uint8_t *in, std::size_t n,
                                                              std::uint8_t *out, bool &escaped)
{
    const auto &table = compactTable();
    const __m256i eqChar = _mm256_set1_epi8('=');
    const __m256i crChar = _mm256_set1_epi8('\r');
    const __m256i lfChar = _mm256_set1_epi8('\n');
    const __m256i k42 = _mm256_set1_epi8(42);
    const __m256i k64 = _mm256_set1_epi8(64);
    const __m256i spread =
        _mm256_setr_epi64x(0, 0x0101010101010101LL, 0x0202020202020202LL, 0x0303030303030303LL);
    const __m256i bits = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
    // pshufb indexes inside each 16-byte lane: the upper group of a lane starts at 8.
    const __m256i half = _mm256_setr_epi64x(0, 0x0808080808080808LL, 0, 0x0808080808080808LL);

    std::size_t i = 0;
    std::uint8_t *o = out;
    std::uint32_t escIn = escaped ? 1 : 0;
    while (i + 32 <= n) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(in + i));
        const auto eqMask = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(v, eqChar)));
        const __m256i crlf = _mm256_or_si256(_mm256_cmpeq_epi8(v, crChar), _mm256_cmpeq_epi8(v, lfChar));
        const std::uint32_t special = eqMask | static_cast<std::uint32_t>(_mm256_movemask_epi8(crlf));
        if ((special | escIn) == 0) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(o), _mm256_sub_epi8(v, k42));
            o += 32;
            i += 32;
            continue;
        }
        if (awkward(eqMask, special, escIn)) {
            bool e = escIn != 0;
            o += decodePortable(in + i, 32, o, e);
            escIn = e ? 1 : 0;
            i += 32;
            continue;
        }
        const std::uint32_t escMask = eqMask << 1 | escIn;
        escIn = eqMask >> 31;
        __m256i esc = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(escMask)), spread);
        esc = _mm256_cmpeq_epi8(_mm256_and_si256(esc, bits), bits);
        const __m256i decoded = _mm256_sub_epi8(_mm256_sub_epi8(v, k42), _mm256_and_si256(esc, k64));
        const unsigned d0 = special & 0xFF, d1 = special >> 8 & 0xFF, d2 = special >> 16 & 0xFF,
                       d3 = special >> 24;
        __m256i idx =
            _mm256_setr_epi64x(static_cast<long long>(table[d0]), static_cast<long long>(table[d1]),
                               static_cast<long long>(table[d2]), static_cast<long long>(table[d3]));
        idx = _mm256_add_epi8(idx, half);
        const __m256i packed = _mm256_shuffle_epi8(decoded, idx);
        const __m128i lo = _mm256_castsi256_si128(packed);
        const __m128i hi = _mm256_extracti128_si256(packed, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(o), lo);
        o += 8 - __builtin_popcount(d0);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(o), _mm_srli_si128(lo, 8));
        o += 8 - __builtin_popcount(d1);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(o), hi);
        o += 8 - __builtin_popcount(d2);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(o), _mm_srli_si128(hi, 8));
        o += 8 - __builtin_popcount(d3);
        i += 32;
    }
    bool e = escIn != 0;
    o += decodePortable(in + i, n - i, o, e);
    escaped = e;
    return static_cast<std::size_t>(o - out);
}

} // namespace kestrel::yenc

#else

namespace kestrel::yenc {

// Other processors only ever run the portable kernel (kernelSupported says no).
std::size_t decodeSsse3(const std::uint8_t *in, std::size_t n, std::uint8_t *out, bool &escaped)
{
    return decodePortable(in, n, out, escaped);
}

std::size_t decodeAvx2(const std::uint8_t *in, std::size_t n, std::uint8_t *out, bool &escaped)
{
    return decodePortable(in, n, out, escaped);
}

} // namespace kestrel::yenc

#endif
