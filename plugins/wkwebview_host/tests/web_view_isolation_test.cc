// Pages cannot take the host: scripts past their budget, page loads of endless scripts, floods of
// titles and messages, deep recursion through built-ins and the engine's fatal error each fail
// the page alone, and the host's other channels answer meanwhile.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>

#include <cerrno>
#include <chrono>

#include "platform/webkit/testing/process_cpu_time.h"
#include "platform/webkit/wk_error.h"
#include "plugins/wkwebview_host/tests/web_view_test_support.h"

namespace wkwebview_host::testing {
namespace {

using Clock = std::chrono::steady_clock;
using flutter::Value;
using flutter::ValueList;
using webkit::testing::WebViewControls;

// How much of this thread's CPU time a call may take while a page works (a loaded machine cannot
// inflate it, unlike the time the call takes); the budgets below are far shorter than the old
// stalls.
constexpr auto kAnsweredQuickly = std::chrono::milliseconds(100);
constexpr auto kBudget = std::chrono::milliseconds(300);
// What a content process may spend on a budget's scripts beyond the budget itself: the quarter
// and the grace after which it is killed, and room for the kill's delivery and the process's own
// start in a sanitized build.
constexpr double kBudgetSeconds = 0.3;
constexpr double kPastTheBudgetSeconds = kBudgetSeconds / 4 + 0.5 + 0.5;

class WebViewIsolationTest : public WebViewTest {
 protected:
  WebViewIsolationTest() { WebViewControls::setScriptTimeBudget(*webView, kBudget); }

  flutter::testing::TestDartSide::PendingBinary evaluateLater(const std::string& script) {
    return dart.sendBinary(channelName("NSViewWKWebView", "evaluateJavaScript"),
                           dartSideCodec()->encode(ValueList{ref(kWebView), Value(script)}));
  }
  static Value replyOf(const flutter::testing::TestDartSide::PendingBinary& pending) {
    // Only a hang guard: a loaded machine may stretch a long answer far.
    auto reply = pending.wait(std::chrono::minutes(2));
    return reply ? dartSideCodec()->decode(*reply) : Value("none");
  }
  // The main queue runs on this thread: what it spends of the thread's CPU time a machine's load
  // cannot inflate, unlike the time it takes.
  static std::chrono::nanoseconds threadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
  }
  template <typename Work>
  static std::chrono::nanoseconds cpuTimeOf(Work&& work) {
    const auto cpu_at_start = threadCpuTime();
    work();
    return threadCpuTime() - cpu_at_start;
  }
  static void expectQuick(std::chrono::nanoseconds cpu, Clock::duration allowed = {}) {
    EXPECT_LT(cpu, allowed + kAnsweredQuickly);
  }
  // Waits until `process` (a content process ended meanwhile) has been reaped, so that its CPU
  // time is counted among the ended children.
  bool reaped(pid_t process) {
    return dart.runUntil([&] { return process <= 0 || (::kill(process, 0) != 0 && errno == ESRCH) ||
                                      WebViewControls::contentProcessId(*webView) == process; });
  }
  // What another call costs while the page works.
  std::chrono::nanoseconds pingTime() {
    return cpuTimeOf([&] { EXPECT_EQ(onWebView("getCustomUserAgent"), ok()); });
  }
  // The exception text of an evaluation's error reply.
  std::string exceptionOf(const Value& reply) {
    const auto* list = reply.asList();
    if (list == nullptr || list->size() != 3) return "not an error: " + reply.debugString();
    auto errors = receivedOn("NSError.pigeon_newInstance");
    if (errors.empty()) return "no error announced";
    const auto* user_info = errors.back().message.asList()->at(3).asMap();
    const Value* message =
        user_info ? user_info->find(Value("WKJavaScriptExceptionMessage")) : nullptr;
    return message && message->asString() ? *message->asString() : "no message";
  }
};

TEST_F(WebViewIsolationTest, AScriptInsideABuiltInIsAnsweredAtItsBudgetAndTheOthersNeverWait) {
  answerAnnouncements();
  for (const char* script : {"var a = []; a.length = 4e7; a.join('').length",
                             "('a'.repeat(24) + '!').repeat(12).replace(/(a+)+b|!/g, '').length"}) {
    SCOPED_TRACE(script);
    webkit::testing::ContentCpuMeter meter(WebViewControls::contentProcessId(*webView));
    auto pending = evaluateLater(script);
    // Another call is answered while the script runs, not after it.
    expectQuick(pingTime());
    EXPECT_FALSE(pending.ready());
    pid_t process = WebViewControls::contentProcessId(*webView);
    auto reply = replyOf(pending);
    EXPECT_EQ(exceptionOf(reply), "RangeError: execution timeout");
    // Answered once the page's process has spent its budget, and not much later in its CPU time
    // (the engine cannot end a built-in's loop: its process is killed).
    ASSERT_TRUE(reaped(process));
    double spent = meter.seconds(process);
    EXPECT_GE(spent, kBudgetSeconds);
    EXPECT_LT(spent, kBudgetSeconds + kPastTheBudgetSeconds);
  }
  // The page goes on, in a fresh content process when its last one had to be ended.
  EXPECT_EQ(onWebView("evaluateJavaScript", {Value("6 * 7")}), ok(Value(int64_t{42})));
}

TEST_F(WebViewIsolationTest, AProcessEndedAtItsDeadlineIsGoneAndReportedAsTerminated) {
  attachNavigationDelegate();
  answerAnnouncements();
  ASSERT_EQ(onWebView("evaluateJavaScript", {Value("1")}), ok(Value(int64_t{1})));
  pid_t content = WebViewControls::contentProcessId(*webView);
  ASSERT_GT(content, 0);
  onWebView("evaluateJavaScript", {Value("var a = []; a.length = 4e8; a.join('').length")});
  ASSERT_TRUE(dart.runUntil([&] {
    return !receivedOn("WKNavigationDelegate.webViewWebContentProcessDidTerminate").empty();
  }));
  // Killed, not left burning a core: the process is gone.
  EXPECT_TRUE(dart.runUntil([&] { return ::kill(content, 0) != 0 && errno == ESRCH; }));
}

TEST_F(WebViewIsolationTest, APageLoadsEndlessScriptsShareOneBudgetOffTheMainThread) {
  attachNavigationDelegate();
  // The page's content process, started first so that its CPU time can be counted.
  ASSERT_EQ(onWebView("evaluateJavaScript", {Value("1")}), ok(Value(int64_t{1})));
  pid_t process = WebViewControls::contentProcessId(*webView);
  webkit::testing::ContentCpuMeter meter(process);
  std::string html;
  for (int i = 0; i < 6; ++i) html += "<script>while (true) {}</script>";
  EXPECT_EQ(onWebView("loadHtmlString", {Value(html), Value()}), ok());
  // Another call is answered while the scripts run, not after them.
  expectQuick(pingTime());
  EXPECT_TRUE(delegateCalls().empty() || delegateCalls().back() != "didFinishNavigation");
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegateCalls().back(), "didFinishNavigation");
  // The six spent one budget between them, in the same process: six budgets would have ended it.
  EXPECT_EQ(WebViewControls::contentProcessId(*webView), process);
  double spent = meter.seconds(process);
  EXPECT_GE(spent, kBudgetSeconds);
  EXPECT_LT(spent, 2 * kBudgetSeconds);
}

