// The resources compiled into KyrShipPatch.exe, read back from the file: the dialog
// templates byte for byte against their documented layout, the icon group, the version
// block, the manifest, and the language of every resource.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace {

// Names parameterised cases by the `name` of their parameter.
struct CaseName {
  template <class Param>
  std::string operator()(const ::testing::TestParamInfo<Param>& tested) const {
    return tested.param.name;
  }
};

// Failure messages show a case by its name.
template <class Case>
auto operator<<(std::ostream& out, const Case& tested) -> decltype(tested.name, out) {
  return out << tested.name;
}

constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);  // 0x0409

std::string ProgramPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\') + 1) + "KyrShipPatch.exe";
}

// The program file loaded for reading its resources only.
class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExA(ProgramPath().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot load " << ProgramPath();
  }
  void TearDown() override {
    if (module_) FreeLibrary(module_);
  }

  // The bytes of one US English resource; empty when there is none.
  std::vector<std::uint8_t> Resource(LPCSTR type, LPCSTR name) const {
    HRSRC found = FindResourceExA(module_, type, name, kUsEnglish);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module_, found);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
    return data ? std::vector<std::uint8_t>(data, data + SizeofResource(module_, found))
                : std::vector<std::uint8_t>{};
  }

  HMODULE module_ = nullptr;
};

// Reads the fields of a resource in order, failing softly past its end.
class Reader {
 public:
  explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Read(1)); }
  WORD Word() { return static_cast<WORD>(Read(2)); }
  DWORD Dword() { return static_cast<DWORD>(Read(4)); }
  short Short() { return static_cast<short>(Word()); }
  void AlignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
  // A zero-terminated UTF-16 text, given as 8-bit (the texts here are ASCII).
  std::string Text() {
    std::string text;
    for (WORD c = Word(); ok_ && c != 0; c = Word()) text += static_cast<char>(c);
    return text;
  }
  // A "name or ordinal" field: "" when absent, "#n" for an ordinal, else the name.
  std::string NameOrOrdinal() {
    const WORD first = Word();
    if (first == 0x0000) return "";
    if (first == 0xFFFF) return "#" + std::to_string(Word());
    at_ -= 2;
    return Text();
  }

 private:
  std::uint32_t Read(std::size_t size) {
    if (at_ + size > bytes_.size()) {
      ok_ = false;
      return 0;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{bytes_[at_ + i]} << (8 * i);
    at_ += size;
    return value;
  }

  const std::vector<std::uint8_t>& bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// Control classes by the ordinals that stand for them in a template.
std::string ClassOf(const std::string& nameOrOrdinal) {
  if (nameOrOrdinal == "#128") return "Button";
  if (nameOrOrdinal == "#129") return "Edit";
  if (nameOrOrdinal == "#130") return "Static";
  std::string name = nameOrOrdinal;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "button") return "Button";
  if (name == "edit") return "Edit";
  if (name == "static") return "Static";
  return nameOrOrdinal;
}

