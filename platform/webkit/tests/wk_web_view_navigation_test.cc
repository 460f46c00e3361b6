// The web view's navigation machine: replaced navigations, late and repeated answers, policies,
// failures after commit, history with its observations, and the content process ending.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/foundation/testing/system_limits.h"
#include "platform/webkit/testing/web_view_controls.h"
#include "platform/webkit/webkit.h"
#include "platform/worker/worker_process.h"

namespace {

using webkit::NavigationStep;
using webkit::testing::WebViewControls;

// Keeps the decision handlers so that the test answers them when it chooses.
class HoldingDelegate : public WKNavigationDelegate {
 public:
  void decidePolicyForNavigationAction(const std::shared_ptr<WKWebView>&,
                                       const std::shared_ptr<WKNavigationAction>& action,
                                       ActionDecisionHandler handler) override {
    events.push_back("action " + std::to_string(action->navigationType()));
    actionHandlers.push_back(std::move(handler));
  }
  void decidePolicyForNavigationResponse(const std::shared_ptr<WKWebView>&,
                                         const std::shared_ptr<WKNavigationResponse>&,
                                         ResponseDecisionHandler handler) override {
    events.push_back("response");
    responseHandlers.push_back(std::move(handler));
  }
  void didStartProvisionalNavigation(const std::shared_ptr<WKWebView>&,
                                     const std::shared_ptr<WKNavigation>&) override {
    events.push_back("start");
  }
  void didFinishNavigation(const std::shared_ptr<WKWebView>& webView,
                           const std::shared_ptr<WKNavigation>&) override {
    events.push_back("finish " + webView->URL()->absoluteString());
  }
  void didFailNavigation(const std::shared_ptr<WKWebView>&, const std::shared_ptr<WKNavigation>&,
                         const std::shared_ptr<NSError>& error) override {
    events.push_back("fail " + error->domain + " " + std::to_string(error->code));
  }
  void didFailProvisionalNavigation(const std::shared_ptr<WKWebView>&,
                                    const std::shared_ptr<WKNavigation>&,
                                    const std::shared_ptr<NSError>& error) override {
    events.push_back("failProvisional " + error->domain + " " + std::to_string(error->code));
  }
  void webViewWebContentProcessDidTerminate(const std::shared_ptr<WKWebView>&) override {
    events.push_back("terminated");
  }

  std::vector<std::string> events;
  std::vector<ActionDecisionHandler> actionHandlers;
  std::vector<ResponseDecisionHandler> responseHandlers;
};

// Answers every decision at once with allow.
class AllowingDelegate : public HoldingDelegate {
 public:
  void decidePolicyForNavigationAction(const std::shared_ptr<WKWebView>& webView,
                                       const std::shared_ptr<WKNavigationAction>& action,
                                       ActionDecisionHandler handler) override {
    HoldingDelegate::decidePolicyForNavigationAction(webView, action, handler);
    handler(WKNavigationActionPolicyAllow);
  }
  void decidePolicyForNavigationResponse(const std::shared_ptr<WKWebView>& webView,
                                         const std::shared_ptr<WKNavigationResponse>& response,
                                         ResponseDecisionHandler handler) override {
    HoldingDelegate::decidePolicyForNavigationResponse(webView, response, handler);
    handler(responsePolicy);
  }
  WKNavigationResponsePolicy responsePolicy = WKNavigationResponsePolicyAllow;
};

class ChangeRecorder : public NSObject {
 public:
  void observeValueForKeyPath(const std::optional<std::string>& keyPath,
                              const std::shared_ptr<NSObject>&,
                              const std::optional<AnyValue::Dictionary>& change, void*) override {
    const AnyValue* value = change ? findValue(*change, "new") : nullptr;
    changes.emplace_back(keyPath.value_or("?"), value ? *value : AnyValue());
  }
  std::vector<std::pair<std::string, AnyValue>> changes;
};

std::shared_ptr<const NSURL> url(const std::string& text) {
  return std::make_shared<const NSURL>(text);
}

class WKWebViewNavigationTest : public ::testing::Test {
 protected:
  ~WKWebViewNavigationTest() override { dispatch::testing::drainUntilIdle(); }
  bool settle() {
    return dispatch::testing::runUntil(
        [&] { return WebViewControls::pendingNavigations(*webView) == 0; });
  }
  template <typename Delegate>
  std::shared_ptr<Delegate> attach() {
    auto delegate = std::make_shared<Delegate>();
    webView->setNavigationDelegate(delegate);
    return delegate;
  }

