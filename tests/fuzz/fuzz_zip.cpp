// The package extractor on any bytes: the archive is written to a file and extracted into
// a fresh folder, and everything the extraction wrote must lie inside that folder; nothing
// may appear beside it.
#include <cstdlib>
#include <filesystem>
#include <string>

#include "package/ZipExtractor.h"
#include "tests/fuzz/FuzzFiles.h"

namespace fs = std::filesystem;

namespace {

bool Inside(const std::string& path, const std::string& folder) {
  const fs::path normal = fs::path(path).lexically_normal();
  const std::string text = normal.generic_string();
  return text.size() > folder.size() && text.compare(0, folder.size(), folder) == 0 &&
         text[folder.size()] == '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string root = fuzzing::ScratchFolder() + "/zip";
  const std::string archive = root + "/Kyr.jxf";
  const std::string destination = root + "/Temp";
  std::error_code ignored;
  fs::remove_all(root, ignored);
  fs::create_directories(root);
  fuzzing::WriteInput(archive, data, size);

  {
    package::ZipExtractor extractor;
    // A few mebibytes are plenty for inputs of this size; a bomb must be refused early.
    extractor.SetExpansionLimit(8u << 20);
    if (extractor.Open(archive.c_str())) {
      extractor.ExtractAll(destination.c_str(), false);
      // Host paths mix '\' and '/'; on Linux '\' separates too.
      for (std::string file : extractor.Record().files) {
        for (char& c : file) c = c == '\\' ? '/' : c;
        if (!Inside(file, destination)) std::abort();
      }
      for (std::string folder : extractor.Record().folders) {
        for (char& c : folder) c = c == '\\' ? '/' : c;
        if (folder != destination && !Inside(folder, destination)) std::abort();
      }
    }
  }
  // Only the archive and the destination may be in the root.
  for (const fs::directory_entry& entry : fs::directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (name != "Kyr.jxf" && name != "Temp") std::abort();
  }
  if (fs::exists(destination)) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(destination)) {
      if (entry.is_symlink()) std::abort();
      if (entry.is_regular_file() && entry.file_size() > (8u << 20)) std::abort();
    }
  }
  return 0;
}
