// Builds the program's icon file from its character-art source (ui/icon/kyr-icon.txt).
//
//   make-icon <source.txt> <output.ico>
//
// The source holds a palette (one character per colour, "RRGGBB" or "transparent") and
// images introduced by "image <bits>" (4 or 8), each 32 rows of 32 characters. The output
// is a Windows icon file with one 32 x 32 image per "image" block, in source order, each
// with its own colour table (index 0 is black, which transparent pixels also use) and its
// transparency mask. Lines starting with '#' and blank lines are ignored.
//
// This tool runs on the build machine, so it uses nothing but the standard library.
// Exit code 0 on success, 1 with a message on stderr otherwise.
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kSize = 32;

struct Colour {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool transparent = false;
  bool operator<(const Colour& other) const {
    return std::array{red, green, blue} < std::array{other.red, other.green, other.blue};
  }
  bool operator==(const Colour& other) const {
    return red == other.red && green == other.green && blue == other.blue;
  }
};

struct Image {
  int bits = 0;
  std::vector<std::string> rows;
};

struct Source {
  std::map<char, Colour> palette;
  std::vector<Image> images;
};

bool Fail(const std::string& message) {
  std::fprintf(stderr, "make-icon: %s\n", message.c_str());
  return false;
}

bool ParseColour(const std::string& text, Colour& colour) {
  if (text == "transparent") {
    colour = Colour{};
    colour.transparent = true;
    return true;
  }
  if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return false;
  }
  const unsigned long value = std::stoul(text, nullptr, 16);
  colour.red = static_cast<std::uint8_t>(value >> 16);
  colour.green = static_cast<std::uint8_t>(value >> 8);
  colour.blue = static_cast<std::uint8_t>(value);
  return true;
}

bool ReadSource(const char* path, Source& source) {
  std::ifstream in(path);
  if (!in) return Fail(std::string("cannot read ") + path);
  enum { kNone, kPalette, kImage } section = kNone;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    const std::string where = std::string(path) + ":" + std::to_string(lineNumber) + ": ";
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line == "palette") {
      section = kPalette;
      continue;
    }
    if (line.rfind("image ", 0) == 0) {
      Image image;
      image.bits = std::atoi(line.c_str() + 6);
      if (image.bits != 4 && image.bits != 8) return Fail(where + "bits must be 4 or 8");
      source.images.push_back(image);
      section = kImage;
      continue;
    }
    if (section == kPalette) {
      std::istringstream fields(line);
      std::string key, value;
      Colour colour;
      if (!(fields >> key >> value) || key.size() != 1 || !ParseColour(value, colour)) {
        return Fail(where + "expected <character> <RRGGBB|transparent>");
      }
      source.palette[key[0]] = colour;
    } else if (section == kImage) {
      Image& image = source.images.back();
      if (line.size() != kSize) return Fail(where + "a row has 32 characters");
      if (image.rows.size() == kSize) return Fail(where + "an image has 32 rows");
      for (char c : line) {
        if (!source.palette.count(c)) return Fail(where + "character not in the palette: " + c);
      }
      image.rows.push_back(line);
    } else {
      return Fail(where + "expected \"palette\" or \"image <bits>\"");
    }
  }
  if (source.images.empty()) return Fail("no image in the source");
  for (const Image& image : source.images) {
    if (image.rows.size() != kSize) return Fail("an image has fewer than 32 rows");
  }
  return true;
}

void Put16(std::vector<std::uint8_t>& out, unsigned value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(std::vector<std::uint8_t>& out, unsigned value) {
  Put16(out, value & 0xFFFFu);
  Put16(out, value >> 16);
}

// The image as an icon resource: BITMAPINFOHEADER (height doubled for the mask), colour
// table, colour pixels and the 1-bit mask, rows bottom-up, each padded to 4 bytes.
bool EncodeImage(const Image& image, const std::map<char, Colour>& palette,
                 std::vector<std::uint8_t>& out) {
  const unsigned tableSize = 1u << image.bits;
  std::vector<Colour> table{Colour{}};  // index 0: black, also under transparent pixels
  std::map<char, unsigned> indexOf;
  for (const std::string& row : image.rows) {
    for (char c : row) {
      if (indexOf.count(c)) continue;
      const Colour& colour = palette.at(c);
      unsigned index = 0;
      if (!colour.transparent) {
        while (index < table.size() && !(table[index] == colour)) ++index;
        if (index == table.size()) table.push_back(colour);
      }
      indexOf[c] = index;
    }
  }
  if (table.size() > tableSize) {
    return Fail("image with " + std::to_string(image.bits) + " bits uses " +
                std::to_string(table.size()) + " colours");
  }
  const unsigned colourRowBytes = (kSize * image.bits / 8 + 3) & ~3u;
  const unsigned maskRowBytes = (kSize / 8 + 3) & ~3u;
  Put32(out, 40);
  Put32(out, kSize);
  Put32(out, kSize * 2);
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(image.bits));
  Put32(out, 0);  // BI_RGB
  Put32(out, (colourRowBytes + maskRowBytes) * kSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  for (unsigned i = 0; i < tableSize; ++i) {
    const Colour colour = i < table.size() ? table[i] : Colour{};
    out.push_back(colour.blue);
    out.push_back(colour.green);
    out.push_back(colour.red);
    out.push_back(0);
  }
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(colourRowBytes, 0);
    for (int x = 0; x < kSize; ++x) {
      const unsigned index = indexOf.at(image.rows[y][x]);
      if (image.bits == 8) {
        row[x] = static_cast<std::uint8_t>(index);
      } else {
        row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  for (int y = kSize - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(maskRowBytes, 0);
    for (int x = 0; x < kSize; ++x) {
      if (palette.at(image.rows[y][x]).transparent) {
        row[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return true;
}

bool WriteIcon(const Source& source, const char* path) {
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const Image& image : source.images) {
    encoded.emplace_back();
    if (!EncodeImage(image, source.palette, encoded.back())) return false;
  }
  std::vector<std::uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<unsigned>(encoded.size()));
  unsigned offset = 6 + 16 * static_cast<unsigned>(encoded.size());
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const int bits = source.images[i].bits;
    out.push_back(kSize);
    out.push_back(kSize);
    out.push_back(static_cast<std::uint8_t>(bits < 8 ? 1u << bits : 0u));  // 0: 256 or more
    out.push_back(0);
    Put16(out, 1);
    Put16(out, static_cast<unsigned>(bits));
    Put32(out, static_cast<unsigned>(encoded[i].size()));
    Put32(out, offset);
    offset += static_cast<unsigned>(encoded[i].size());
  }
  for (const auto& image : encoded) out.insert(out.end(), image.begin(), image.end());
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  file.close();
  if (!file) return Fail(std::string("cannot write ") + path);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-icon <source.txt> <output.ico>\n");
    return 1;
  }
  Source source;
  if (!ReadSource(argv[1], source) || !WriteIcon(source, argv[2])) {
    std::remove(argv[2]);
    return 1;
  }
  return 0;
}