struct ControlLayout {
  DWORD id;
  std::string kind;
  std::string text;
  short x, y, width, height;
  DWORD style;
  DWORD exStyle;
  bool operator==(const ControlLayout&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ControlLayout& c) {
  return out << "{id " << static_cast<int>(c.id) << ", " << c.kind << " \"" << c.text << "\", "
             << c.x << "," << c.y << " " << c.width << "x" << c.height << ", style 0x"
             << std::hex << c.style << ", ex 0x" << c.exStyle << std::dec << "}";
}

struct DialogLayout {
  const char* name;
  DWORD style;
  DWORD exStyle;
  std::string caption;
  short width, height;
  std::vector<ControlLayout> controls;  // template order, which is the tab order
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

const DialogLayout kMain{
    "MAIN",
    0x80CA08C8,
    0,
    "Kyr Ship Patch",
    124,
    77,
    {{1001, "Button", "Install", 18, 25, 88, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
     {1002, "Button", "Uninstall", 18, 49, 88, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0},
     {0xFFFFFFFF, "Static", "Install/Uninstall Kyr Ship Patch", 7, 7, 110, 10,
      kChild | SS_CENTER | WS_GROUP, 0}}};

const DialogLayout kPath{
    "PATH",
    0x80CB08C8,
    WS_EX_TOOLWINDOW,
    "Select Velmont Folder",
    206,
    55,
    {{1004, "Button", "...", 186, 12, 14, 12, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
     {1005, "Button", "Cancel", 72, 30, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0},
     {1003, "Edit", "", 6, 12, 174, 12,
      kChild | ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0},
     {1006, "Button", "Continue", 130, 30, 50, 14, kChild | BS_PUSHBUTTON | WS_TABSTOP, 0}}};

class DialogTemplate : public ProgramResources,
                       public ::testing::WithParamInterface<DialogLayout> {};

TEST_P(DialogTemplate, MatchesItsDocumentedLayout) {
  const DialogLayout& expected = GetParam();
  const std::vector<std::uint8_t> bytes = Resource(RT_DIALOG, expected.name);
  ASSERT_FALSE(bytes.empty()) << "no US English dialog " << expected.name;
  Reader in(bytes);

  EXPECT_EQ(in.Word(), 1) << "an extended dialog template";
  EXPECT_EQ(in.Word(), 0xFFFF);
  EXPECT_EQ(in.Dword(), 0u) << "help id";
  EXPECT_EQ(in.Dword(), expected.exStyle) << "extended style";
  EXPECT_EQ(in.Dword(), expected.style) << "style";
  const WORD count = in.Word();
  EXPECT_EQ(in.Short(), 0);
  EXPECT_EQ(in.Short(), 0);
  EXPECT_EQ(in.Short(), expected.width);
  EXPECT_EQ(in.Short(), expected.height);
  EXPECT_EQ(in.NameOrOrdinal(), "") << "no menu";
  EXPECT_EQ(in.NameOrOrdinal(), "") << "the platform's dialog class";
  EXPECT_EQ(in.Text(), expected.caption);
  EXPECT_EQ(in.Word(), 8) << "point size";
  EXPECT_EQ(in.Word(), 400) << "weight";
  EXPECT_EQ(in.Byte(), 0) << "not italic";
  EXPECT_EQ(in.Byte(), 1) << "DEFAULT_CHARSET";
  EXPECT_EQ(in.Text(), "MS Shell Dlg");

  std::vector<ControlLayout> controls;
  for (WORD i = 0; i < count && in.ok(); ++i) {
    in.AlignToDword();
    ControlLayout c{};
    EXPECT_EQ(in.Dword(), 0u) << "help id";
    c.exStyle = in.Dword();
    c.style = in.Dword();
    c.x = in.Short();
    c.y = in.Short();
    c.width = in.Short();
    c.height = in.Short();
    c.id = in.Dword();
    c.kind = ClassOf(in.NameOrOrdinal());
    c.text = in.NameOrOrdinal();
    const WORD extra = in.Word();
    for (WORD skip = 0; skip < extra; ++skip) in.Byte();
    controls.push_back(c);
  }
  ASSERT_TRUE(in.ok()) << "the template ends early";
  EXPECT_EQ(controls, expected.controls);
}

INSTANTIATE_TEST_SUITE_P(Ui, DialogTemplate, ::testing::Values(kMain, kPath),
                         CaseName());

TEST_F(ProgramResources, IconGroupHoldsTwo32PixelImagesOf16And256Colours) {
  const std::vector<std::uint8_t> group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(101));
  ASSERT_FALSE(group.empty()) << "no icon group 101";
  Reader in(group);
  EXPECT_EQ(in.Word(), 0);
  EXPECT_EQ(in.Word(), 1) << "icons";
  ASSERT_EQ(in.Word(), 2) << "two images";
  const struct {
    std::uint8_t colours;
    WORD bits;
  } expected[] = {{16, 4}, {0, 8}};
  for (const auto& image : expected) {
    EXPECT_EQ(in.Byte(), 32) << "width";
    EXPECT_EQ(in.Byte(), 32) << "height";
    EXPECT_EQ(in.Byte(), image.colours);
    in.Byte();
    EXPECT_EQ(in.Word(), 1) << "planes";
    EXPECT_EQ(in.Word(), image.bits);
    in.Dword();
    const WORD id = in.Word();
    // The image itself says the same.
    const std::vector<std::uint8_t> bitmap = Resource(RT_ICON, MAKEINTRESOURCEA(id));
    ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER)) << "icon image " << id;
    BITMAPINFOHEADER header;
    std::memcpy(&header, bitmap.data(), sizeof(header));
    EXPECT_EQ(header.biWidth, 32);
    EXPECT_EQ(header.biHeight, 64) << "colours and mask";
    EXPECT_EQ(header.biBitCount, image.bits);
  }
  ASSERT_TRUE(in.ok());
}

TEST_F(ProgramResources, VersionBlockIsVersion1ForUsEnglish) {
  const std::string path = ProgramPath();
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), nullptr);
  ASSERT_GT(size, 0u) << "no version block";
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u) << "one translation";
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  for (const char* name : {"FileVersion", "ProductVersion"}) {
    char* value = nullptr;
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
    ASSERT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                               &length))
        << name;
    EXPECT_STREQ(value, "1.0") << name;
  }
  for (const char* name : {"FileDescription", "ProductName", "CompanyName", "LegalCopyright"}) {
    char* value = nullptr;
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
    EXPECT_TRUE(VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&value),
                               &length) &&
                length > 1)
        << name << " is filled in";
  }
}

TEST_F(ProgramResources, ManifestAsksForCommonControls6AndTheInvokersRights) {
  const std::vector<std::uint8_t> bytes = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1));
  ASSERT_FALSE(bytes.empty()) << "no application manifest";
  const std::string manifest(bytes.begin(), bytes.end());
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

// Every resource of the program, as "type/name: language".
struct ResourceList {
  std::vector<std::string> entries;
};

std::string ResourceId(LPCSTR id) {
  return IS_INTRESOURCE(id) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(id))
                            : std::string(id);
}

BOOL CALLBACK AddLanguage(HMODULE, LPCSTR type, LPCSTR name, WORD language, LONG_PTR data) {
  char hex[8];
  std::snprintf(hex, sizeof(hex), "%04x", language);
  reinterpret_cast<ResourceList*>(data)->entries.push_back(ResourceId(type) + "/" +
                                                           ResourceId(name) + ": " + hex);
  return TRUE;
}

BOOL CALLBACK AddName(HMODULE module, LPCSTR type, LPSTR name, LONG_PTR data) {
  EnumResourceLanguagesA(module, type, name, AddLanguage, data);
  return TRUE;
}

BOOL CALLBACK AddType(HMODULE module, LPSTR type, LONG_PTR data) {
  EnumResourceNamesA(module, type, AddName, data);
  return TRUE;
}

TEST_F(ProgramResources, EveryResourceIsUsEnglish) {
  ResourceList list;
  EnumResourceTypesA(module_, AddType, reinterpret_cast<LONG_PTR>(&list));
  ASSERT_FALSE(list.entries.empty());
  for (const std::string& entry : list.entries) {
    EXPECT_EQ(entry.substr(entry.size() - 4), "0409") << entry;
  }
}

}  // namespace
