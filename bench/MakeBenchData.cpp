// make-bench-data: builds the benchmark's games and packages.
//
//   make-bench-data OUTPUT_FOLDER
//
// Three cases, each a folder with "game" (the game folder, with "JXPatch" for the flag
// file), "package" (holding "Kyr.jxf") and "files.txt" (the replaced files, relative to
// game/Data, '/' between folders, one a line):
//   typical    40 files, about 5 MB, in 4 package folders
//   large      2,000 files, about 200 MB, in nested package folders (10 x 10 x 20)
//   bytepatch  a 64 MiB game file and a byte patch of 65,535 records of 255 bytes at
//              spread offsets; the patch file also lies beside the package ("big.bpf")
//              for the baseline program
// Every packaged file replaces an existing game file of about the same size. Half of the
// files hold text-like data that deflates well, half random bytes. The data come from a
// fixed seed, so every run builds the same files.
#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// xorshift64*: fast, fixed sequence for a fixed seed.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed ? seed : 1) {}
  std::uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }

 private:
  std::uint64_t state_;
};

using Bytes = std::vector<unsigned char>;

Bytes RandomBytes(Random& random, std::size_t size) {
  Bytes bytes(size);
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t value = random.Next();
    for (std::size_t k = 0; k < 8; ++k) {
      bytes[i + k] = static_cast<unsigned char>(value >> (8 * k));
    }
  }
  for (; i < size; ++i) bytes[i] = static_cast<unsigned char>(random.Next());
  return bytes;
}

// Words drawn from a small vocabulary, as in the game's text and table files.
Bytes TextBytes(Random& random, std::size_t size) {
  static const char* const kWords[] = {
      "ship",   "wing",  "fighter", "shield", "laser",   "torpedo", "hull",    "engine",
      "speed",  "craft", "mission", "flight", "cannon",  "target",  "squadron", "rebel",
      "empire", "tie",   "x-wing",  "a-wing", "b-wing",  "y-wing",  "gunboat", "frigate",
      "0",      "1",     "12",      "255",    "1024",    "=",       ";",       "\r\n"};
  Bytes bytes;
  bytes.reserve(size + 16);
  while (bytes.size() < size) {
    const char* word = kWords[random.Below(std::size(kWords))];
    for (const char* c = word; *c != '\0'; ++c) bytes.push_back(static_cast<unsigned char>(*c));
    bytes.push_back(' ');
  }
  bytes.resize(size);
  return bytes;
}

Bytes MixedBytes(Random& random, std::size_t size) {
  return random.Below(2) == 0 ? TextBytes(random, size) : RandomBytes(random, size);
}

