// The byte patch reader on any bytes, and the patch applied to a small target when the
// check passes and the records stay near it (an offset up to 2^31 is valid, but writing
// gigabytes per input would only measure the disk).
#include <cstdlib>
#include <string>

#include "engine/BytePatch.h"
#include "engine/Engine.h"
#include "tests/fuzz/FuzzFiles.h"

namespace {

// The end of the furthest record that writes bytes, or -1 when the records do not all read.
long long FurthestEnd(const std::uint8_t* data, std::size_t size) {
  if (size < 15) return -1;
  const unsigned count = data[13] | (data[14] << 8);
  std::size_t at = 15;
  long long furthest = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (size - at < 5) return -1;
    const unsigned long long offset = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                                      (static_cast<unsigned long long>(data[at + 3]) << 24);
    const std::size_t length = data[at + 4];
    at += 5;
    if (size - at < length) return -1;
    at += length;
    // A zero-length record writes nothing, and lengthens nothing.
    if (length > 0 && static_cast<long long>(offset + length) > furthest) {
      furthest = static_cast<long long>(offset + length);
    }
  }
  return furthest;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string patch = fuzzing::ScratchFolder() + "/ship.pat";
  const std::string target = fuzzing::ScratchFolder() + "/ship.dat";
  fuzzing::WriteInput(patch, data, size);
  std::string problem;
  host::DWORD error = 0;
  const bool valid = engine::CheckBytePatch(patch.c_str(), &problem, &error);
  if (!valid && problem.empty()) std::abort();  // a refusal always says why
  const long long furthest = FurthestEnd(data, size);
  if (valid && furthest >= 0 && furthest <= (1 << 16)) {
    static const std::uint8_t original[] = "original ship bytes";
    fuzzing::WriteInput(target, original, sizeof original);
    engine::Report report;
    if (engine::ApplyBytePatch(patch.c_str(), target.c_str(), &report) != 0) std::abort();
    if (std::filesystem::file_size(target) <
        std::max<std::uintmax_t>(sizeof original, static_cast<std::uintmax_t>(furthest))) {
      std::abort();
    }
  }
  return 0;
}