  std::shared_ptr<WKWebView> webView = makeObject<WKWebView>(NSRect{}, nullptr);
};

TEST_F(WKWebViewNavigationTest, ANewLoadReplacesAPendingOneAndLateOrRepeatedAnswersAreIgnored) {
  auto delegate = attach<HoldingDelegate>();
  webView->loadHTMLString("<title>One</title>", url("https://one.test/"));
  dispatch::testing::drainUntilIdle();
  ASSERT_EQ(delegate->actionHandlers.size(), 1u);
  // A Dart side that never decides: each new load replaces the one waiting, which fails as
  // cancelled, so loads never pile up, nor do their pages, though their decisions are kept.
  const std::string page = "<title>Two</title>" + std::string(1 << 20, 'p');
  std::vector<std::shared_ptr<WKNavigation>> replaced;
  for (int i = 0; i < 50; ++i) {
    replaced.push_back(webView->loadHTMLString(page, url("https://two.test/")));
    dispatch::testing::drainUntilIdle();
  }
  EXPECT_EQ(WebViewControls::pendingNavigations(*webView), 1u);
  ASSERT_EQ(delegate->actionHandlers.size(), 51u);
  EXPECT_EQ(std::count(delegate->events.begin(), delegate->events.end(),
                       "failProvisional NSURLErrorDomain -999"),
            50);
  replaced.pop_back();
  for (const auto& navigation : replaced) EXPECT_EQ(navigation.use_count(), 1);

  foundation::testing::setLogCapture(true);
  // The replaced load's answer changes nothing; a second answer is only logged.
  delegate->actionHandlers[0](WKNavigationActionPolicyAllow);
  delegate->actionHandlers[50](WKNavigationActionPolicyAllow);
  delegate->actionHandlers[50](WKNavigationActionPolicyCancel);
  dispatch::testing::drainUntilIdle();
  ASSERT_EQ(delegate->responseHandlers.size(), 1u);
  delegate->responseHandlers[0](WKNavigationResponsePolicyAllow);
  delegate->responseHandlers[0](WKNavigationResponsePolicyCancel);
  auto log = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  EXPECT_EQ(log.size(), 2u);
  ASSERT_TRUE(settle());
  EXPECT_EQ(std::vector<std::string>(delegate->events.end() - 3, delegate->events.end()),
            (std::vector<std::string>{"start", "response", "finish https://two.test/"}));
  EXPECT_EQ(webView->title(), "Two");
  EXPECT_FALSE(webView->canGoBack());
}

TEST_F(WKWebViewNavigationTest, ResponsePoliciesCancelWithAnErrorOrStopForADownload) {
  auto delegate = attach<AllowingDelegate>();
  webView->loadHTMLString("<title>Kept</title>", url("https://kept.test/"));
  ASSERT_TRUE(settle());

  delegate->events.clear();
  delegate->responsePolicy = WKNavigationResponsePolicyCancel;
  webView->loadHTMLString("<title>Refused</title>", url("https://refused.test/"));
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegate->events.back(), "failProvisional WebKitErrorDomain 102");
  EXPECT_EQ(webView->title(), "Kept");
  EXPECT_FALSE(webView->isLoading());
  EXPECT_FALSE(webView->canGoBack());

  delegate->events.clear();
  delegate->responsePolicy = WKNavigationResponsePolicyDownload;
  webView->loadHTMLString("<title>Saved</title>", url("https://saved.test/"));
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"action -1", "start", "response"}));
  EXPECT_EQ(webView->title(), "Kept");
  EXPECT_FALSE(webView->isLoading());
}

