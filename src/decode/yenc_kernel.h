#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrel::yenc {

// The inner loop of the yEnc decoder: every byte but CR, LF and '=' decodes to
// byte - 42; '=' is dropped and the byte after it decodes to byte - 106, whatever it is.
// `escaped` carries an escape from the end of one block to the start of the next; on
// return it tells whether the block ended on a '=' still waiting for its byte.
// `out` needs room for n bytes. Returns the number of bytes written.
using KernelFn = std::size_t (*)(const std::uint8_t *in, std::size_t n, std::uint8_t *out, bool &escaped);

// The reference: plain C++ that runs everywhere.
std::size_t decodePortable(const std::uint8_t *in, std::size_t n, std::uint8_t *out, bool &escaped);

enum class Kernel { Portable, Ssse3, Avx2 };

// Whether this processor can run a kernel.
bool kernelSupported(Kernel kernel);
// The kernel for `kernel`; the portable one when the processor lacks the instructions.
KernelFn kernelFunction(Kernel kernel);
// The fastest kernel this processor runs, chosen once.
KernelFn bestKernel();

// The vector kernels, defined in yenc_simd.cpp. Call only when kernelSupported says so.
std::size_t decodeSsse3(const std::uint8_t *in, std::size_t n, std::uint8_t *out, bool &escaped);
std::size_t decodeAvx2(const std::uint8_t *in, std::size_t n, std::uint8_t *out, bool &escaped);

} // namespace kestrel::yenc
