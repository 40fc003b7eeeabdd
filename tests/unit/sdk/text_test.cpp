// UTF-8 / UTF-16 conversion on Linux.
#include <gtest/gtest.h>

#include <string>

#include "platform/text.h"

namespace zelcnv::platform {
namespace {

TEST(TextTest, RoundTripsAsciiAndSupplementaryCharacters) {
  const char* text = "ZelCnv \xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xA5";  // é € 🎥
  char16_t wide[32];
  const int units = NarrowToUtf16(text, wide, 32);
  EXPECT_EQ(units, 7 + 1 + 1 + 2 + 1);
  EXPECT_EQ(wide[7], u'\u00E9');
  EXPECT_EQ(wide[9], 0xD83C);
  char back[32];
  EXPECT_EQ(Utf16ToNarrow(wide, back, 32), static_cast<int>(std::string(text).size()) + 1);
  EXPECT_STREQ(back, text);
}

TEST(TextTest, MalformedOrTooLongTextIsRefused) {
  char16_t wide[8];
  EXPECT_EQ(NarrowToUtf16("\xC3", wide, 8), 0) << "truncated sequence";
  EXPECT_EQ(NarrowToUtf16("\xC0\xAF", wide, 8), 0) << "overlong";
  EXPECT_EQ(NarrowToUtf16("\xED\xA0\x80", wide, 8), 0) << "surrogate";
  EXPECT_EQ(NarrowToUtf16("123456789", wide, 8), 0) << "does not fit";
  EXPECT_EQ(NarrowToUtf16(nullptr, wide, 8), 0);
  char narrow[8];
  const char16_t lone[] = {0xDC00, 0};
  EXPECT_EQ(Utf16ToNarrow(lone, narrow, 8), 0);
  const char16_t unpaired[] = {0xD800, u'a', 0};
  EXPECT_EQ(Utf16ToNarrow(unpaired, narrow, 8), 0);
  EXPECT_EQ(Utf16ToNarrow(u"\u20AC\u20AC\u20AC", narrow, 8), 0) << "9 bytes + terminator";
}

}  // namespace
}  // namespace zelcnv::platform
