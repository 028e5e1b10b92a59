#include "decode/yenc_kernel.h"

#include <bit>
#include <cstring>

namespace kestrel::yenc {

namespace {

constexpr std::uint64_t Ones = 0x0101010101010101ULL;
constexpr std::uint64_t Highs = 0x8080808080808080ULL;

constexpr std::uint64_t hasZeroByte(std::uint64_t v)
{
    return (v - Ones) & ~v & Highs;
}

// Non-zero when any of the eight bytes is CR, LF or '='; the lowest set bit marks the
// first such byte.
constexpr std::uint64_t specialFlags(std::uint64_t x)
{
    return hasZeroByte(x ^ (Ones * '\r')) | hasZeroByte(x ^ (Ones * '\n')) | hasZeroByte(x ^ (Ones * '='));
}

// Eight byte-wise subtractions of 42 without borrows crossing bytes.
constexpr std::uint64_t minus42(std::uint64_t x)
{
    constexpr std::uint64_t k = Ones * 42;
    return ((x | Highs) - k) ^ ((x ^ ~k) & Highs);
}

} // namespace

std::size_t decodePortable(const std::uint8_t *in, std::size_t n, std::uint8_t *out, bool &escaped)
{
    std::size_t i = 0;
    std::uint8_t *o = out;
    if (escaped && n > 0) {
        *o++ = static_cast<std::uint8_t>(in[0] - 106);
        escaped = false;
        i = 1;
    }
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at a time: decode all eight, keep those before the first special
        // byte (the lowest flag of the zero-byte test is exact), then deal with that
        // one byte alone. Output never runs ahead of input, so the 8-byte store fits.
        while (i + 8 <= n) {
            std::uint64_t x;
            std::memcpy(&x, in + i, 8);
            const std::uint64_t flags = specialFlags(x);
            x = minus42(x);
            std::memcpy(o, &x, 8);
            if (flags == 0) {
                o += 8;
                i += 8;
                continue;
            }
            const auto k = static_cast<std::size_t>(std::countr_zero(flags) >> 3);
            o += k;
            i += k;
            if (in[i] != '=') {
                ++i; // CR or LF
            } else if (i + 1 < n) {
                *o++ = static_cast<std::uint8_t>(in[i + 1] - 106);
                i += 2;
            } else {
                escaped = true;
                return static_cast<std::size_t>(o - out);
            }
        }
    }
    while (i < n) {
        const std::uint8_t c = in[i++];
        if (c == '=') {
            if (i == n) {
                escaped = true;
                break;
            }
            *o++ = static_cast<std::uint8_t>(in[i++] - 106);
        } else if (c != '\r' && c != '\n') {
            *o++ = static_cast<std::uint8_t>(c - 42);
        }
    }
    return static_cast<std::size_t>(o - out);
}

bool kernelSupported(Kernel kernel)
{
#if defined(__x86_64__) || defined(__i386__)
    switch (kernel) {
    case Kernel::Portable:
        return true;
    case Kernel::Ssse3:
        return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt");
    case Kernel::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    }
    return false;
#else
    return kernel == Kernel::Portable;
#endif
}

KernelFn kernelFunction(Kernel kernel)
{
    if (!kernelSupported(kernel))
        return &decodePortable;
    switch (kernel) {
    case Kernel::Ssse3:
        return &decodeSsse3;
    case Kernel::Avx2:
        return &decodeAvx2;
    case Kernel::Portable:
        break;
    }
    return &decodePortable;
}

KernelFn bestKernel()
{
    static const KernelFn best = kernelSupported(Kernel::Avx2)    ? &decodeAvx2
                                 : kernelSupported(Kernel::Ssse3) ? &decodeSsse3
                                                                  : &decodePortable;
    return best;
}

} // namespace kestrel::yenc