TEST_F(WKWebViewNavigationTest, AFailureAfterTheCommitIsANavigationFailure) {
  auto delegate = attach<AllowingDelegate>();
  WebViewControls::holdSteps(*webView);
  webView->loadHTMLString("<title>Half</title>", url("https://half.test/"));
  while (WebViewControls::currentStep(*webView) != NavigationStep::finish) {
    WebViewControls::releaseStep(*webView);
    ASSERT_TRUE(dispatch::testing::drainUntilIdle());
  }
  EXPECT_EQ(webView->title(), "Half");
  WebViewControls::failNavigation(*webView, makeObject<NSError>("Test", 9));
  WebViewControls::releaseSteps(*webView);
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegate->events.back(), "fail Test 9");
  EXPECT_FALSE(webView->isLoading());
  // Failing with nothing under way does nothing.
  WebViewControls::failNavigation(*webView, makeObject<NSError>("Test", 10));
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(delegate->events.back(), "fail Test 9");
}

TEST_F(WKWebViewNavigationTest, HistoryMovesBackForwardAndReloadsInPlaceTellingObservers) {
  auto delegate = attach<AllowingDelegate>();
  auto recorder = makeObject<ChangeRecorder>();
  for (const char* key : {"canGoBack", "canGoForward", "URL", "loading"}) {
    webView->addObserver(recorder, key, NSKeyValueObservingOptionNew, nullptr);
  }
  EXPECT_EQ(webView->goBack(), nullptr);
  EXPECT_EQ(webView->goForward(), nullptr);
  EXPECT_EQ(webView->reload(), nullptr);

  webView->loadHTMLString("<title>A</title>", url("https://a.test/"));
  ASSERT_TRUE(settle());
  webView->loadHTMLString("<title>B</title>", url("https://b.test/"));
  ASSERT_TRUE(settle());
  EXPECT_TRUE(webView->canGoBack());
  EXPECT_FALSE(webView->canGoForward());

  recorder->changes.clear();
  delegate->events.clear();
  ASSERT_NE(webView->goBack(), nullptr);
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->title(), "A");
  EXPECT_EQ(delegate->events.front(), "action 2");
  std::optional<AnyValue> script_title;
  webView->evaluateJavaScript("document.title",
                              [&](const AnyValue& value, const auto&) { script_title = value; });
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return script_title.has_value(); }));
  EXPECT_EQ(*script_title, AnyValue("A"));
  auto seen = [&](const std::string& key, const AnyValue& value) {
    for (const auto& change : recorder->changes) {
      if (change.first == key && change.second == value) return true;
    }
    return false;
  };
  EXPECT_TRUE(seen("canGoBack", AnyValue(false)));
  EXPECT_TRUE(seen("canGoForward", AnyValue(true)));
  EXPECT_TRUE(seen("loading", AnyValue(true)));
  EXPECT_EQ(recorder->changes.back().first, "loading");
  EXPECT_EQ(recorder->changes.back().second, AnyValue(false));

  delegate->events.clear();
  ASSERT_NE(webView->reload(), nullptr);
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegate->events.front(), "action 3");
  EXPECT_EQ(delegate->events.back(), "finish https://a.test/");
  EXPECT_TRUE(webView->canGoForward());

  ASSERT_NE(webView->goForward(), nullptr);
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->URL()->absoluteString(), "https://b.test/");
  EXPECT_FALSE(webView->canGoForward());

  // A new load from the middle of the history drops what lay ahead.
  webView->goBack();
  ASSERT_TRUE(settle());
  webView->loadHTMLString("<title>C</title>", url("https://c.test/"));
  ASSERT_TRUE(settle());
  EXPECT_TRUE(webView->canGoBack());
  EXPECT_FALSE(webView->canGoForward());
  webView->goBack();
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->title(), "A");
  webView->removeObserver(*recorder, "canGoBack");
}

