// Applying byte patch files: the result equals writing every record's bytes one by one in
// file order; a damaged patch or a missing target writes nothing.
#include <random>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "tests/engine_test_support.h"

namespace engine_testing {
namespace {

Bytes Filled(std::size_t size, std::uint8_t first = 0) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// The byte patch as the format defines it: record by record, byte by byte; a write past
// the end lengthens the target, zero bytes filling any gap.
Bytes Reference(Bytes target, const std::vector<PatchRecord>& records) {
  for (const PatchRecord& record : records) {
    for (std::size_t j = 0; j < record.data.size(); ++j) {
      const std::size_t at = record.offset + j;
      if (at >= target.size()) target.resize(at + 1, 0);
      target[at] = record.data[j];
    }
  }
  return target;
}

struct PatchCase {
  const char* name;
  Bytes patch;
  Bytes target;
  Bytes expected;  // empty: the patch must be refused and the target stay as it was
};

void PrintTo(const PatchCase& c, std::ostream* out) { *out << c.name; }

class BytePatchApplying : public ::testing::TestWithParam<PatchCase> {};

TEST_P(BytePatchApplying, WritesExactlyTheRecords) {
  const PatchCase& c = GetParam();
  TempDir temp;
  const std::string patchPath = temp / "ships.pat";
  const std::string targetPath = temp / "Data/ship1.dat";
  WriteFile(patchPath, c.patch);
  WriteFile(targetPath, c.target);

  engine::Report report;
  const int result = engine::ApplyBytePatch(patchPath.c_str(), targetPath.c_str(), &report);

  if (c.expected.empty()) {
    EXPECT_NE(result, 0);
    EXPECT_FALSE(report.Succeeded());
    EXPECT_EQ(ReadFile(targetPath), c.target) << "a refused patch changed the game file";
  } else {
    EXPECT_EQ(result, 0) << Describe(report);
    EXPECT_EQ(ReadFile(targetPath), c.expected);
  }
  EXPECT_EQ(ReadFile(patchPath), c.patch) << "the byte patch file itself was changed";
  EXPECT_FALSE(Exists(targetPath + ".kyr~")) << "a temporary file was left beside the target";
}

std::vector<PatchRecord> ManyOneByteRecords(int count) {
  std::vector<PatchRecord> records;
  for (int i = 0; i < count; ++i) {
    records.push_back({static_cast<std::uint32_t>(i * 2), {static_cast<std::uint8_t>(i)}});
  }
  return records;
}

Bytes With(Bytes bytes, const Bytes& more) {
  bytes.insert(bytes.end(), more.begin(), more.end());
  return bytes;
}

Bytes Cut(Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

const Bytes kTarget = Filled(200, 1);

INSTANTIATE_TEST_SUITE_P(
    Cases, BytePatchApplying,
    ::testing::Values(
        PatchCase{"no_records", MakeBytePatch({}), kTarget, kTarget},
        PatchCase{"three_bytes_at_100", MakeBytePatch({{100, {0x41, 0x42, 0x43}}}), kTarget,
                  Reference(kTarget, {{100, {0x41, 0x42, 0x43}}})},
        PatchCase{"offset_bytes_10_00_00_00_mean_16",
                  {'h', 'e', 'a', 'd', 'e', 'r', '-', 'b', 'y', 't', 'e', 's', '!', 1, 0,
                   0x10, 0, 0, 0, 1, 0xEE},
                  kTarget, Reference(kTarget, {{16, {0xEE}}})},
        PatchCase{"zero_length_record_then_next",
                  MakeBytePatch({{5, {}}, {6, {0xAA}}}), kTarget,
                  Reference(kTarget, {{6, {0xAA}}})},
        PatchCase{"later_record_wins", MakeBytePatch({{10, {1, 2, 3}}, {11, {9}}}), kTarget,
                  Reference(kTarget, {{10, {1, 9, 3}}})},
        PatchCase{"count_bytes_01_02_mean_513_records",
                  MakeBytePatch(ManyOneByteRecords(514), 513), Filled(2000),
                  Reference(Filled(2000), ManyOneByteRecords(513))},
        PatchCase{"length_FF_means_255", MakeBytePatch({{0, Bytes(255, 0x77)}}), kTarget,
                  Reference(kTarget, {{0, Bytes(255, 0x77)}})},
        PatchCase{"header_not_examined",
                  MakeBytePatch({{3, {0x55}}}, std::nullopt, Bytes(13, 0xFF)), kTarget,
                  Reference(kTarget, {{3, {0x55}}})},
        PatchCase{"bytes_after_last_record_ignored",
                  With(MakeBytePatch({{3, {0x55}}}), {1, 2, 3, 4, 5, 6, 7}), kTarget,
                  Reference(kTarget, {{3, {0x55}}})},
        PatchCase{"write_past_end_lengthens_with_zeros", MakeBytePatch({{20, {7, 8}}}),
                  Filled(10, 1), Reference(Filled(10, 1), {{20, {7, 8}}})},
        PatchCase{"empty_target_grows", MakeBytePatch({{4, {9}}}), Bytes(),
                  Bytes{0, 0, 0, 0, 9}},
        PatchCase{"largest_offset_accepted_for_a_zero_length_record",
                  MakeBytePatch({{0x7FFFFFFFu, {}}}), kTarget, kTarget},
        // Refused: nothing may be written that was not read, nor anywhere else.
        PatchCase{"cut_short_in_header", Bytes(10, 'H'), kTarget, {}},
        PatchCase{"count_without_records", MakeBytePatch({}, 2), kTarget, {}},
        PatchCase{"second_record_missing", MakeBytePatch({{1, {1}}}, 2), kTarget, {}},
        PatchCase{"record_data_cut_short", Cut(MakeBytePatch({{1, {1, 2, 3, 4, 5}}}), 2),
                  kTarget, {}},
        PatchCase{"record_head_cut_short", Cut(MakeBytePatch({{1, {}}}), 1), kTarget, {}},
        PatchCase{"offset_2_pow_31", MakeBytePatch({{0x80000000u, {1}}}), kTarget, {}},
        PatchCase{"offset_FFFFFFFF_after_good_record",
                  MakeBytePatch({{1, {1}}, {0xFFFFFFFFu, {1}}}), kTarget, {}}));

TEST(BytePatchAgainstModel, ManyRandomRecordsMatchTheByteByByteResult) {
  std::mt19937 random(20240611);
  std::vector<PatchRecord> records;
  for (int i = 0; i < 65535; ++i) {
    PatchRecord record;
    record.offset = static_cast<std::uint32_t>(random() % (1u << 20));
    record.data.resize(random() % 12);
    for (auto& byte : record.data) byte = static_cast<std::uint8_t>(random());
    records.push_back(std::move(record));
  }
  const Bytes target = Filled(1 << 19, 3);  // half the range: many records lengthen it
  TempDir temp;
  const std::string patchPath = temp / "big.pat";
  const std::string targetPath = temp / "big.dat";
  WriteFile(patchPath, MakeBytePatch(records));
  WriteFile(targetPath, target);

  engine::Report report;
  ASSERT_EQ(engine::ApplyBytePatch(patchPath.c_str(), targetPath.c_str(), &report), 0)
      << Describe(report);
  EXPECT_TRUE(ReadFile(targetPath) == Reference(target, records));
}

TEST(BytePatchTarget, MissingTargetIsNotCreated) {
  TempDir temp;
  const std::string patchPath = temp / "p.pat";
  WriteFile(patchPath, MakeBytePatch({{0, {1}}}));
  engine::Report report;
  EXPECT_NE(engine::ApplyBytePatch(patchPath.c_str(), (temp / "absent.dat").c_str(), &report), 0);
  EXPECT_FALSE(Exists(temp / "absent.dat"));
  EXPECT_TRUE(Mentions(report, "does not exist")) << Describe(report);
}

TEST(BytePatchTarget, ReadOnlyTargetIsLeftAlone) {
  TempDir temp;
  const std::string patchPath = temp / "p.pat";
  const std::string targetPath = temp / "t.dat";
  WriteFile(patchPath, MakeBytePatch({{0, {1}}}));
  WriteFile(targetPath, kTarget);
  testing_support::SetReadOnly(targetPath, true);
  engine::Report report;
  EXPECT_NE(engine::ApplyBytePatch(patchPath.c_str(), targetPath.c_str(), &report), 0);
  EXPECT_EQ(ReadFile(targetPath), kTarget);
  EXPECT_TRUE(report.AccessDenied()) << Describe(report);
}

TEST(BytePatchTarget, MissingPatchFileWritesNothing) {
  TempDir temp;
  const std::string targetPath = temp / "t.dat";
  WriteFile(targetPath, kTarget);
  engine::Report report;
  EXPECT_NE(engine::ApplyBytePatch((temp / "none.pat").c_str(), targetPath.c_str(), &report), 0);
  EXPECT_EQ(ReadFile(targetPath), kTarget);
}

}  // namespace
}  // namespace engine_testing
