#include "tools/channel_fuzzer/web_content_samples.h"

#include "platform/webkit/testing/web_view_controls.h"

namespace channel_fuzzer {
namespace {

using namespace std::string_literals;

// Posts `body` to every script-message handler the page has.
std::string postToHandlers(const std::string& body) {
  return "for (var n in window.webkit.messageHandlers) "
         "window.webkit.messageHandlers[n].postMessage(" +
         body + ");";
}

const std::vector<std::string>& boundedScripts() {
  static const auto* const scripts = new std::vector<std::string>{
      "1 + 1",
      "'text'",
      "true",
      "null",
      "undefined",
      "NaN",
      "1 / 0",
      "-0",
      "[1, 'two', null, true, [3.5]]",
      "({a: 1, b: [2, 3], c: {d: null}})",
      "(function () { var o = {}; o.self = o; return o; })()",
      "document.title",
      "document.title = 'set by a script'",
      "document.title = 42",
      "JSON.stringify({a: [1, 2]})",
      "new Date(0).toISOString()",
      "'\\u0000zero'",
      "'\\ud800 lone'",
      "'a'.repeat(100000).length",
      "Symbol('s')",
      "function () {",
      "throw new Error('thrown')",
      "throw 1",
      "no.such.thing",
      "window.webkit.messageHandlers",
      postToHandlers("{n: n, list: [1, 2, 3], nested: {a: null}}"),
      postToHandlers("undefined"),
      postToHandlers("function () {}"),
      "var s = 0; for (var i = 0; i < 100000; i++) s += i; s",
      "",
  };
  return *scripts;
}

const std::vector<std::string>& hostileScripts() {
  static const auto* const scripts = new std::vector<std::string>{
      "while (true) {}",
      "for (;;) {}",
      "function f() { return f(); } f()",
      "function f(n) { return [1].map(function () { return f(n + 1); }); } "
      "try { f(0) } catch (e) { String(e) }",
      "var a = []; a.length = 4e8; a.join('').length",
      "('a'.repeat(24) + '!').repeat(12).replace(/(a+)+b|!/g, '').length",
      "var a = []; for (var i = 0; i < 2e6; i++) a.push(i); a",
      "var a = []; for (var i = 0; i < 60; i++) a = [a, a]; a",
      "var d = []; for (var i = 0; i < 100000; i++) d = [d]; d",
      "'x'.repeat(1 << 26)",
      "var a = []; for (;;) a.push(new Array(100000).join('x'))",
      "for (;;) document.title = Math.random()",
      "for (;;) {" + postToHandlers("'flood'") + "}",
      postToHandlers("'x'.repeat(8e6)"),
      "document.title = 'x'.repeat(1e7)",
      "var o = {}; Object.defineProperty(o, 'a', {get: function () { for (;;) {} }, "
      "enumerable: true}); o",
  };
  return *scripts;
}

const std::vector<std::string>& pages() {
  static const auto* const pages = new std::vector<std::string>{
      "",
      "<html><head><title>Fuzz</title></head><body>page</body></html>",
      "<title>A &amp; B &lt;C&gt;</title><script>document.title = 'from a script';</script>",
      "<script>" + postToHandlers("{page: true, n: n}") + "</script>",
      "<script>throw new Error('first');</script><script>document.title = 'second';</script>",
      "<script>var s = 0; for (var i = 0; i < 100000; i++) s += i; document.title = s;</script>",
      "<script>for (var i = 0; i < 1000; i++) {" + postToHandlers("i") + "}</script>",
      "<script",
      "<title>",
      "<<<>>>",
      "<script>/*",
      "\0<script>\0</script>"s,
      "<title>\xff\xfe</title>",
  };
  return *pages;
}

// Pages large enough to take the host's main thread for seconds wherever it reads them whole,
// each named in a comment. Made once: they are large.
const std::string& largePage(std::mt19937_64& random) {
  static const auto* const title = new std::string("<!-- a title of 16 MiB --><title>" +
                                                   std::string(size_t{16} << 20, 't') + "</title>");
  static const auto* const scripts = [] {
    auto* page = new std::string("<!-- 2.8 million inline scripts -->");
    const std::string script = "<script></script>x";
    page->reserve(size_t{48} << 20);
    while (page->size() + script.size() < (size_t{48} << 20)) *page += script;
    return page;
  }();
  return random() % 2 == 0 ? *title : *scripts;
}

std::string hostilePage(std::mt19937_64& random) {
  const auto& scripts = hostileScripts();
  switch (random() % 5) {
    case 4:
      return largePage(random);
    case 0: {
      std::string page;
      for (int i = 0; i < 6; ++i) page += "<script>while (true) {}</script>";
      return page;
    }
    case 1: {
      std::string page;
      for (int i = 0; i < 1000; ++i) {
        page += "<script>document.title = " + std::to_string(i) + ";</script>";
      }
      return page;
    }
    case 2:
      return "<title>" + std::string(size_t{1} << 20, 't') + "</title>";
    default:
      return "<script>" + scripts[random() % scripts.size()] + "</script>";
  }
}

}  // namespace

std::string samplePage(std::mt19937_64& random) {
  if (random() % 8 == 0) return hostilePage(random);
  const auto& all = pages();
  return all[random() % all.size()];
}

std::string sampleScript(std::mt19937_64& random, double hostileShare) {
  const bool hostile = std::uniform_real_distribution<double>(0, 1)(random) < hostileShare;
  const auto& scripts = hostile ? hostileScripts() : boundedScripts();
  return scripts[random() % scripts.size()];
}

std::string sampleUrl(std::mt19937_64& random) {
  static const auto* const urls = new std::vector<std::string>{
      std::string(kServedOrigin) + "/",
      std::string(kServedOrigin) + "/page#part",
      std::string(kServedOrigin) + "/auth",
      std::string(kServedOrigin) + "/missing",
      std::string(kServedOrigin) + "/loop",
      std::string(kServedOrigin) + "/data.json",
      "https://unknown.invalid/",
      "about:blank",
      "data:text/html,<title>data</title>",
      "file:///",
      "javascript:alert(1)",
      "http://[::1",
      "not a url",
      "",
  };
  return (*urls)[random() % urls->size()];
}

std::string sampleCookieValue(std::mt19937_64& random) {
  static const auto* const values = new std::vector<std::string>{"fuzz.test",
                                                                 ".fuzz.test",
                                                                 "/",
                                                                 "/path",
                                                                 "name",
                                                                 "value",
                                                                 "1",
                                                                 "0",
                                                                 "3600",
                                                                 "-1",
                                                                 "TRUE",
                                                                 "Wed, 21 Oct 2015 07:28:00 GMT",
                                                                 "Sun, 06 Nov 2994 08:49:37 GMT",
                                                                 "lax",
                                                                 "https://fuzz.test/",
                                                                 "",
                                                                 "a=b; c"};
  return (*values)[random() % values->size()];
}

std::string sampleHeaderName(std::mt19937_64& random) {
  static const auto* const names = new std::vector<std::string>{
      "Accept", "Content-Type", "Cookie", "Authorization", "X-Fuzz", "", "Bad Name:"};
  return (*names)[random() % names->size()];
}

void serveSampleResponses() {
  const std::string origin = kServedOrigin;
  webkit::ServedResponse page;
  page.body = "<title>Served</title><script>" + postToHandlers("document.title") + "</script>";
  webkit::testing::setServedResponse(origin + "/", page);
  page.body = "<title>Page</title><p>text</p>";
  webkit::testing::setServedResponse(origin + "/page", page);
  webkit::ServedResponse guarded = page;
  guarded.requiredCredentials =
      webkit::ServedResponse::RequiredCredentials{"fuzz", "user", "secret"};
  webkit::testing::setServedResponse(origin + "/auth", guarded);
  webkit::ServedResponse missing;
  missing.statusCode = 404;
  missing.body = "<title>Not found</title>";
  webkit::testing::setServedResponse(origin + "/missing", missing);
  webkit::ServedResponse loop;
  loop.body = "<script>while (true) {}</script>";
  webkit::testing::setServedResponse(origin + "/loop", loop);
  webkit::ServedResponse json;
  json.mimeType = "application/json";
  json.body = "{\"a\": [1, 2, 3]}";
  webkit::testing::setServedResponse(origin + "/data.json", json);
}

}  // namespace channel_fuzzer
