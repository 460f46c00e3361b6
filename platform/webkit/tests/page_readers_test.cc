// Every reader the web view runs on what a page, a file or a content process hands it is linear
// in its input: each is fed a large hostile input here and its CPU time measured (a loaded
// machine cannot inflate that). The bounds are tens of times what the readers take in a
// sanitized build; a reader that looked at its input again per item would take minutes.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <string>

#include "platform/foundation/ns_url.h"
#include "platform/webkit/content_process/content_protocol.h"
#include "platform/webkit/internal/content_values.h"
#include "platform/webkit/internal/cookie_date.h"
#include "platform/webkit/internal/html_document.h"
#include "platform/webkit/internal/text_encoding.h"
#include "platform/webkit/ns_http_cookie.h"

namespace webkit {
namespace {

using content::ProtocolReader;
using content::ProtocolWriter;
using content::ValueTag;

constexpr double kCpuBound = 3.0;  // seconds

double threadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The CPU time `work` took, also kept in the test's report (--gtest_output=xml), numbered.
template <typename Work>
double cpuSecondsOf(Work&& work) {
  static int measured = 0;
  double started = threadCpuSeconds();
  work();
  double seconds = threadCpuSeconds() - started;
  ::testing::Test::RecordProperty("cpu_seconds_" + std::to_string(++measured),
                                  std::to_string(seconds));
  return seconds;
}

std::string repeated(std::string_view unit, size_t bytes) {
  std::string out;
  out.reserve(bytes + unit.size());
  while (out.size() < bytes) out += unit;
  return out;
}

TEST(PageReadersTest, HTMLIsReadInOnePassWhateverItsTagsHold) {
  std::string attributes = "<script";
  for (int i = 0; i < 200'000; ++i) attributes += " a" + std::to_string(i);
  attributes += " src=x type=module>1</script><script>var kept = 1</script>";
  HTMLDocument document;
  EXPECT_LT(cpuSecondsOf([&] { document = readHTMLDocument(attributes); }), kCpuBound);
  EXPECT_EQ(document.scripts, std::vector<std::string>{"var kept = 1"});

  // Start tags that never end, elements that never close, quotes that never close, and 2 MiB of
  // '<' that each look like a tag.
  for (const std::string& page :
       {repeated("<script ", 2 << 20), repeated("<title><script>", 2 << 20),
        "<script a='" + repeated("<script>", 2 << 20), repeated("<", 2 << 20),
        repeated("<scripta<titlex ", 2 << 20)}) {
    EXPECT_LT(cpuSecondsOf([&] { document = readHTMLDocument(page); }), kCpuBound);
    EXPECT_TRUE(document.scripts.empty());
  }
}

TEST(PageReadersTest, CommentsTextAndScriptDataAreReadInOnePass) {
  // 2 MiB of each state's hardest bytes: ends that almost end it, starts that restart it.
  for (const std::string& page :
       {repeated("<!--", 2 << 20), repeated("<!-- -- >--!", 2 << 20), repeated("<?<!x</ ", 2 << 20),
        "<title>" + repeated("</titl</title", 2 << 20),
        "<style>" + repeated("</styl<style></style", 2 << 20),
        "<script>" + repeated("</scrip<!--<script></script", 2 << 20),
        "<script>" + repeated("<!--<script>--", 2 << 20),
        "<script><!--" + repeated("<script></script><scrip", 2 << 20),
        "<script>" + repeated("</script a='", 2 << 20), repeated("<template><script>", 2 << 20),
        repeated("<textarea></textarea ", 2 << 20)}) {
    HTMLDocument document;
    EXPECT_LT(cpuSecondsOf([&] { document = readHTMLDocument(page); }), kCpuBound);
    EXPECT_TRUE(document.scripts.empty()) << page.substr(0, 30);
  }
}

TEST(PageReadersTest, ForeignContentIsReadInOnePassHoweverDeepOrUnclosed) {
  // 512 KiB of each (a tag here costs some 3 us under ThreadSanitizer): nesting past any depth
  // kept, end tags that close nothing in a deep tree or close what is deep in it, breaking out
  // and in again, CDATA sections, and an SVG script's text with references and elements in it.
  const std::string deep = "<svg>" + repeated("<g>", 1 << 19);
  for (const std::string& page :
       {deep, deep + repeated("</x>", 1 << 19), deep + repeated("</svg><svg>", 1 << 19),
        "<svg>" + repeated("<g><foreignObject><b><svg></foreignObject></x>", 1 << 19),
        repeated("<svg><g><p>", 1 << 19), repeated("<math><mi><svg><desc></p>", 1 << 19),
        "<svg>" + repeated("<![CDATA[<script>]]>", 1 << 19),
        "<svg><script>" + repeated("&amp;<g></g>&#x41;<![CDATA[ ]]>", 1 << 19)}) {
    HTMLDocument document;
    EXPECT_LT(cpuSecondsOf([&] { document = readHTMLDocument(page); }), kCpuBound);
    EXPECT_TRUE(document.scripts.empty()) << page.substr(0, 40);
  }
  // Elements of a different name each, past the names kept at once, and end tags that close
  // none of them or each in turn; SVG scripts nested in each other, closed by their drawings.
  constexpr size_t kNames = 1 << 17;
  auto nameOf = [](size_t i) {
    return std::string{static_cast<char>('a' + i % 26), static_cast<char>('a' + i / 26 % 26),
                       static_cast<char>('a' + i / 676 % 26), static_cast<char>('a' + i / 17576)};
  };
  std::string names, unmatched, closing;
  for (size_t i = 0; i < kNames; ++i) {
    names += "<" + nameOf(i) + ">";
    unmatched += "</x" + nameOf(i) + ">";
    closing += "</" + nameOf(kNames - 1 - i) + ">";
  }
  for (const std::string& page :
       {"<svg>" + names + unmatched, "<svg>" + names + closing,
        repeated("<svg><script>x", 1 << 18) + repeated("</svg>", 1 << 18)}) {
    HTMLDocument document;
    EXPECT_LT(cpuSecondsOf([&] { document = readHTMLDocument(page); }), kCpuBound)
        << page.substr(0, 40);
    EXPECT_TRUE(document.scripts.empty()) << page.substr(0, 40);
  }
}

TEST(PageReadersTest, ATitleIsReadUpToItsLengthOnly) {
  // Character references of every kind: numbers of millions of digits, names that run on past
  // any name, and names that almost are one; whitespace that never fills a title.
  for (const std::string& title :
       {repeated("&amp; ", 8 << 20), repeated(" \t\n", 8 << 20), repeated("&", 8 << 20),
        repeated("&#39", 8 << 20), "&#" + repeated("9", 8 << 20), "&#x" + repeated("F", 8 << 20),
        "&" + repeated("thetasym", 8 << 20), repeated("&thetasy&#32;&#x", 8 << 20),
        repeated("&nbsp&#150;", 8 << 20)}) {
    // Closed, and running to the end of the page.
    for (const std::string& page : {"<title>" + title + "</title>", "<title>" + title}) {
      HTMLDocument document;
      EXPECT_LT(cpuSecondsOf([&] { document = readHTMLDocument(page); }), kCpuBound);
      ASSERT_TRUE(document.title);
      EXPECT_LE(document.title->size(), content::kMaxTitleBytes);
    }
  }
}

TEST(PageReadersTest, AReadingWhoseLoadHasEndedStopsAtOnce) {
  // In every state the reader may be in for the rest of the page.
  for (const std::string& page :
       {"<title>t</title>" + repeated("<script>1</script>", 8 << 20),
        "<!--" + repeated("<script>-", 8 << 20), "<title>" + repeated("</titl", 8 << 20),
        "<script><!--<script>" + repeated("-", 8 << 20), "<style>" + repeated("<", 8 << 20),
        "<script " + repeated("a ", 8 << 20)}) {
    ReadingStop stop;
    stop.stop();
    HTMLDocument document;
    EXPECT_LT(cpuSecondsOf([&] { document = readHTMLDocument(page, &stop); }), 0.05);
    EXPECT_TRUE(document.scripts.empty());
    EXPECT_FALSE(document.title);
  }
}

TEST(PageReadersTest, TextThatIsNoUTF8IsMendedInOnePass) {
  std::string broken = repeated("\xED\xA0\x80\xC0\xAF\xF4\x90\x80\x80\xE2\x82", 1 << 20);
  std::string mended;
  EXPECT_LT(cpuSecondsOf([&] { mended = withValidUtf8(broken); }), kCpuBound);
  EXPECT_EQ(withValidUtf8("a\xC0\xAF"
                          "b\xE2\x82\xAC"),
            "a\xEF\xBF\xBD\xEF\xBF\xBD"
            "b\xE2\x82\xAC");
  EXPECT_EQ(withValidUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
}

TEST(PageReadersTest, ScriptValuesFromAContentProcessAreReadWithinTheirBounds) {
  // A million values, then values nested far deeper than any copy makes.
  ProtocolWriter many;
  many.byte(static_cast<uint8_t>(ValueTag::kArray));
  many.u32(999'999);
  for (int i = 0; i < 999'999; ++i) {
    many.byte(static_cast<uint8_t>(ValueTag::kString));
    many.string("\xFF");
  }
  ProtocolWriter deep;
  for (int i = 0; i < 4'000'000; ++i) {
    deep.byte(static_cast<uint8_t>(ValueTag::kArray));
    deep.u32(1);
  }
  auto many_bytes = many.take(), deep_bytes = deep.take();
  std::optional<AnyValue> value;
  EXPECT_LT(cpuSecondsOf([&] {
              ProtocolReader in(many_bytes);
              value = content::readScriptValue(in);
            }),
            kCpuBound * 4);
  ASSERT_TRUE(value);
  // Each string arrives as UTF-8, whatever the process wrote.
  EXPECT_EQ(*value->getIf<AnyValue::Array>()->front().getIf<std::string>(),
            "\xEF\xBF\xBD");
  EXPECT_LT(cpuSecondsOf([&] {
              ProtocolReader in(deep_bytes);
              value = content::readScriptValue(in);
            }),
            kCpuBound);
  EXPECT_FALSE(value);
}

TEST(PageReadersTest, CookieDatesAndURLsAreReadInOnePass) {
  for (const std::string& date : {repeated("1", 4 << 20), repeated("Nov ", 4 << 20),
                                  repeated("08:49:37 ", 4 << 20), repeated(",;", 4 << 20)}) {
    EXPECT_LT(cpuSecondsOf([&] { parseCookieDate(date); }), kCpuBound);
  }
  AnyValue::Dictionary properties = {
      {NSHTTPCookieName, AnyValue("n")},
      {NSHTTPCookieValue, AnyValue("v")},
      {NSHTTPCookieDomain, AnyValue("example.test")},
      {NSHTTPCookieExpires, AnyValue(repeated("Nov 1994 ", 4 << 20))}};
  EXPECT_LT(cpuSecondsOf([&] { NSHTTPCookie::cookieWithProperties(properties); }),
            kCpuBound);
  for (const std::string& url :
       {"https://a.test/" + repeated("a/../", 256 << 10),
        "https://a.test/?" + repeated("%41", 256 << 10),
        "https://" + repeated("a.", 256 << 10) + "test/", "file://" + repeated("/./", 256 << 10)}) {
    EXPECT_LT(cpuSecondsOf([&] { NSURL::URLWithString(url); }), kCpuBound) << url.substr(0, 20);
  }
}

}  // namespace
}  // namespace webkit
