// A page's scripts: results mapped to Foundation values, errors, script messages and the heap cap.
#include "platform/webkit/content_process/java_script_page.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/webkit/internal/content_values.h"
#include "platform/webkit/wk_error.h"

namespace {

using webkit::JavaScriptPage;

constexpr size_t kMaxValueBytes = size_t{64} << 20;
constexpr auto kBudget = std::chrono::seconds(5);

AnyValue decoded(const std::vector<uint8_t>& bytes) {
  webkit::content::ProtocolReader in(bytes);
  auto value = webkit::content::readScriptValue(in);
  EXPECT_TRUE(value && in.atEnd());
  return value.value_or(AnyValue());
}

// What the page answered, as the web view reads it back.
struct Answer {
  AnyValue value;
  int64_t code = 0;
  std::string message;
};

Answer run(JavaScriptPage& page, const std::string& script,
           std::chrono::milliseconds budget = kBudget) {
  // In the page's CPU time, as its content process counts it.
  auto outcome = page.evaluate(script, webkit::ScriptDeadline::after(budget));
  if (outcome.errorCode != 0) return {AnyValue(), outcome.errorCode, outcome.errorMessage};
  return {decoded(outcome.value)};
}

class JavaScriptPageTest : public ::testing::Test {
 protected:
  JavaScriptPage::Hooks hooks() {
    JavaScriptPage::Hooks hooks;
    hooks.titleChanged = [this](const std::string& title) { titles.push_back(title); };
    hooks.postMessage = [this](const std::string& name, std::vector<uint8_t> body) {
      messages.emplace_back(name, decoded(body));
      return true;
    };
    return hooks;
  }
  AnyValue value(const std::string& script) {
    page.setMessageHandlerNames(handlerNames);
    auto answer = run(page, script);
    EXPECT_EQ(answer.code, 0) << script << ": " << answer.message;
    return answer.value;
  }
  int64_t errorCode(const std::string& script) {
    page.setMessageHandlerNames(handlerNames);
    return run(page, script).code;
  }