bool WriteWhole(const fs::path& path, const Bytes& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

class Package {
 public:
  explicit Package(const fs::path& path)
      : zip_(zipOpen(path.string().c_str(), APPEND_STATUS_CREATE)) {}
  ~Package() {
    if (zip_ != nullptr) zipClose(zip_, nullptr);
  }
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  bool IsOpen() const { return zip_ != nullptr; }

  bool Add(const std::string& name, const Bytes& data) {
    zip_fileinfo info{};
    info.tmz_date.tm_year = 2024;
    info.tmz_date.tm_mon = 5;
    info.tmz_date.tm_mday = 1;
    info.tmz_date.tm_hour = 12;
    if (zipOpenNewFileInZip(zip_, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                            Z_DEFLATED, Z_DEFAULT_COMPRESSION) != ZIP_OK) {
      return false;
    }
    const bool written =
        data.empty() ||
        zipWriteInFileInZip(zip_, data.data(), static_cast<unsigned>(data.size())) == ZIP_OK;
    return zipCloseFileInZip(zip_) == ZIP_OK && written;
  }

  bool Close() {
    const bool closed = zipClose(zip_, nullptr) == ZIP_OK;
    zip_ = nullptr;
    return closed;
  }

 private:
  zipFile zip_;
};

Bytes AsBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A case of replaced files: `count` files of `averageSize` bytes on average (from 20% to
// 180% of it), named by `nameOf`.
template <typename NameOf>
bool MakeCopyCase(const fs::path& folder, int count, std::size_t averageSize, std::uint64_t seed,
                  NameOf nameOf) {
  fs::remove_all(folder);
  const fs::path game = folder / "game";
  fs::create_directories(game / "JXPatch");
  fs::create_directories(folder / "package");
  Random random(seed);
  Package package(folder / "package" / "Kyr.jxf");
  if (!package.IsOpen()) return false;
  std::string script;
  std::ofstream list(folder / "files.txt", std::ios::trunc);
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back(nameOf(i));
  for (const std::string& name : names) {
    std::string windowsName = name;
    for (char& c : windowsName) {
      if (c == '/') c = '\\';
    }
    script += "copyfile " + windowsName + " \\Data\r\n";
    list << name << '\n';
  }
  if (!package.Add("Install.cfg", AsBytes(script))) return false;
  for (const std::string& name : names) {
    const std::size_t size = averageSize / 5 + random.Below(averageSize * 8 / 5 + 1);
    if (!package.Add(name, MixedBytes(random, size))) return false;
    const std::size_t gameSize = averageSize / 5 + random.Below(averageSize * 8 / 5 + 1);
    if (!WriteWhole(game / "Data" / name, MixedBytes(random, gameSize))) return false;
  }
  return package.Close() && static_cast<bool>(list);
}

void PutLittle(Bytes& bytes, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

bool MakeBytePatchCase(const fs::path& folder) {
  constexpr std::uint32_t kTargetSize = 64u << 20;
  constexpr std::uint32_t kRecords = 65535;
  constexpr std::uint32_t kLength = 255;
  constexpr std::uint32_t kSpacing = kTargetSize / 65536;  // 1 KiB
  fs::remove_all(folder);
  const fs::path game = folder / "game";
  fs::create_directories(game / "JXPatch");
  Random random(0xB17E5);
  if (!WriteWhole(game / "Data" / "big.dat", RandomBytes(random, kTargetSize))) return false;

  Bytes patch = AsBytes("KYRBYTEPATCH1");  // 13 header bytes, not examined
  PutLittle(patch, kRecords, 2);
  for (std::uint32_t record = 0; record < kRecords; ++record) {
    const auto jitter = static_cast<std::uint32_t>(random.Below(kSpacing - kLength));
    const std::uint32_t offset = record * kSpacing + jitter;
    PutLittle(patch, offset, 4);
    patch.push_back(static_cast<unsigned char>(kLength));
    const Bytes data = RandomBytes(random, kLength);
    patch.insert(patch.end(), data.begin(), data.end());
  }
  fs::create_directories(folder / "package");
  if (!WriteWhole(folder / "big.bpf", patch)) return false;
  Package package(folder / "package" / "Kyr.jxf");
  if (!package.IsOpen()) return false;
  std::ofstream list(folder / "files.txt", std::ios::trunc);
  list << "big.dat\n";
  return package.Add("Install.cfg", AsBytes("patchfile big.bpf Data\\big.dat\r\n")) &&
         package.Add("big.bpf", patch) && package.Close() && static_cast<bool>(list);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make-bench-data OUTPUT_FOLDER\n";
    return 2;
  }
  const fs::path out = argv[1];
  auto typicalName = [](int i) {
    char name[32];
    std::snprintf(name, sizeof name, "part%d/file%02d.dat", i / 10, i % 10);
    return std::string(name);
  };
  auto largeName = [](int i) {
    char name[48];
    std::snprintf(name, sizeof name, "set%d/group%d/item%04d.dat", i / 200, (i / 20) % 10, i);
    return std::string(name);
  };
  bool made = MakeCopyCase(out / "typical", 40, 125 * 1000, 0x7E1CA1, typicalName);
  made = made && MakeCopyCase(out / "large", 2000, 100 * 1000, 0x1A26E, largeName);
  made = made && MakeBytePatchCase(out / "bytepatch");
  if (!made) {
    std::cerr << "make-bench-data: could not write the data below " << out.string() << "\n";
    return 1;
  }
  return 0;
}
