#include "text/regedit_encoding.h"

#include <gtest/gtest.h>

#include <random>

#include "testsupport/test_support.h"

namespace tsl {
namespace {

using testing::Utf16Le;

TEST(RegeditEncodingTest, EachEncodingIsRecognisedByItsByteOrderMark) {
  const auto utf16 =
      DecodeRegeditFile(Utf16Le(u"Windows Registry Editor Version 5.00\r\n\u00e9\U0001F600"));
  ASSERT_TRUE(utf16);
  EXPECT_EQ(utf16->encoding, TextEncoding::kUtf16LeWithBom);
  EXPECT_EQ(utf16->text, "Windows Registry Editor Version 5.00\r\n\xc3\xa9\xf0\x9f\x98\x80");

  const auto utf8 = DecodeRegeditFile("\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n");
  ASSERT_TRUE(utf8);
  EXPECT_EQ(utf8->encoding, TextEncoding::kUtf8WithBom);
  EXPECT_EQ(utf8->text, "Windows Registry Editor Version 5.00\r\n");

  const auto ansi = DecodeRegeditFile("REGEDIT4\r\n\"A\"=\"caf\xe9\"\r\n");
  ASSERT_TRUE(ansi);
  EXPECT_EQ(ansi->encoding, TextEncoding::kAnsi);
  EXPECT_EQ(ansi->text, "REGEDIT4\r\n\"A\"=\"caf\xe9\"\r\n");

  EXPECT_FALSE(DecodeRegeditFile(Utf16Le(u"REGEDIT") + "x")) << "UTF-16 of an odd byte count";
}

// Any UTF-16 at all, unpaired surrogates included, comes back as the very same bytes.
TEST(RegeditEncodingTest, EveryUtf16FileRoundTripsByteForByte) {
  std::mt19937 random(7);
  const char16_t interesting[] = {u'\r',  u'\n',  u'"',   u'\\',  u'A',   0x00e9, 0x4e2d,
                                  0xd83d, 0xde00, 0xdbff, 0xdc00, 0xfffd, 0xffff, 0};
  for (int trial = 0; trial < 2000; ++trial) {
    std::u16string text;
    const size_t length = random() % 40;
    for (size_t i = 0; i < length; ++i) {
      text.push_back(random() % 2 == 0 ? interesting[random() % std::size(interesting)]
                                       : static_cast<char16_t>(random() % 0x10000));
    }
    const std::string bytes = Utf16Le(text);
    const auto decoded = DecodeRegeditFile(bytes);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(EncodeRegeditFile(decoded->text, decoded->encoding), bytes);
  }
}

TEST(RegeditEncodingTest, BytesThatUtf16CannotCarryAreRefused) {
  EXPECT_FALSE(EncodeRegeditFile("caf\xe9", TextEncoding::kUtf16LeWithBom));
  EXPECT_FALSE(EncodeRegeditFile("\xc0\x80", TextEncoding::kUtf16LeWithBom)) << "overlong";
  EXPECT_EQ(EncodeRegeditFile("caf\xe9", TextEncoding::kAnsi), "caf\xe9");
  EXPECT_EQ(EncodeRegeditFile("x", TextEncoding::kUtf8WithBom), "\xef\xbb\xbfx");
}

}  // namespace
}  // namespace tsl
