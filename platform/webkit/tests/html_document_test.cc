// What the web view reads of a page's HTML: its title as document.title gives it, and the
// scripts that run.
#include "platform/webkit/internal/html_document.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(HTMLDocumentTest, SVGAndMathMLAreForeignContentWithTheirOwnTitlesScriptsAndText) {
  // An SVG title names its drawing, not the document; its content is HTML, so a script in it runs.
  EXPECT_EQ(titleOf("<svg><title>Icon</title></svg>"), std::nullopt);
  EXPECT_EQ(titleOf("<svg><title>Icon</title></svg><title>Page</title>"), "Page");
  EXPECT_EQ(titleOf("<SVG><Title>Icon</TITLE></svg><title>Page</title>"), "Page");
  EXPECT_EQ(scriptsOf("<svg><title><script>a()</script></title></svg>"), Scripts{"a()"});
  // Inside foreign content no element holds raw text: a style or a textarea ends at </svg>.
  EXPECT_EQ(scriptsOf("<svg><style>a {}</svg><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(scriptsOf("<math><style></math><script>b()</script>"), Scripts{"b()"});
  EXPECT_EQ(titleOf("<svg><textarea></svg><title>Page</title>"), "Page");
  EXPECT_EQ(titleOf("<math><title>Formula</title></math>"), std::nullopt);

  // An SVG script runs at its end tag; its text is text: references decoded, CDATA sections as
  // written, a tag in one an element of its own.
  EXPECT_EQ(scriptsOf("<svg><script>if (1 &lt; 2) a()</script></svg>"), Scripts{"if (1 < 2) a()"});
  EXPECT_EQ(scriptsOf("<svg><script><![CDATA[if (1 < 2 && b) a('</script>')]]></script></svg>"),
            Scripts{"if (1 < 2 && b) a('</script>')"});
  EXPECT_EQ(scriptsOf("<svg><script>a(<g>x</g>)</script></svg>"), Scripts{"a()"});
  EXPECT_EQ(scriptsOf("<svg><script type='text/ecmascript'>a()</script>"
                      "<script href='a.js'>b()</script><script xlink:href='c.js'>c()</script>"
                      "<script type='text/plain'>d()</script><script/><script>e()</svg>"),
            Scripts{"a()"});
  // A MathML script element is no script, but one at a text integration point, or in an
  // annotation of HTML, is HTML's.
  EXPECT_EQ(scriptsOf("<math><script>a()</script></math>"), Scripts{});
  EXPECT_EQ(scriptsOf("<math><mi><script>a()</script></mi></math>"), Scripts{"a()"});
  EXPECT_EQ(scriptsOf("<math><annotation-xml encoding='Text/HTML'><script>a()</script>"
                      "</annotation-xml><annotation-xml><script>b()</script></math>"),
            Scripts{"a()"});
  // A template in SVG is SVG's: its scripts are the page's.
  EXPECT_EQ(scriptsOf("<svg><template><script>a()</script></template></svg>"), Scripts{"a()"});

  // A CDATA section is text in foreign content and a bogus comment outside it.
  EXPECT_EQ(scriptsOf("<svg><![CDATA[ > <script>a()</script> ]]></svg><script>b()</script>"),
            Scripts{"b()"});
  EXPECT_EQ(scriptsOf("<svg><![CDATA[ never ends <script>a()</script>"), Scripts{});
  EXPECT_EQ(scriptsOf("<![CDATA[ > <script>a()</script> ]]>"), Scripts{"a()"});
  EXPECT_EQ(scriptsOf("<svg></svg><![CDATA[ > <script>a()</script> ]]>"), Scripts{"a()"});

  // HTML's own tags end foreign content; an integration point's content is HTML until it ends.
  EXPECT_EQ(titleOf("<svg><g><p><title>Page</title>"), "Page");
  EXPECT_EQ(titleOf("<svg><g></p><title>Page</title>"), "Page");
  EXPECT_EQ(titleOf("<svg/><title>Page</title>"), "Page");
  EXPECT_EQ(titleOf("<svg><font color=red><title>Page</title>"), "Page");
  EXPECT_EQ(titleOf("<svg><font><title>Icon</title></svg>"), std::nullopt);
  EXPECT_EQ(titleOf("<svg><foreignObject><div><title>Page</title></div></foreignObject>"
                    "<title>Icon</title></svg>"),
            "Page");
  EXPECT_EQ(scriptsOf("<svg><foreignObject><b></foreignObject><script>a()</script></svg>"),
            Scripts{"a()"});
}

TEST(HTMLDocumentTest, AnSVGScriptInsideAnotherRunsFirstAndTheOuterRunsItsOwnTextAtItsEnd) {
  EXPECT_EQ(scriptsOf("<svg><script>document.title+='a'<svg><script>document.title+='b'</script>"
                      "</svg></script></svg>"),
            (Scripts{"document.title+='b'", "document.title+='a'"}));
  // The outer script's text goes on after the inner one's drawing; the inner one's is its own.
  EXPECT_EQ(scriptsOf("<svg><script>a(<svg><script>b(&amp;)</script></svg>)</script></svg>"),
            (Scripts{"b(&)", "a()"}));
  // Closed by its drawing's end, the inner one runs not, and the outer one is as it was.
  EXPECT_EQ(scriptsOf("<svg><script>a(<svg><script>b()</svg>)</script></svg>"), Scripts{"a()"});
  EXPECT_EQ(scriptsOf("<svg><script>a(<script/>)</script></svg>"), Scripts{"a()"});
  EXPECT_EQ(scriptsOf("<svg><script>a(<script xlink:href='b.js'>b()</script>)</script></svg>"),
            Scripts{"a()"});
  EXPECT_EQ(scriptsOf("<svg><script xlink:href='a.js'>a(<script>b()</script>)</script></svg>"),
            Scripts{"b()"});
}

TEST(HTMLDocumentTest, ForeignContentIsReadInItsOwnContextHoweverDeep) {
  // Each shape is read at a depth, in elements, and must read as it does one level deep.
  struct Shape {
    std::string before, level, after;
    std::optional<std::string> title;
    Scripts scripts;
  };
  const std::string svg_script = "<svg><script>document.title='&amp;'</script></svg>";
  const Shape shapes[] = {
      {"", "<svg><title>", "x", std::nullopt, {}},
      {"<title>N</title>", "<svg><foreignObject>",
       "<svg><script xlink:href='x.js'>document.title='X'</script></svg>", "N", {}},
      {"", "<svg><foreignObject>", svg_script, std::nullopt, {"document.title='&'"}},
      {"", "<svg><foreignObject>", "<svg><title>T</title></svg>", std::nullopt, {}},
      {"<title>N</title>", "<svg><foreignObject>", "<svg><script>document.title='X'</svg><p>",
       "N", {}},
      {"", "<svg>", "<script>document.title='&amp;'</script>", std::nullopt,
       {"document.title='&'"}},
      {"<title>N</title>", "<svg>", "<![CDATA[<script>document.title='X'</script>]]>", "N", {}},
      {"", "<svg>", "<style><script>document.title='&amp;'</script></style>", std::nullopt,
       {"document.title='&'"}},
      {"<title>N</title>", "<svg>", "<title>T</title>", "N", {}},
      {"", "<svg>", "<textarea><script>document.title='&amp;'</script></textarea>", std::nullopt,
       {"document.title='&'"}},
      {"", "<math><mi>", "<svg><script>document.title='&amp;'</script></svg>", std::nullopt,
       {"document.title='&'"}},
      {"", "<svg><g>", "<script>a()</script><svg><script>b()</script></svg>", std::nullopt,
       {"a()", "b()"}},
  };
  auto repeated = [](const std::string& text, size_t count) {
    std::string out;
    out.reserve(text.size() * count);
    for (size_t i = 0; i < count; ++i) out += text;
    return out;
  };
  for (const auto& shape : shapes) {
    const size_t per_level = std::count(shape.level.begin(), shape.level.end(), '<');
    for (size_t depth : {size_t{1}, size_t{255}, size_t{256}, size_t{257}, size_t{511},
                         size_t{512}, size_t{513}, size_t{100'000}}) {
      const size_t count = std::max<size_t>(1, depth / per_level);
      auto document = readHTMLDocument(shape.before + repeated(shape.level, count) + shape.after);
      EXPECT_EQ(document.title, shape.title) << shape.level << " x" << count << shape.after;
      EXPECT_EQ(document.scripts, shape.scripts) << shape.level << " x" << count << shape.after;
    }
  }
  EXPECT_EQ(scriptsOf(repeated("<svg>", 1'000'000) + "<script>document.title='&amp;'</script>"),
            Scripts{"document.title='&'"});
  // Closed again however deep, the tree is HTML's once more: the script is an HTML one.
  for (size_t depth : {size_t{511}, size_t{512}, size_t{513}, size_t{100'000}}) {
    EXPECT_EQ(scriptsOf("<svg>" + repeated("<g>", depth) + repeated("</g>", depth) +
                        "</svg><script>document.title='&amp;'</script>"),
              Scripts{"document.title='&amp;'"})
        << depth;
    EXPECT_EQ(scriptsOf("<svg>" + repeated("<g><rect>", depth) + repeated("</g>", depth) +
                        "<script>a(&amp;)</script></svg><script>b()</script>"),
              (Scripts{"a(&)", "b()"}))
        << depth;
  }
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