TEST_F(WebViewIsolationTest, APageOfManySmallScriptsSkipsThoseItsBudgetLeavesNoTimeFor) {
  // Time enough to read the page on a loaded machine, far too little for all its scripts.
  WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(2));
  attachNavigationDelegate();
  std::string html = "<script>var ran = 0</script>";
  for (int i = 0; i < 100000; ++i) html += "<script>for (var i = 0; i < 20; i++) ran++</script>";
  EXPECT_EQ(onWebView("loadHtmlString", {Value(html), Value()}), ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegateCalls().back(), "didFinishNavigation");
  EXPECT_TRUE(receivedOn("WKNavigationDelegate.webViewWebContentProcessDidTerminate").empty());
  // The page went on with what ran.
  EXPECT_EQ(onWebView("evaluateJavaScript", {Value("typeof ran")}), ok(Value("number")));
}

TEST_F(WebViewIsolationTest, ATitleChangedInALoopReachesObserversOnceItsScriptEnds) {
  constexpr int64_t kObserver = 40;
  answerAnnouncements();
  answerDartCalls("NSObject.observeValue");
  WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(20));
  ASSERT_EQ(call("NSObject", "pigeon_defaultConstructor", {id(kObserver)}), ok());
  ASSERT_EQ(call("NSObject", "addObserver",
                 {ref(kWebView), ref(kObserver), Value("title"),
                  Value(ValueList{enumerationValue(KeyValueObservingOptions::newValue)})}),
            ok());
  EXPECT_EQ(onWebView("evaluateJavaScript",
                      {Value("for (var i = 0; i < 20000; i++) document.title = 't' + i; 1")}),
            ok(Value(int64_t{1})));
  dart.drain();
  EXPECT_EQ(receivedOn("NSObject.observeValue").size(), 1u);
  EXPECT_EQ(onWebView("getTitle"), ok(Value("t19999")));
}

