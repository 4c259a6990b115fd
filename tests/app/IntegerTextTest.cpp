#include <gtest/gtest.h>

#include "app/IntegerText.h"
#include "core/Messages.h"

namespace sw {
namespace {

std::optional<int32_t> P(const char* text) { return TryParseInteger(text); }

TEST(IntegerText, AcceptsDecimalWithSignsLeadingBlanksAndZeros) {
  EXPECT_EQ(P("12"), 12);
  EXPECT_EQ(P(" 12"), 12);
  EXPECT_EQ(P("   7"), 7);
  EXPECT_EQ(P("+5"), 5);
  EXPECT_EQ(P("-5"), -5);
  EXPECT_EQ(P("007"), 7);
  EXPECT_EQ(P("0"), 0);
  EXPECT_EQ(P("-0"), 0);
}

TEST(IntegerText, DecimalBoundaries) {
  EXPECT_EQ(P("2147483647"), 2147483647);
  EXPECT_EQ(P("-2147483648"), INT32_MIN);
  EXPECT_EQ(P("2147483648"), std::nullopt);
  EXPECT_EQ(P("-2147483649"), std::nullopt);
  EXPECT_EQ(P("2147483650"), std::nullopt);
  EXPECT_EQ(P("21474836470"), std::nullopt);
  EXPECT_EQ(P("0000000000002147483647"), 2147483647);
  EXPECT_EQ(P("214748364x"), std::nullopt);
}

TEST(IntegerText, HexadecimalPrefixesAndThe32BitPattern) {
  EXPECT_EQ(P("$1F"), 31);
  EXPECT_EQ(P("x1F"), 31);
  EXPECT_EQ(P("X1f"), 31);
  EXPECT_EQ(P("0x1F"), 31);
  EXPECT_EQ(P("0X1F"), 31);
  EXPECT_EQ(P(" $10"), 16);
  EXPECT_EQ(P("$FFFFFFFF"), -1);
  EXPECT_EQ(P("$80000000"), INT32_MIN);
  EXPECT_EQ(P("$7FFFFFFF"), INT32_MAX);
  EXPECT_EQ(P("$000000001"), 1);           // leading zeros are not significant
  EXPECT_EQ(P("$100000000"), std::nullopt);  // nine significant digits
  EXPECT_EQ(P("$1G"), std::nullopt);
}

TEST(IntegerText, RejectsEverythingElse) {
  for (const char* text : {"", " ", "   ", "+", "-", "$", "x", "0x", "12 ", "12a", "1 2", "-$10", "+$10",
                           "+x1", "--1", "+-1", "\t1", "1.0", "0x 1", "00x1", "١"}) {
    EXPECT_EQ(P(text), std::nullopt) << "'" << text << "'";
  }
}

TEST(IntegerText, ParseRaisesTheIntegerFormatErrorWithTheTextUnchanged) {
  try {
    ParseInteger("  ");
    FAIL() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Kind(), ErrorKind::IntegerFormat);
    EXPECT_EQ(error.Text(), "'  ' is not a valid integer value");
  }
  EXPECT_EQ(ParseInteger(" -12"), -12);
}

TEST(FullStopRule, AppendsAfterLettersDigitsAndNonAscii) {
  EXPECT_EQ(msg::WithFinalFullStop("Stream read error"), "Stream read error.");
  EXPECT_EQ(msg::WithFinalFullStop("JPEG error #52"), "JPEG error #52.");
  EXPECT_EQ(msg::WithFinalFullStop("why?"), "why?.");
  EXPECT_EQ(msg::WithFinalFullStop("a:"), "a:.");
  EXPECT_EQ(msg::WithFinalFullStop("файл"), "файл.");
  EXPECT_EQ(msg::WithFinalFullStop("a/"), "a/.");  // '/' is 0x2F
}

TEST(FullStopRule, LeavesTextsEndingAtOrBelowTheFullStop) {
  EXPECT_EQ(msg::WithFinalFullStop(""), "");
  EXPECT_EQ(msg::WithFinalFullStop("done."), "done.");
  EXPECT_EQ(msg::WithFinalFullStop("Cannot open file "), "Cannot open file ");
  EXPECT_EQ(msg::WithFinalFullStop("(x)"), "(x)");
  EXPECT_EQ(msg::WithFinalFullStop("'12a'"), "'12a'");
  EXPECT_EQ(msg::WithFinalFullStop("a-"), "a-");
  EXPECT_EQ(msg::WithFinalFullStop("line\r\n"), "line\r\n");
}

TEST(MessageCatalogue, TextsAreFormedExactly) {
  EXPECT_EQ(msg::FileOpen("").Text(), "Cannot open file ");
  EXPECT_EQ(msg::FileCreate("C:\\a.bmp").Text(), "Cannot create file C:\\a.bmp");
  EXPECT_EQ(msg::Jpeg(52).Text(), "JPEG error #52");
  EXPECT_EQ(msg::RegistryCreateKey("").Text(), "Failed to create key ");
  EXPECT_EQ(msg::RegistrySetData("TileWallpaper").Text(), "Failed to set data for 'TileWallpaper'");
  EXPECT_EQ(msg::NotEnoughMemoryForPicture().Text(),
            "System Error.  Code: 8.\r\nNot enough memory resources are available to process this command");
  EXPECT_EQ(msg::NotEnoughMemoryForPicture().Kind(), ErrorKind::Os);
  EXPECT_EQ(msg::Resource().Text(), "Out of system resources");
}

}  // namespace
}  // namespace sw
