// The checks a film's first bytes pass before the reader trusts them: the
// header, and an offset matrix that lies inside the file. Plain byte work
// with no Windows calls, so that it also builds on the host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/AnimationFormat.h"

// Accepts the first `size` bytes of a film of fileSize bytes when they hold
// a whole header with the magic "NoXl" and the file has room for FrameCount
// offset entries right behind it. `header` gets the fields whenever the 20
// bytes are there, refused or not; *matrixBytes gets the matrix's length
// only when accepted.
bool CheckFilmHeader(const uint8_t* bytes, size_t size, uint64_t fileSize, AnimationHeader* header,
                     uint32_t* matrixBytes);

// The buffer a film's frames need: the greatest Size in the matrix, 0 when
// there are no frames.
uint32_t LargestFrameSize(const OffsetEntry* matrix, uint32_t count);