TEST_F(WebViewIsolationTest, MessagesAPageFloodsWaitForRoomInsteadOfQueueingInTheHost) {
  constexpr int64_t kController = 30, kHandler = 31;
  instances().registerDartObject(webView->configuration()->userContentController(), kController);
  ASSERT_EQ(call("WKScriptMessageHandler", "pigeon_defaultConstructor", {id(kHandler)}), ok());
  ASSERT_EQ(call("WKUserContentController", "addScriptMessageHandler",
                 {ref(kController), ref(kHandler), Value("bridge")}),
            ok());
  answerAnnouncements();
  answerDartCalls("WKScriptMessageHandler.didReceiveScriptMessage");
  // 8 MiB messages that this Dart side keeps (it never removes their strong references).
  WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(3));
  auto pending = evaluateLater(
      "var big = 'x'.repeat(8 << 20);"
      "for (var i = 0; i < 20; i++) window.webkit.messageHandlers.bridge.postMessage(big);");
  expectQuick(pingTime());
  auto reply = replyOf(pending);
  EXPECT_EQ(exceptionOf(reply), "RangeError: execution timeout");
  dart.drain();
  // The host held at most 64 MiB of them: the page waited for room until its budget was spent.
  EXPECT_LE(receivedOn("WKScriptMessageHandler.didReceiveScriptMessage").size(), 8u);
  // Letting go of them makes room again.
  for (const auto& announced : receivedOn("WKScriptMessage.pigeon_newInstance")) {
    instances().dropStrongReference(*announced.message.asList()->at(0).asInteger());
  }
  dart.drain();
  // The page may have been ended instead, when its last send outlasted the grace (a slow build
  // takes long over each 8 MiB message): this script needs nothing of it.
  EXPECT_EQ(
      onWebView("evaluateJavaScript",
                {Value("window.webkit.messageHandlers.bridge.postMessage('x'.repeat(8 << 20));"
                       "'posted'")}),
      ok(Value("posted")));
}

TEST_F(WebViewIsolationTest, ADescriptionPastTheReplyLimitIsBuiltOffTheMainThreadInOrder) {
  WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(20));
  // 60 arrays around 300,000 numbers: a description longer than a reply may be.
  auto described = evaluateLater(
      "var a = []; for (var i = 0; i < 300000; i++) a.push(i); for (var d = 1; d < 60; d++) "
      "a = [a]; a");
  auto next = evaluateLater("1 + 1");
  auto deadline = Clock::now() + std::chrono::minutes(2);
  // No turn of the main queue spends long meanwhile (a call here runs on this thread at once, so
  // this thread's CPU time is the turns'), and answers keep the order of their calls.
  constexpr auto kTurns = std::chrono::milliseconds(10);
  while (!next.ready() && Clock::now() < deadline) {
    expectQuick(cpuTimeOf([&] { dart.runUntil([&] { return next.ready(); }, kTurns); }), kTurns);
    EXPECT_TRUE(described.ready() || !next.ready());
  }
  const auto reply = replyOf(described);
  ASSERT_TRUE(reply.asList() && reply.asList()->size() == 3) << reply.debugString();
  EXPECT_EQ(reply.asList()->at(0), Value("reply_too_large"));
  EXPECT_EQ(replyOf(next), ok(Value(int64_t{2})));
}

TEST_F(WebViewIsolationTest, RecursionThroughBuiltInsEndsWithTheEnginesOwnError) {
  WebViewControls::setScriptTimeBudget(*webView, std::chrono::seconds(20));
  EXPECT_EQ(onWebView("evaluateJavaScript",
                      {Value("function f(n) { return [1].map(function () { return f(n + 1); }); }"
                             "try { f(0) } catch (e) { String(e) }")}),
            ok(Value("RangeError: C stack depth limit")));
}

TEST_F(WebViewIsolationTest, AFatalErrorOfTheEngineEndsThePagesHeapForGood) {
  attachNavigationDelegate();
  answerAnnouncements();
  ASSERT_EQ(onWebView("evaluateJavaScript", {Value("var kept = 'here'; kept")}), ok(Value("here")));
  WebViewControls::raiseScriptEngineFatalError(*webView);
  ASSERT_TRUE(dart.runUntil([&] {
    return !receivedOn("WKNavigationDelegate.webViewWebContentProcessDidTerminate").empty();
  }));
  EXPECT_EQ(onWebView("evaluateJavaScript", {Value("typeof kept")}), ok(Value("undefined")));
}

}  // namespace
}  // namespace wkwebview_host::testing
