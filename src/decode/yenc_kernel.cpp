#include "yenc_kernel.h"

#include <cstring>

namespace kestrel::yenc {

namespace {

constexpr std::uint64_t Ones = 0x0101010101010101ULL;
constexpr std::uint64_t Highs = 0x8080808080808080ULL;

constexpr std::uint64_t hasZeroByte(std::uint64_t v)
{
    return (v - Ones) & ~v & Highs;
}

// Whether any of the eight bytes is CR, LF or '='.
constexpr bool hasSpecial(std::uint64_t x)
{
    return (hasZeroByte(x ^ (Ones * '\r')) | hasZeroByte(x ^ (Ones * '\n'))
            | hasZeroByte(x ^ (Ones * '='))) != 0;
}

// Eight byte-wise subtractions of 42 without borrows crossing bytes.
constexpr std::uint64_t minus42(std::uint64_t x)
{
    constexpr std::uint64_t k = Ones * 42;
    return ((x | Highs) - k) ^ ((x ^ ~k) & Highs);
}

} // namespace

std::size_t decodePortable(const std::uint8_t *in, std::size_t n, std::uint8_t *out,
                           bool &escaped)
{
    std::size_t i = 0;
    std::uint8_t *o = out;
    if (escaped && n > 0) {
        *o++ = static_cast<std::uint8_t>(in[0] - 106);
        escaped = false;
        i = 1;
    }
    while (i < n) {
        // Most of a yEnc body is plain bytes: take eight at a time while none is special.
        while (i + 8 <= n) {
            std::uint64_t x;
            std::memcpy(&x, in + i, 8);
            if (hasSpecial(x))
                break;
            x = minus42(x);
            std::memcpy(o, &x, 8);
            o += 8;
            i += 8;
        }
        const std::size_t stop = i + 8 < n ? i + 8 : n;
        while (i < stop) {
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
