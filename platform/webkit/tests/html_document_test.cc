// What the web view reads of a page's HTML: its title as document.title gives it, and the
// scripts that run.
#include "platform/webkit/internal/html_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace webkit {
namespace {

std::optional<std::string> titleOf(const std::string& html) { return readHTMLDocument(html).title; }

TEST(HTMLDocumentTest, ATitlesCharacterReferencesAreDecodedAsHTMLDecodesThem) {
  // Decimal and hexadecimal, of any case and length, with or without their semicolon.
  EXPECT_EQ(titleOf("<title>caf&#233; &#x1F600; &#X1f600 &#0000065;&#x41</title>"),
            "caf\xC3\xA9 \xF0\x9F\x98\x80 \xF0\x9F\x98\x80 AA");
  // Code points that are none become U+FFFD; 0x80 to 0x9F are Windows-1252's characters.
  EXPECT_EQ(titleOf("<title>&#0;|&#xD800;|&#x110000;|&#99999999999999999999;|&#150;|&#x81;</title>"),
            "\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|\xEF\xBF\xBD|\xE2\x80\x93|\xC2\x81");
  // Named ones: HTML 4's, and apos.
  EXPECT_EQ(titleOf("<title>&lt;&gt;&amp;&quot;&apos;&nbsp;&copy;&eacute;&hellip;&mdash;&euro;"
                    "&Omega;&rarr;&hearts;&lang;</title>"),
            "<>&\"'\xC2\xA0\xC2\xA9\xC3\xA9\xE2\x80\xA6\xE2\x80\x94\xE2\x82\xAC\xCE\xA9\xE2\x86\x92"
            "\xE2\x99\xA5\xE2\x9F\xA8");
  // The legacy names stand without their semicolon too, the longest that fits; others need it.
  EXPECT_EQ(titleOf("<title>&copy 2024 &ampx &notin; &notit; &hellip &apos &AMP;</title>"),
            "\xC2\xA9 2024 &x \xE2\x88\x89 \xC2\xACit; &hellip &apos &");
  // What is no reference stays as written, its '&' included.
  EXPECT_EQ(titleOf("<title>&; &# &#x; &#xg; &unknown; & &&amp;</title>"),
            "&; &# &#x; &#xg; &unknown; & &&");
  // Whitespace is collapsed after decoding, but a no-break space is no whitespace; a NUL in the
  // text is U+FFFD.
  EXPECT_EQ(titleOf("<title> &#32;a&#9;&#10; b&nbsp; \v</title>"), "a b\xC2\xA0 \v");
  EXPECT_EQ(titleOf(std::string("<title>a\0b</title>", 18)), "a\xEF\xBF\xBD" "b");
}

TEST(HTMLDocumentTest, ATitleEndsOnlyAtItsEndTagOrWithThePage) {
  // An unclosed title holds the rest of the page, as the tokenizer reads it.
  EXPECT_EQ(titleOf("<title>Rest of &amp; page <b>bold</b>"), "Rest of & page <b>bold</b>");
  EXPECT_EQ(titleOf("<TITLE>x</titlex></Title >"), "x</titlex>");
  EXPECT_EQ(titleOf("<title>x</title"), "x</title");
  // A start tag the page never ends is no element.
  EXPECT_EQ(titleOf("<title"), std::nullopt);
  EXPECT_EQ(titleOf("<title a='never closed>x</title>"), std::nullopt);
  EXPECT_EQ(titleOf("<p>no title</p>"), std::nullopt);
  EXPECT_EQ(titleOf("<title></title>"), "");
}

}  // namespace
}  // namespace webkit
