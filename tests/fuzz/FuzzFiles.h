// Scratch files for the fuzz targets: every input is written to a real file in a folder of
// this process's own, because the readers under test read through the host layer as the
// program does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace fuzzing {

// A folder of this process's own below the system's temporary folder, made once and
// removed at exit (the name is never freed, so the clean-up can still read it).
inline const std::string& ScratchFolder() {
  static const std::string& folder = *new std::string([] {
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("kyr-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(ScratchFolder(), ignored);
    });
    return path.string();
  }());
  return folder;
}

// Writes `size` bytes to `path` (replacing it); aborts when it cannot, since a target that
// cannot write its input tests nothing.
inline void WriteInput(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
}

}  // namespace fuzzing
