#include "format/Rle8.h"
uint32_t EncodeRle8(uint8_t*, uint32_t, int32_t) { return 0; }
