// make-package: builds a patch package (a ZIP archive, normally "Kyr.jxf") from a folder.
//
//   make-package OUTPUT SOURCE_FOLDER
//
// Every file below SOURCE_FOLDER becomes a deflated entry named by its path relative to
// the folder, with '/' between folders and the file's modification time; entries are
// written in name order so the same folder always gives the same archive. The package
// must hold "Install.cfg" at its root; the tool refuses a folder without it.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <zip.h>

namespace fs = std::filesystem;

namespace {

tm_zip LocalZipTime(const fs::path& file) {
  const auto written = fs::last_write_time(file);
  const auto system = std::chrono::file_clock::to_sys(written);
  const std::time_t seconds = std::chrono::system_clock::to_time_t(system);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  tm_zip zipTime{};
  zipTime.tm_sec = static_cast<unsigned>(local.tm_sec);
  zipTime.tm_min = static_cast<unsigned>(local.tm_min);
  zipTime.tm_hour = static_cast<unsigned>(local.tm_hour);
  zipTime.tm_mday = static_cast<unsigned>(local.tm_mday);
  zipTime.tm_mon = static_cast<unsigned>(local.tm_mon);
  zipTime.tm_year = static_cast<unsigned>(local.tm_year + 1900);
  return zipTime;
}

bool AddFile(zipFile zip, const fs::path& file, const std::string& name) {
  std::ifstream in(file, std::ios::binary);
  const std::vector<char> data((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return false;
  zip_fileinfo info{};
  info.tmz_date = LocalZipTime(file);
  if (zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                          Z_DEFLATED, Z_BEST_COMPRESSION) != ZIP_OK) {
    return false;
  }
  const bool written =
      data.empty() ||
      zipWriteInFileInZip(zip, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK;
  return zipCloseFileInZip(zip) == ZIP_OK && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make-package OUTPUT SOURCE_FOLDER\n";
    return 2;
  }
  const fs::path output = argv[1];
  const fs::path source = argv[2];
  std::error_code error;
  if (!fs::is_regular_file(source / "Install.cfg", error)) {
    std::cerr << "make-package: " << source.string() << " has no Install.cfg\n";
    return 1;
  }

  std::vector<std::string> names;
  for (auto it = fs::recursive_directory_iterator(source, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_regular_file()) names.push_back(fs::relative(it->path(), source).generic_string());
  }
  if (error) {
    std::cerr << "make-package: cannot read " << source.string() << '\n';
    return 1;
  }
  std::sort(names.begin(), names.end());

  zipFile zip = zipOpen(output.string().c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) {
    std::cerr << "make-package: cannot create " << output.string() << '\n';
    return 1;
  }
  bool ok = true;
  for (const std::string& name : names) {
    if (!AddFile(zip, source / name, name)) {
      std::cerr << "make-package: cannot add " << name << '\n';
      ok = false;
      break;
    }
  }
  if (zipClose(zip, nullptr) != ZIP_OK) ok = false;
  if (!ok) {
    fs::remove(output, error);
    return 1;
  }
  std::cout << "Wrote " << output.string() << " (" << names.size() << " files)\n";
  return 0;
}