TEST_F(WKWebViewNavigationTest, AnEndedContentProcessFailsTheLoadAndForgetsThePage) {
  auto delegate = attach<HoldingDelegate>();
  std::optional<AnyValue> result;
  webView->evaluateJavaScript("var kept = 1; kept",
                              [&](const AnyValue& value, const auto&) { result = value; });
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return result.has_value(); }));
  webView->loadHTMLString("<title>Never</title>", nullptr);
  dispatch::testing::drainUntilIdle();
  ASSERT_EQ(delegate->actionHandlers.size(), 1u);

  WebViewControls::terminateWebContentProcess(*webView);
  EXPECT_TRUE(delegate->events.back() != "terminated") << "told inside the control";
  delegate->actionHandlers[0](WKNavigationActionPolicyAllow);
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(delegate->events, (std::vector<std::string>{
                                  "action -1", "failProvisional WKErrorDomain 2", "terminated"}));
  EXPECT_EQ(WebViewControls::pendingNavigations(*webView), 0u);

  result.reset();
  webView->evaluateJavaScript("typeof kept",
                              [&](const AnyValue& value, const auto&) { result = value; });
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return result.has_value(); }));
  EXPECT_EQ(*result, AnyValue("undefined"));
}

// Children of this process, ended ones not yet reaped included.
size_t childProcesses() {
  size_t count = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream children(task.path() / "children");
    for (std::string pid; children >> pid;) ++count;
  }
  return count;
}

// The lowest descriptor free now: a soft limit there leaves no descriptor to be made.
rlim_t lowestFreeDescriptor() {
  int fd = ::dup(STDERR_FILENO);
  if (fd < 0) return 0;
  ::close(fd);
  return static_cast<rlim_t>(fd);
}

TEST_F(WKWebViewNavigationTest, AContentProcessWithoutDescriptorsFailsTheLoadSayingSoNotEnded) {
  // The same steps once with descriptors to spare, so that what the sanitizers check of them
  // first (which takes descriptors of its own) is checked before there are none.
  auto delegate = attach<HoldingDelegate>();
  // Held by the completions too, which may outlive a failed test.
  auto answer = std::make_shared<std::shared_ptr<NSError>>();
  std::shared_ptr<NSError>& error = *answer;
  auto evaluate = [&] {
    error.reset();
    webView->evaluateJavaScript("1", [answer](const AnyValue&, const auto& failure) {
      *answer =
          failure ? failure : NSError::errorWithDomain("none", 0, AnyValue::Dictionary{});
    });
  };
  for (int i = 0; i < 2; ++i) {  // a first process, and one taking the place of one ended
    evaluate();
    ASSERT_TRUE(dispatch::testing::runUntil([&] { return error != nullptr; }));
    WebViewControls::terminateWebContentProcess(*webView);
  }
  bool refused = false;
  auto missing = worker::WorkerProcess::start(
      worker::WorkerOptions{.executable = "no_such_worker"}, dispatch_get_main_queue(),
      worker::WorkerProcess::MessageHandler(), [&](worker::WorkerEnd) { refused = true; });
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return refused; }));
  // The ended processes' descriptors are let go by now, not while there are none to be had.
  ASSERT_TRUE(dispatch::testing::runUntil([] { return childProcesses() == 0; }));
  dispatch::testing::runUntil([] { return false; }, std::chrono::milliseconds(200));

  // A load under way when the process is to start, which it cannot: no descriptor is left.
  webView->loadHTMLString("<script>document.title = 'never'</script>", nullptr);
  dispatch::testing::drainUntilIdle();
  ASSERT_EQ(delegate->actionHandlers.size(), 1u);
  delegate->events.clear();
  {
    foundation::testing::DescriptorLimit limit(lowestFreeDescriptor());
    ASSERT_TRUE(limit.active());
    evaluate();
  }
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return error != nullptr; }));
  delegate->actionHandlers[0](WKNavigationActionPolicyAllow);
  ASSERT_TRUE(dispatch::testing::runUntil([&] {
    for (auto& handler : std::exchange(delegate->responseHandlers, {})) {
      handler(WKNavigationResponsePolicyAllow);
    }
    return WebViewControls::pendingNavigations(*webView) == 0;
  }));
  dispatch::testing::drainUntilIdle();
  // Nothing was running, so nothing is said to have ended; the load and the script fail with
  // the resource the system ran out of.
  EXPECT_TRUE(std::find(delegate->events.begin(), delegate->events.end(), "terminated") ==
              delegate->events.end());
  ASSERT_FALSE(delegate->events.empty());
  EXPECT_EQ(delegate->events.back(), "failProvisional NSPOSIXErrorDomain 24")
      << ::testing::PrintToString(delegate->events);
  EXPECT_EQ(error->domain, "NSPOSIXErrorDomain");
  EXPECT_EQ(error->code, EMFILE);
  const AnyValue* description =
      findValue(error->userInfo(), NSLocalizedDescriptionKey);
  ASSERT_NE(description, nullptr);
  EXPECT_NE(description->getIf<std::string>()->find("Too many open files"), std::string::npos);

  // With descriptors to be had again, the next load runs its scripts.
  attach<AllowingDelegate>();
  webView->loadHTMLString("<script>document.title = 'at last'</script>", nullptr);
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->title(), "at last");
}

