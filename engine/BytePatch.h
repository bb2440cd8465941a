// Byte patch files: a 13-byte header (not examined), a 16-bit record count, then records of
// a 32-bit offset, an 8-bit length and that many data bytes; little-endian, no gaps.
// Records apply in file order, so where two cover one position the later byte stays; a
// write beyond the end of the target lengthens it, with zero bytes in any gap.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Host.h"

namespace engine {

// Reads the whole byte patch file at `path` (streamed, never held in memory) and checks
// that it can be applied: every announced record complete, every offset below 2^31.
// Returns false with a player's description in `problem` (and the host error, if any).
bool CheckBytePatch(const char* path, std::string* problem, host::DWORD* error);

}  // namespace engine
