// The file format's pure pieces: the recipient list and the SIMPLEBLOB layout.
#include <gtest/gtest.h>

#include "file_format.h"
#include "file_io.h"

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
  const std::string list = "0A1B&00ff&0A1B&&";
  struct Case {
    const char* wanted;
    int index;
  } cases[] = {{"0A1B", 0}, {"0a1b", 0}, {"00FF", 1}, {"00ff", 1}, {"0A1", -1}, {"", -1}, {"0A1B0", -1}};
  for (const auto& c : cases) EXPECT_EQ(FindRecipientIndex(list, c.wanted), c.index) << c.wanted;
  EXPECT_EQ(CountRecipients(list), 4u);
}

// A list of N serials is only taken when N key block lengths (4 bytes each) still fit behind it.
TEST(RecipientListTest, ReadingChecksTheListAndItsKeyBlockLengthsAgainstTheFile) {
  struct Case {
    const char* name;
    std::string list;
    std::size_t bytesAfter;
    bool ok;
  } cases[] = {
      {"empty list, empty rest", "", 0, true},
      {"three serials, three lengths", "A&B&&", 12, true},
      {"three serials, one byte short", "A&B&&", 11, false},
      {"text after the last & needs nothing", "A&tail", 4, true},
      {"a long run of & in pieces", std::string(40000, '&'), 4 * 40000, true},
      {"a long run of & without lengths", std::string(40000, '&'), 4 * 40000 - 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    unique_file f(std::tmpfile());
    ASSERT_TRUE(f);
    ASSERT_TRUE(WriteU32(f.get(), std::uint32_t(c.list.size())));
    std::fwrite(c.list.data(), 1, c.list.size(), f.get());
    const std::string rest(c.bytesAfter, '\0');
    std::fwrite(rest.data(), 1, rest.size(), f.get());
    std::rewind(f.get());
    std::string list;
    EXPECT_EQ(ReadRecipientList(f.get(), 4 + c.list.size() + c.bytesAfter, list), c.ok);
    if (c.ok) {
      EXPECT_EQ(list, c.list);
      std::uint64_t position = 0;
      ASSERT_TRUE(Tell(f.get(), position));
      EXPECT_EQ(position, 4 + c.list.size()) << "the key block lengths come next";
    }
  }
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