class Collector : public NSObject, public WKScriptMessageHandler {
 public:
  void userContentController(const std::shared_ptr<WKUserContentController>&,
                             const std::shared_ptr<WKScriptMessage>& message) override {
    bodies.push_back(message->body());
  }
  std::vector<AnyValue> bodies;
};

TEST_F(WKWebViewNavigationTest, ScriptMessagesArriveAsPostedBeforeTheScriptsAnswer) {
  auto collector = makeObject<Collector>();
  webView->configuration()->userContentController()->addScriptMessageHandler(collector, "bridge");
  std::optional<size_t> delivered_at_answer;
  webView->evaluateJavaScript(
      "window.webkit.messageHandlers.bridge.postMessage('hi'); 1",
      [&](const AnyValue&, const auto&) { delivered_at_answer = collector->bodies.size(); });
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return delivered_at_answer.has_value(); }));
  EXPECT_EQ(delivered_at_answer, 1u);
  EXPECT_EQ(collector->bodies[0], AnyValue("hi"));
  // A handler removed before the script runs is gone from the page.
  webView->evaluateJavaScript("window.webkit.messageHandlers.bridge.postMessage('late')", nullptr);
  webView->configuration()->userContentController()->removeScriptMessageHandlerForName("bridge");
  ASSERT_TRUE(dispatch::testing::drainUntilIdle());
  EXPECT_EQ(collector->bodies.size(), 1u);
}

TEST_F(WKWebViewNavigationTest, ScriptsOfAViewThatHasGoneCompleteWithAnErrorOrNotAtAll) {
  std::shared_ptr<NSError> error;
  webView->evaluateJavaScript("1", [&](const AnyValue&, const auto& failure) { error = failure; });
  webView->evaluateJavaScript("2", nullptr);
  webView.reset();
  ASSERT_TRUE(dispatch::testing::drainUntilIdle());
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, WKErrorWebViewInvalidated);
  webView = makeObject<WKWebView>(NSRect{}, nullptr);
}

}  // namespace

namespace {

TEST_F(WKWebViewNavigationTest, TheBackForwardListKeepsItsLatestPagesOnly) {
  const std::string page(1 << 20, 'p');
  // Each commit costs the same however long the list is: the host's CPU time for the last fifty
  // loads is about that of the first fifty (the pages' own processes are not counted).
  std::vector<std::clock_t> cpu_at{std::clock()};
  for (int i = 0; i < 150; ++i) {
    webView->loadHTMLString("<title>" + std::to_string(i) + "</title>" + page, nullptr);
    ASSERT_TRUE(settle());
    if ((i + 1) % 50 == 0) cpu_at.push_back(std::clock());
  }
  const double first = double(cpu_at[1] - cpu_at[0]), last = double(cpu_at[3] - cpu_at[2]);
  EXPECT_LT(last, 3 * first + 0.5 * CLOCKS_PER_SEC) << first / CLOCKS_PER_SEC << " s, then "
                                                    << last / CLOCKS_PER_SEC << " s";
  int steps_back = 0;
  while (webView->canGoBack()) {
    ASSERT_NE(webView->goBack(), nullptr);
    ASSERT_TRUE(settle());
    ++steps_back;
  }
  // At most 100 entries, holding at most 64 MiB of HTML: here the bytes rule.
  EXPECT_GT(steps_back, 50);
  EXPECT_LE(static_cast<size_t>(steps_back + 1) * page.size(), size_t{64} << 20);
  EXPECT_EQ(webView->title(), std::to_string(149 - steps_back));
}

}  // namespace