  std::vector<std::string> titles;
  std::vector<std::string> handlerNames{"bridge"};
  std::vector<std::pair<std::string, AnyValue>> messages;
  JavaScriptPage page{hooks(), std::string("Start"), kMaxValueBytes};
};

TEST_F(JavaScriptPageTest, ResultsBecomeFoundationValuesOfTheirKind) {
  EXPECT_EQ(value("6 * 7"), AnyValue(int64_t{42}));
  EXPECT_EQ(value("-0"), AnyValue(-0.0));
  EXPECT_EQ(value("Math.pow(2, 53)"), AnyValue(int64_t{9007199254740992}));
  EXPECT_EQ(value("Math.pow(2, 53) * 2"), AnyValue(18014398509481984.0));
  EXPECT_EQ(value("0.25"), AnyValue(0.25));
  EXPECT_TRUE(std::isnan(*value("NaN").getIf<double>()));
  EXPECT_EQ(value("false"), AnyValue(false));
  EXPECT_EQ(value("'caf\\u00e9 \\ud83d\\ude00'"), AnyValue("caf\xC3\xA9 \xF0\x9F\x98\x80"));
  // A lone surrogate has no UTF-8 form.
  EXPECT_EQ(value("'\\ud800!'"), AnyValue("\xEF\xBF\xBD!"));
  EXPECT_TRUE(value("undefined").isNil());
  EXPECT_EQ(value("null"), AnyValue(NSNull{}));
  // Holes and undefined inside arrays are the null object; undefined properties are left out.
  EXPECT_EQ(value("[1, undefined, , 'x']"),
            AnyValue(AnyValue::Array{int64_t{1}, NSNull{}, NSNull{}, "x"}));
  EXPECT_EQ(
      value("({a: 1, skipped: undefined, n: null, nested: {list: [true, {deep: 'y'}]}})"),
      AnyValue(AnyValue::Dictionary{
          {"a", int64_t{1}},
          {"n", NSNull{}},
          {"nested", AnyValue::Dictionary{
                         {"list", AnyValue::Array{true, AnyValue::Dictionary{{"deep", "y"}}}}}}}));
  EXPECT_EQ(value("document.title"), AnyValue("Start"));
}

TEST_F(JavaScriptPageTest, ThrownErrorsAndUnsupportedResultsAreWebKitsErrors) {
  auto thrown = run(page, "throw new TypeError('bad thing')");
  EXPECT_EQ(thrown.code, WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(thrown.message, "TypeError: bad thing");

  EXPECT_EQ(errorCode("syntax error("), WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(errorCode("({get boom() { throw 1; }})"), WKErrorJavaScriptExceptionOccurred);
  for (const char* unsupported :
       {"(function () {})", "new Date(0)", "/re/", "[function () {}]", "({inner: new Date(0)})"}) {
    EXPECT_EQ(errorCode(unsupported), WKErrorJavaScriptResultTypeIsUnsupported) << unsupported;
  }
  // Too deep to copy, and a cycle, are refused rather than followed forever.
  EXPECT_EQ(errorCode("var a = []; for (var i = 0; i < 100; i++) a = [a]; a"),
            WKErrorJavaScriptResultTypeIsUnsupported);
  EXPECT_EQ(errorCode("var o = {}; o.self = o; o"), WKErrorJavaScriptResultTypeIsUnsupported);
  // The page goes on after every failure.
  EXPECT_EQ(value("1 + 1"), AnyValue(int64_t{2}));
}

TEST_F(JavaScriptPageTest, TitlesAndMessagesReachTheHooksAndUnclonableBodiesThrow) {
  EXPECT_EQ(value("document.title = 'Next'; document.title"), AnyValue("Next"));
  EXPECT_EQ(titles, std::vector<std::string>{"Next"});
  EXPECT_EQ(page.title(), "Next");

  value("window.webkit.messageHandlers.bridge.postMessage({n: [1, null]})");
  value("window.webkit.messageHandlers.bridge.postMessage(undefined)");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(
      messages[0],
      std::make_pair(std::string("bridge"),
                     AnyValue(AnyValue::Dictionary{{"n", AnyValue::Array{int64_t{1}, NSNull{}}}})));
  EXPECT_EQ(messages[1].second, AnyValue(NSNull{}));

  EXPECT_EQ(errorCode("window.webkit.messageHandlers.bridge.postMessage(function () {})"),
            WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(messages.size(), 2u);

  // A handler removed since the last script is gone from the page.
  handlerNames.clear();
  EXPECT_EQ(value("typeof window.webkit.messageHandlers.bridge"), AnyValue("undefined"));
}

TEST_F(JavaScriptPageTest, APostedMessageFailsWithItsOwnErrorAndOnlyTheUnclonableAreCloneErrors) {
  auto caught = [&](const std::string& body) {
    return value("try { window.webkit.messageHandlers.bridge.postMessage(" + body +
                 "); 'posted' } catch (e) { (e.mine ? 'mine ' : '') + String(e) }");
  };
  // A body as large as a good part of the page's heap is read where it is, not copied first.
  EXPECT_EQ(caught("(function () { var a = []; for (var i = 0; i < 100000; i++) a.push('v' + i);"
                   " return a; })()"),
            AnyValue("posted"));
  // The page's own exception, thrown by a getter, reaches the page as itself.
  EXPECT_EQ(caught("{get a() { var e = new Error('mine'); e.mine = true; throw e; }}"),
            AnyValue("mine Error: mine"));
  // Running out of memory while the body is read is the engine's own error. The strings double,
  // so the heap fills in a few steps whatever the machine's speed.
  auto full = caught(
      "{get a() { var s = ['x']; while (true) s.push(s[s.length - 1] + s[s.length - 1]); }}");
  ASSERT_TRUE(full.getIf<std::string>());
  EXPECT_EQ(*full.getIf<std::string>(), "Error: alloc failed");
  EXPECT_EQ(caught("[function () {}]"),
            AnyValue("TypeError: DataCloneError: The object can not be cloned."));
  EXPECT_EQ(caught("new Proxy([], {})"),
            AnyValue("TypeError: DataCloneError: The object can not be cloned."));
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(JavaScriptPageTest, ValuesArriveAsThePageHoldsThemWhateverItsBuiltInsBecame) {
  // An own "__proto__" key is ordinary JSON data.
  EXPECT_EQ(value("JSON.parse('{\"__proto__\": {\"a\": 1}, \"b\": 2}')"),
            AnyValue(AnyValue::Dictionary{{"__proto__", AnyValue::Dictionary{{"a", int64_t{1}}}},
                                          {"b", int64_t{2}}}));
  value(
      "Object.defineProperty(Object.prototype, 'x', {set: function () {}, configurable: true});"
      "Array.prototype.push = function () { this[this.length] = function () {}; };"
      "Object.prototype.toString = function () { return '[object Array]'; };"
      "Object.keys = function () { return ['forged']; };"
      "Object.defineProperty(Array.prototype, 1, {get: function () { return 'inherited'; },"
      " configurable: true}); 0");
  EXPECT_EQ(value("({x: 1, y: [2]})"),
            AnyValue(AnyValue::Dictionary{{"x", int64_t{1}}, {"y", AnyValue::Array{int64_t{2}}}}));
  // A missing element is missing, whatever the prototype holds at its index.
  EXPECT_EQ(value("[1, , 3]"), AnyValue(AnyValue::Array{int64_t{1}, NSNull{}, int64_t{3}}));
  value("window.webkit.messageHandlers.bridge.postMessage({x: [1, , 3]})");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(
      messages[0].second,
      AnyValue(AnyValue::Dictionary{{"x", AnyValue::Array{int64_t{1}, NSNull{}, int64_t{3}}}}));
  EXPECT_EQ(errorCode("(function () { return arguments; })(1)"),
            WKErrorJavaScriptResultTypeIsUnsupported);
}

// An array as long as the value bound allows crosses, whether returned or posted: its elements
// are read by index, not gathered into a list of keys in the page's heap first.
TEST_F(JavaScriptPageTest, AFlatArrayUpToTheValueBoundCrossesWithoutFillingThePagesHeap) {
  // Building the array is the page's own work, slow under the sanitizers: it gets a budget of
  // its own so that only the crossing is tested.
  page.setMessageHandlerNames(handlerNames);
  auto built = run(page, "var a = []; for (var i = 0; i < 999999; i++) a.push(i); 0",
                   std::chrono::seconds(60));
  ASSERT_EQ(built.code, 0) << built.message;
  auto result = value("a");
  const auto* elements = result.getIf<AnyValue::Array>();
  ASSERT_NE(elements, nullptr);
  ASSERT_EQ(elements->size(), 999999u);
  EXPECT_EQ((*elements)[999998], AnyValue(int64_t{999998}));
  value("window.webkit.messageHandlers.bridge.postMessage(a)");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].second.getIf<AnyValue::Array>()->size(), 999999u);
  // One more value than the bound is too large, not a full heap.
  auto past = run(page, "a.push(0); a");
  EXPECT_EQ(past.code, WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(past.message.find("alloc failed"), std::string::npos) << past.message;
}

// A proxy cannot be cloned, whatever it stands for: a result is WebKit's unsupported type, a
// message body a DataCloneError, both before any of its traps could run (a trap that throws
// would otherwise answer in place of what the page posted).
TEST_F(JavaScriptPageTest, AProxyIsRefusedAsUnclonableInResultsAndMessagesAndNoTrapRuns) {
  value("var trapped = 0;"
        "function trap() { trapped++; var e = new Error('mine'); e.mine = true; throw e; }"
        "var traps = {get: trap, set: trap, has: trap, ownKeys: trap, deleteProperty: trap,"
        " getOwnPropertyDescriptor: trap, defineProperty: trap, enumerate: trap}; 0");
  for (const std::string proxy : {"new Proxy({a: 1}, traps)", "new Proxy([1, 2], traps)",
                                  "new Proxy({}, {})", "new Proxy([], {})",
                                  "new Proxy(function () {}, traps)", "[1, new Proxy({}, traps)]",
                                  "({inner: {deeper: new Proxy([3], traps)}})"}) {
    EXPECT_EQ(errorCode(proxy), WKErrorJavaScriptResultTypeIsUnsupported) << proxy;
    EXPECT_EQ(value("try { window.webkit.messageHandlers.bridge.postMessage(" + proxy +
                    "); 'posted' } catch (e) { (e.mine ? 'mine ' : '') + String(e) }"),
              AnyValue("TypeError: DataCloneError: The object can not be cloned."))
        << proxy;
  }
  EXPECT_EQ(value("trapped"), AnyValue(int64_t{0}));
  EXPECT_TRUE(messages.empty());
  // An ordinary object whose prototype is a proxy is ordinary: only its own properties are read.
  EXPECT_EQ(value("var o = Object.create(new Proxy({}, traps));"
                  " Object.defineProperty(o, 'own', {value: 1, enumerable: true}); o"),
            AnyValue(AnyValue::Dictionary{{"own", int64_t{1}}}));
  EXPECT_EQ(value("trapped"), AnyValue(int64_t{0}));
}

TEST_F(JavaScriptPageTest, AHeapAtItsCapFailsTheScriptAndNotTheProcess) {
  EXPECT_EQ(errorCode("var s = 'x'; while (true) s += s;"), WKErrorJavaScriptExceptionOccurred);
  // Fill the heap to the last byte and keep it full across scripts.
  run(page,
      "var keep = [];"
      "for (var n = 1 << 24; n >= 1;) {"
      "  try { keep.push(new Uint8Array(n)); } catch (e) { n = n >> 1; }"
      "}");
  // A full heap fails every later script with WebKit's error, and the process goes on.
  for (const char* script : {"keep.length", "keep = null", "1"}) {
    EXPECT_EQ(errorCode(script), WKErrorJavaScriptExceptionOccurred) << script;
  }
  // Another page has a heap of its own.
  JavaScriptPage other{hooks(), std::nullopt, kMaxValueBytes};
  EXPECT_EQ(run(other, "[1, 2].length").value, AnyValue(int64_t{2}));
}

}  // namespace

namespace {

constexpr const char* kFillTheHeap =
    "var keep = [];"
    "for (var n = 1 << 24; n >= 1;) {"
    "  try { keep.push(new Uint8Array(n)); } catch (e) { n = n >> 1; }"
    "}";

std::vector<std::string> handlerNamesOf(size_t count) {
  std::vector<std::string> names;
  for (size_t i = 0; i < count; ++i) names.push_back("handler" + std::to_string(i));
  return names;
}

TEST_F(JavaScriptPageTest, AFullHeapWithManyHandlersFailsOnlyThePagesScripts) {
  // Each script rebuilds the handler objects, which a full heap has no room for.
  for (size_t count : {10u, 1500u}) {
    handlerNames = handlerNamesOf(count);
    JavaScriptPage full{hooks(), std::nullopt, kMaxValueBytes};
    full.setMessageHandlerNames(handlerNames);
    run(full, kFillTheHeap);
    for (const char* script :
         {"window.webkit.messageHandlers.handler0.postMessage(1); 1", "keep"}) {
      EXPECT_EQ(run(full, script).code, WKErrorJavaScriptExceptionOccurred) << count;
    }
  }
  EXPECT_EQ(value("[1, 2].length"), AnyValue(int64_t{2}));
}

TEST_F(JavaScriptPageTest, AScriptPastItsBudgetFailsAndThePageGoesOn) {
  JavaScriptPage timed{hooks(), std::nullopt, kMaxValueBytes};
  timed.setMessageHandlerNames(handlerNames);
  // Loops in the script, in a catch that tries to go on, in a getter of the result, in a message
  // body and in a title's conversion.
  for (const char* script : {
           "while (true) {}",
           "for (;;) { try { while (true) {} } catch (e) {} }",
           "({get forever() { while (true) {} }})",
           "window.webkit.messageHandlers.bridge.postMessage({get forever() { while (true) {} }})",
           "document.title = {toString: function () { while (true) {} }}",
       }) {
    auto answer = run(timed, script, std::chrono::milliseconds(50));
    EXPECT_EQ(answer.code, WKErrorJavaScriptExceptionOccurred) << script;
    EXPECT_EQ(answer.message, "RangeError: execution timeout") << script;
  }
  EXPECT_TRUE(messages.empty());
  EXPECT_TRUE(titles.empty());
  // Each script has a budget of its own: the page and its globals are still there.
  EXPECT_EQ(run(timed, "var n = 0; for (var i = 0; i < 1000; i++) n += i; n").value,
            AnyValue(int64_t{499500}));
}

// What the engine adds to a page beyond what a browser has (its own global object, with its
// finalizers, and its own encoding) would let a page run code when its heap goes, at the expense
// of the next page.
TEST_F(JavaScriptPageTest, ThePagesEngineOwnGlobalsAreNotReachable) {
  EXPECT_EQ(value("typeof Duktape + ' ' + typeof CBOR"), AnyValue("undefined undefined"));
  EXPECT_EQ(errorCode("Duktape.fin({}, function () { while (true) {} })"),
            WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(value("typeof JSON + ' ' + typeof Proxy + ' ' + typeof TextEncoder"),
            AnyValue("object function function"));
}

}  // namespace
