#pragma once
#include <cstdint>
uint32_t EncodeRle8(uint8_t* pixels, uint32_t byteCount, int32_t width);
