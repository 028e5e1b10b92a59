#pragma once

#include <cstdlib>

namespace kestrel::fuzz {

// A property a target checks besides "no crash": libFuzzer keeps the input that breaks it.
inline void require(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace kestrel::fuzz
