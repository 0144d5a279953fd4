// The file format's pure pieces: the recipient list and the SIMPLEBLOB layout.
#include <gtest/gtest.h>

#include "file_format.h"

namespace qz::test {
namespace {

TEST(RecipientListTest, SplitsAtEveryAmpersand) {
  struct Case {
    const char* list;
    std::vector<std::string> serials;
  } cases[] = {
      {"", {}},
      {"0A1B2C&3D4E5F&", {"0A1B2C", "3D4E5F"}},
      {"0A1B&0A1B&", {"0A1B", "0A1B"}},
      {"A&&B&", {"A", "", "B"}},
      {"A&tail", {"A"}},
      {"tail", {}},
      {"&", {""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitRecipientList(c.list), c.serials) << '"' << c.list << '"';
}

TEST(RecipientListTest, FindsTheFirstEntryWithoutRegardToCase) {
  const std::vector<std::string> serials = {"0A1B", "00ff", "0A1B", ""};
  struct Case {
    const char* wanted;
    int index;
  } cases[] = {{"0A1B", 0}, {"0a1b", 0}, {"00FF", 1}, {"00ff", 1}, {"0A1", -1}, {"", -1}, {"0A1B0", -1}};
  for (const auto& c : cases) EXPECT_EQ(FindRecipientIndex(serials, c.wanted), c.index) << c.wanted;
}

TEST(SimpleBlobTest, StoresTheRsaCiphertextLittleEndianBehindItsHeader) {
  const std::vector<std::uint8_t> bigEndian = {0xAA, 0xBB, 0xCC};
  const auto blob = MakeSimpleBlob(bigEndian);
  EXPECT_EQ(blob, (std::vector<std::uint8_t>{1, 2, 0, 0, 0x03, 0x66, 0, 0, 0x00, 0xA4, 0, 0, 0xCC, 0xBB, 0xAA}));
  std::vector<std::uint8_t> back;
  ASSERT_TRUE(ParseSimpleBlob(blob, back));
  EXPECT_EQ(back, bigEndian);
}

TEST(SimpleBlobTest, RejectsOtherBlobs) {
  const auto good = MakeSimpleBlob({1, 2, 3, 4});
  auto changed = [&](std::size_t at, std::uint8_t value) {
    auto blob = good;
    blob[at] = value;
    return blob;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> blob;
  } cases[] = {
      {"empty", {}},
      {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + kSimpleBlobHeaderSize)},
      {"PUBLICKEYBLOB", changed(0, 0x06)},
      {"other version", changed(1, 0x01)},
      {"RC4 key", changed(5, 0x68)},
      {"wrapped with a signature key", changed(9, 0x24)},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(ParseSimpleBlob(c.blob, out)) << c.name;
  }
}

}  // namespace
}  // namespace qz::test
