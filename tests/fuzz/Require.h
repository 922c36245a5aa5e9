// A fuzz target stops at the first broken promise; libFuzzer then reports
// and keeps the input that broke it.
#pragma once

#include <cstdlib>

inline void Require(bool condition) {
    if (!condition) std::abort();
}
