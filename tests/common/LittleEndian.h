// Little-endian numbers in byte buffers, as films, BMP and WAV files store
// them. Portable, header only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testing_support {

// Writes the low `size` bytes of `value` at `at`, which must fit.
inline void PutLe(std::vector<uint8_t>& bytes, size_t at, uint32_t value, int size = 4) {
    for (int i = 0; i < size; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void PutLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { PutLe(bytes, at, value, 4); }

// Appends the low `size` bytes of `value`.
inline void AppendLe(std::vector<uint8_t>& bytes, uint32_t value, int size = 4) {
    bytes.resize(bytes.size() + size);
    PutLe(bytes, bytes.size() - size, value, size);
}

// The `size`-byte number at `p`.
inline uint32_t Le(const uint8_t* p, int size = 4) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

inline uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) { return Le(bytes.data() + at); }

}  // namespace testing_support
