// What the web view reads of a page's HTML: its title as document.title gives it, and the
// scripts that run.
#include "platform/webkit/internal/html_document.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace webkit {
namespace {

std::optional<std::string> titleOf(const std::string& html) { return readHTMLDocument(html).title; }
std::vector<std::string> scriptsOf(const std::string& html) {
  return readHTMLDocument(html).scripts;
}
using Scripts = std::vector<std::string>;

TEST(HTMLDocumentTest, ATitlesCharacterReferencesAreDecodedAsHTMLDecodesThem) {
  // Decimal and hexadecimal, of any case and length, with or without their semicolon.
  EXPECT_EQ(titleOf("<title>caf&#233; &#x1F600; &#X1f600 &#0000065;&#x41</title>"),
            "caf\xC3\xA9 \xF0\x9F\x98\x80 \xF0\x9F\x98\x80 AA");
  // Code points that are none become U+FFFD; 0x80 to 0x9F are Windows-1252's characters.
  EXPECT_EQ(
      titleOf("<title>&#0;|&#xD800;|&#x110000;|&#99999999999999999999;|&#150;|&#x81;</title>"),
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
  EXPECT_EQ(titleOf(std::string("<title>a\0b</title>", 18)),
            "a\xEF\xBF\xBD"
            "b");
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

TEST(HTMLDocumentTest, CommentsAndDeclarationsHoldNoElements) {
  EXPECT_EQ(scriptsOf("<!-- <script>a()</script> --><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(titleOf("<!-- <title>no</title> --><title>yes</title>"), "yes");
  // "<!-->" and "<!--->" are whole comments; "--!>" ends one too, "-- >" does not.
  EXPECT_EQ(scriptsOf("<!--><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(scriptsOf("<!---><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(scriptsOf("<!-- --!><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(scriptsOf("<!--- <script>a()</script> ---><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(scriptsOf("<!-- -- ><script>a()</script>"), Scripts{});
  EXPECT_EQ(scriptsOf("<!-- <!-- <script>a()</script> -->"), Scripts{});
  // A comment that never ends holds the rest of the page.
  EXPECT_EQ(titleOf("<!-- <title>no</title>"), std::nullopt);
  // Bogus comments end at the first '>', wherever it is.
  EXPECT_EQ(scriptsOf("<? <script>a()</script>"), Scripts{});
  EXPECT_EQ(scriptsOf("<!x <script>a()</script>"), Scripts{});
  EXPECT_EQ(scriptsOf("</ <script>a()</script>"), Scripts{});
  EXPECT_EQ(scriptsOf("<![CDATA[<script>a()</script>]]>"), Scripts{});
  EXPECT_EQ(scriptsOf("<?php echo 1 ?><script>b()</script>"), Scripts{"b()"});
  // A DOCTYPE ends at its first '>', even inside its quotes.
  EXPECT_EQ(scriptsOf("<!DOCTYPE html \"<script>\"><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(titleOf("<!doctype html><TITLE>t</TITLE>"), "t");
}

TEST(HTMLDocumentTest, TheTextOfRCDATAAndRAWTEXTElementsHoldsNoElements) {
  // A title's text is text: a script in it does not run.
  EXPECT_EQ(readHTMLDocument("<title><script>a()</script></title><script>b()</script>").scripts,
            Scripts{"b()"});
  EXPECT_EQ(titleOf("<title><script>a()</script></title>"), "<script>a()</script>");
  EXPECT_EQ(titleOf("<title>a<!-- b --></title>"), "a<!-- b -->");
  EXPECT_EQ(titleOf("<textarea><title>no</title></textarea><title>yes</title>"), "yes");
  EXPECT_EQ(scriptsOf("<textarea></textarea ><script>b()</script>"), Scripts{"b()"});
  for (const std::string name :
       {"style", "xmp", "iframe", "noembed", "noframes", "noscript", "textarea"}) {
    for (const std::string& open : {"<" + name + ">", "<" + name + " a='>'>"}) {
      auto document = readHTMLDocument(open + "<script>a()</script><title>no</title></" + name +
                                       "x></" + name + "><title>yes</title><script>b()</script>");
      EXPECT_EQ(document.scripts, Scripts{"b()"}) << open;
      EXPECT_EQ(document.title, "yes") << open;
    }
    // The end tag may be of any case and carry attributes, a '>' in their quotes.
    EXPECT_EQ(scriptsOf("<" + name + "></" + name + " a='>'><script>b()</script>"), Scripts{"b()"});
  }
  // Without scripting, a noscript element's content is markup.
  EXPECT_EQ(
      readHTMLDocument("<noscript><title>t</title></noscript>", nullptr, Scripting::disabled).title,
      "t");
  // Past <plaintext> everything is text.
  EXPECT_EQ(scriptsOf("<plaintext></plaintext><script>a()</script>"), Scripts{});
}

TEST(HTMLDocumentTest, AScriptEndsOnlyAtItsOwnEndTag) {
  // A title inside a script is the script's text.
  auto document =
      readHTMLDocument("<script>var s = \"<title>no</title>\";</script><title>yes</title>");
  EXPECT_EQ(document.title, "yes");
  EXPECT_EQ(document.scripts, Scripts{"var s = \"<title>no</title>\";"});
  EXPECT_EQ(scriptsOf("<SCRIPT>a(\"</scripty>\")</Script\t>"), Scripts{"a(\"</scripty>\")"});
  EXPECT_EQ(scriptsOf("<script/>a()</script/>"), Scripts{"a()"});
  EXPECT_EQ(scriptsOf("<scriptx>a()</scriptx>"), Scripts{});
  // The end tag's attributes are read as a tag's: what their quotes hold is no element.
  EXPECT_EQ(scriptsOf("<script>a()</script x=\"<script>c()</script>\">"), Scripts{"a()"});
  // Escaped script data: "<!--" alone keeps nothing from ending the script...
  EXPECT_EQ(scriptsOf("<script><!-- x = \"</script>\"; --></script>"), Scripts{"<!-- x = \""});
  // ...but a "<script" after it does, until its own "</script>" or the "-->".
  EXPECT_EQ(scriptsOf("<script><!--<script>x()</script>y()--></script><script>b()</script>"),
            (Scripts{"<!--<script>x()</script>y()-->", "b()"}));
  EXPECT_EQ(scriptsOf("<script><!--<script>x()</script></script><script>b()</script>"),
            (Scripts{"<!--<script>x()</script>", "b()"}));
  EXPECT_EQ(scriptsOf("<script><!--<script>--></script><script>b()</script>"),
            (Scripts{"<!--<script>-->", "b()"}));
  EXPECT_EQ(scriptsOf("<script><!--<script></script>"), Scripts{});
  // A script that never ends, or whose end tag never closes, does not run; a NUL in one is
  // U+FFFD.
  EXPECT_EQ(scriptsOf("<script>a()"), Scripts{});
  EXPECT_EQ(scriptsOf("<script>a()</script a='"), Scripts{});
  EXPECT_EQ(scriptsOf(std::string("<script>a\0b</script>", 20)), Scripts{"a\xEF\xBF\xBD"
                                                                         "b"});
}

TEST(HTMLDocumentTest, ATemplatesContentIsNotThePagesDocument) {
  auto document = readHTMLDocument(
      "<template><script>a()</script><title>no</title><template></template>"
      "<script>c()</script></template><title>yes</title><script>b()</script>");
  EXPECT_EQ(document.title, "yes");
  EXPECT_EQ(document.scripts, Scripts{"b()"});
  // A stray end tag closes nothing.
  EXPECT_EQ(scriptsOf("</template><script>b()</script>"), Scripts{"b()"});
}

}  // namespace
}  // namespace webkit
