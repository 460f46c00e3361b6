// The web view model: navigations step by step, loads of each kind, scripts and script messages.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/webkit/testing/process_cpu_time.h"
#include "platform/webkit/testing/web_view_controls.h"
#include "platform/webkit/webkit.h"

namespace {

using webkit::NavigationStep;
using webkit::testing::WebViewControls;

// Records the callbacks by name; answers with the policies and credential it is given.
class RecordingDelegate : public WKNavigationDelegate {
 public:
  void didFinishNavigation(const std::shared_ptr<WKWebView>&,
                           const std::shared_ptr<WKNavigation>&) override {
    events.push_back("finish");
  }
  void didStartProvisionalNavigation(const std::shared_ptr<WKWebView>&,
                                     const std::shared_ptr<WKNavigation>&) override {
    events.push_back("start");
  }
  void didFailNavigation(const std::shared_ptr<WKWebView>&, const std::shared_ptr<WKNavigation>&,
                         const std::shared_ptr<NSError>& error) override {
    events.push_back("fail " + std::to_string(error->code));
  }
  void didFailProvisionalNavigation(const std::shared_ptr<WKWebView>&,
                                    const std::shared_ptr<WKNavigation>&,
                                    const std::shared_ptr<NSError>& error) override {
    events.push_back("failProvisional " + std::to_string(error->code));
  }
  void webViewWebContentProcessDidTerminate(const std::shared_ptr<WKWebView>&) override {
    events.push_back("terminated");
  }
  void decidePolicyForNavigationAction(const std::shared_ptr<WKWebView>&,
                                       const std::shared_ptr<WKNavigationAction>&,
                                       ActionDecisionHandler handler) override {
    events.push_back("action");
    handler(actionPolicy);
  }
  void decidePolicyForNavigationResponse(const std::shared_ptr<WKWebView>&,
                                         const std::shared_ptr<WKNavigationResponse>& response,
                                         ResponseDecisionHandler handler) override {
    auto http = std::dynamic_pointer_cast<NSHTTPURLResponse>(response->response());
    events.push_back("response" + (http ? " " + std::to_string(http->statusCode()) : ""));
    handler(WKNavigationResponsePolicyAllow);
  }
  void didReceiveAuthenticationChallenge(
      const std::shared_ptr<WKWebView>&,
      const std::shared_ptr<NSURLAuthenticationChallenge>& challenge,
      ChallengeCompletionHandler handler) override {
    events.push_back("challenge " + challenge->protectionSpace()->realm().value_or(""));
    handler(NSURLSessionAuthChallengeUseCredential, credential);
  }

  std::vector<std::string> events;
  WKNavigationActionPolicy actionPolicy = WKNavigationActionPolicyAllow;
  std::shared_ptr<NSURLCredential> credential;
};

class Collector : public NSObject, public WKScriptMessageHandler {
 public:
  void userContentController(const std::shared_ptr<WKUserContentController>&,
                             const std::shared_ptr<WKScriptMessage>& message) override {
    messages.push_back(message);
  }
  std::vector<std::shared_ptr<WKScriptMessage>> messages;
};

class WKWebViewTest : public ::testing::Test {
 protected:
  WKWebViewTest() { webView->setNavigationDelegate(delegate); }
  ~WKWebViewTest() override {
    dispatch::testing::drainUntilIdle();
    webkit::testing::removeAllServedResponses();
  }
  bool settle() {
    return dispatch::testing::runUntil(
        [&] { return WebViewControls::pendingNavigations(*webView) == 0; });
  }
  std::shared_ptr<const NSURL> url(const std::string& text) {
    return std::make_shared<const NSURL>(text);
  }

  std::shared_ptr<WKWebView> webView = makeObject<WKWebView>(NSRect{}, nullptr);
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

TEST_F(WKWebViewTest, EachStepRunsOnALaterTurnAndCanBeHeldFailedOrTerminated) {
  WebViewControls::holdSteps(*webView);
  webView->loadHTMLString("<title>T</title>", nullptr);
  dispatch::testing::drainUntilIdle();
  EXPECT_TRUE(delegate->events.empty());
  EXPECT_EQ(WebViewControls::currentStep(*webView), NavigationStep::actionPolicy);
  WebViewControls::releaseStep(*webView);
  EXPECT_TRUE(delegate->events.empty()) << "ran inside the release";
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(delegate->events, std::vector<std::string>{"action"});
  WebViewControls::releaseStep(*webView);
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(WebViewControls::currentStep(*webView), NavigationStep::responsePolicy);
  EXPECT_TRUE(webView->isLoading());
  WebViewControls::failNavigation(*webView, makeObject<NSError>("Test", 7));
  WebViewControls::releaseSteps(*webView);
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegate->events, (std::vector<std::string>{"action", "start", "failProvisional 7"}));
  EXPECT_FALSE(webView->isLoading());

  WebViewControls::terminateWebContentProcess(*webView);
  dispatch::testing::drainUntilIdle();
  EXPECT_EQ(delegate->events.back(), "terminated");
}

TEST_F(WKWebViewTest, RequestsComeFromServedResponsesBehindChallengesAndBuildHistory) {
  webkit::ServedResponse page;
  page.body = "<title>Page</title>";
  webkit::testing::setServedResponse("https://a.test/", page);
  page.requiredCredentials = webkit::ServedResponse::RequiredCredentials{"realm", "u", "p"};
  webkit::testing::setServedResponse("https://b.test/", page);
  delegate->credential = makeObject<NSURLCredential>(
      "u", "wrong", NSURLCredentialPersistenceNone);

  URLRequest request;
  for (const char* address : {"https://a.test/", "https://b.test/", "https://missing.test/"}) {
    request.url = url(address);
    webView->loadRequest(request);
    ASSERT_TRUE(settle());
  }
  EXPECT_EQ(delegate->events,
            (std::vector<std::string>{"action", "start", "response 200", "finish", "action",
                                      "start", "challenge realm", "response 401", "finish",
                                      "action", "start", "failProvisional -1003"}));
  EXPECT_TRUE(webView->canGoBack());
  webView->goBack();
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->URL()->absoluteString(), "https://a.test/");
  EXPECT_TRUE(webView->canGoForward());

  delegate->actionPolicy = WKNavigationActionPolicyCancel;
  delegate->events.clear();
  webView->reload();
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegate->events, std::vector<std::string>{"action"});
}

TEST_F(WKWebViewTest, FilesLoadOnlyUnderTheirReadAccessFolder) {
  auto folder =
      std::filesystem::temp_directory_path() / ("wk_web_view_test_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "site");
  std::ofstream(folder / "site" / "index.html") << "<title>Local</title>";
  std::ofstream(folder / "secret.html") << "<title>Secret</title>";
  auto fileURL = [&](const std::filesystem::path& path) {
    return url("file://" + path.string() + (std::filesystem::is_directory(path) ? "/" : ""));
  };
  webView->loadFileURL(fileURL(folder / "site" / "index.html"), fileURL(folder / "site"));
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->title(), "Local");
  webView->loadFileURL(fileURL(folder / "secret.html"), fileURL(folder / "site"));
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegate->events.back(), "failProvisional -1102");
  // Names no file inside can have: one that goes on past a file, as if it were a folder, and
  // one longer than a name may be, are missing, as the system would say.
  for (const std::string& name : std::vector<std::string>{"index.html/", "index.html/.",
                                                          std::string(300, 'n') + ".html"}) {
    webView->loadFileURL(url("file://" + (folder / "site").string() + "/" + name),
                         fileURL(folder / "site"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(delegate->events.back(), "failProvisional -1100") << name;
  }
  std::filesystem::remove_all(folder);
}

// A FIFO that nobody writes to: opening it to read blocks. Should that happen, a watchdog opens
// its writing end after a bound, so that the test fails instead of hanging.
class FifoWithoutWriter {
 public:
  explicit FifoWithoutWriter(std::filesystem::path path) : path_(std::move(path)) {
    EXPECT_EQ(::mkfifo(path_.c_str(), 0600), 0);
    watchdog_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      if (done_changed_.wait_for(lock, std::chrono::seconds(30), [this] { return done_; })) return;
      blocked_a_reader_ = true;
      int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
    });
  }
  ~FifoWithoutWriter() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    done_changed_.notify_all();
    watchdog_.join();
  }
  bool blockedAReader() {
    std::lock_guard lock(mutex_);
    return blocked_a_reader_;
  }

 private:
  std::filesystem::path path_;
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  bool blocked_a_reader_ = false;
  std::thread watchdog_;
};

TEST_F(WKWebViewTest, OnlyRegularFilesWithinTheSizeLimitLoadAndOthersFailTheLoad) {
  auto folder =
      std::filesystem::temp_directory_path() / ("wk_web_view_files_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "folder.html");
  {
    std::ofstream large(folder / "large.html");
    large << "<title>Large</title>";
    std::filesystem::resize_file(folder / "large.html", (std::uintmax_t{64} << 20) + 1);
  }
  auto fileURL = [&](const std::string& path) { return url("file://" + path); };
  FifoWithoutWriter fifo(folder / "fifo.html");
  struct Case {
    std::string file;
    std::string folder;
    std::string event;
  };
  for (const auto& test_case : {
           Case{(folder / "fifo.html").string(), folder.string() + "/", "failProvisional -1102"},
           Case{"/dev/zero", "/dev/", "failProvisional -1102"},
           Case{(folder / "folder.html").string(), folder.string() + "/", "failProvisional -1101"},
           Case{(folder / "large.html").string(), folder.string() + "/", "failProvisional -1103"},
       }) {
    webView->loadFileURL(fileURL(test_case.file), fileURL(test_case.folder));
    ASSERT_TRUE(settle()) << test_case.file;
    ASSERT_FALSE(fifo.blockedAReader()) << "the load blocked on " << test_case.file;
    ASSERT_EQ(delegate->events.back(), test_case.event) << test_case.file;
    EXPECT_FALSE(webView->isLoading());
  }
  EXPECT_EQ(webView->title(), std::nullopt);
  std::filesystem::remove_all(folder);
}

TEST_F(WKWebViewTest, ScriptsResultsUserScriptsAndMessagesReachTheirHandlers) {
  auto configuration = makeObject<WKWebViewConfiguration>();
  auto collector = makeObject<Collector>();
  configuration->userContentController()->addScriptMessageHandler(collector, "bridge");
  configuration->userContentController()->addUserScript(makeObject<WKUserScript>(
      "window.webkit.messageHandlers.bridge.postMessage({ready: [1, 'two', null]});",
      WKUserScriptInjectionTimeAtDocumentEnd, true));
  auto view = makeObject<WKWebView>(NSRect{}, configuration);
  EXPECT_NE(view->configuration(), view->configuration());
  EXPECT_EQ(view->configuration()->userContentController(), configuration->userContentController());

  // Tags are read whatever their case.
  view->loadHTMLString("<Script>document.title = 'from page';</SCRIPT>", nullptr);
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return collector->messages.size() == 1; }));
  EXPECT_EQ(view->title(), "from page");
  EXPECT_EQ(collector->messages[0]->name(), "bridge");
  AnyValue expected(AnyValue::Dictionary{
      {"ready", AnyValue::Array{int64_t{1}, "two", NSNull{}}}});
  EXPECT_EQ(collector->messages[0]->body(), expected);

  std::vector<std::pair<AnyValue, int64_t>> results;
  for (const char* script :
       {"throw 'x'", "[1.5, true]", "new Date()", "missing.call()", "'\xF0\x9F\x98\x80'"}) {
    view->evaluateJavaScript(script, [&](const AnyValue& value, const auto& error) {
      results.emplace_back(value, error ? error->code : 0);
    });
  }
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return results.size() == 5; }));
  EXPECT_EQ(results[0].second, WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(results[1].first, AnyValue(AnyValue::Array{1.5, true}));
  EXPECT_EQ(results[2].second, WKErrorJavaScriptResultTypeIsUnsupported);
  EXPECT_EQ(results[3].second, WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(results[4].first, AnyValue("\xF0\x9F\x98\x80"));
}

TEST_F(WKWebViewTest, ANoscriptElementIsMarkupOnlyWhenThePageRunsNoScripts) {
  const char* page = "<noscript><title>No scripts</title></noscript><script>1</script>";
  webView->loadHTMLString(page, nullptr);
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->title(), std::nullopt);
  webView->configuration()->preferences()->setJavaScriptEnabled(false);
  webView->loadHTMLString(page, nullptr);
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->title(), "No scripts");
}

TEST_F(WKWebViewTest, APageLoadsScriptsShareOneBudgetAndThePageLoadsOn) {
  auto configuration = makeObject<WKWebViewConfiguration>();
  configuration->userContentController()->addUserScript(
      makeObject<WKUserScript>("while (true) {}", WKUserScriptInjectionTimeAtDocumentStart, true));
  auto view = makeObject<WKWebView>(NSRect{}, configuration);
  view->setNavigationDelegate(delegate);
  // Long enough that a script that does end is never cut short on a busy machine.
  WebViewControls::setScriptTimeBudget(*view, std::chrono::milliseconds(250));
  foundation::testing::setLogCapture(true);
  // The page's content process, started first so that its CPU time can be counted.
  std::optional<AnyValue> started;
  view->evaluateJavaScript("1", [&](AnyValue value, const auto&) { started = value; });
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return started.has_value(); }));
  pid_t process = WebViewControls::contentProcessId(*view);
  webkit::testing::ContentCpuMeter meter(process);
  view->loadHTMLString(
      "<title>Loops</title><script>document.title = 'before the loop';</script>"
      "<script>for (;;) {}</script><script>document.title = 'after the loop';</script>"
      "<script>throw new Error('page broke');</script>",
      nullptr);
  ASSERT_TRUE(
      dispatch::testing::runUntil([&] { return WebViewControls::pendingNavigations(*view) == 0; }));
  // The loops of the user script and the page spent the load's one budget (in the page's CPU
  // time: two budgets would have ended its process); the scripts after them failed at once.
  EXPECT_EQ(WebViewControls::contentProcessId(*view), process);
  EXPECT_GE(meter.seconds(process), 0.25 - webkit::testing::runningProcessReadingError());
  EXPECT_LT(meter.seconds(process), 2 * 0.25);
  EXPECT_EQ(delegate->events.back(), "finish");
  EXPECT_EQ(view->title(), "Loops");
  // Each failed page script is logged with what went wrong, not only which object held it.
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  auto logged = [&](const std::string& text) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  };
  const std::string failure = "a page script failed: Error Domain=WKErrorDomain Code=" +
                              std::to_string(WKErrorJavaScriptExceptionOccurred);
  EXPECT_EQ(logged(failure), 5) << ::testing::PrintToString(lines);
  EXPECT_EQ(logged("execution timeout"), 5) << ::testing::PrintToString(lines);

  std::vector<std::pair<AnyValue, int64_t>> results;
  for (const char* script : {"while (true) {}", "document.title"}) {
    view->evaluateJavaScript(script, [&](const AnyValue& value, const auto& error) {
      results.emplace_back(value, error ? error->code : 0);
    });
  }
  ASSERT_TRUE(dispatch::testing::runUntil([&] { return results.size() == 2; }));
  EXPECT_EQ(results[0].second, WKErrorJavaScriptExceptionOccurred);
  // Each evaluation has a budget of its own, and the page is still there.
  EXPECT_EQ(results[1], std::make_pair(AnyValue("Loops"), int64_t{0}));
}

TEST_F(WKWebViewTest, DocumentEndUserScriptsRunOnWhatIsLeftOfTheLoadsBudget) {
  constexpr double kBudget = 0.4;
  auto startThenEnd = [&](const char* atStart, const char* page) {
    auto configuration = makeObject<WKWebViewConfiguration>();
    auto* scripts = configuration->userContentController().get();
    scripts->addUserScript(
        makeObject<WKUserScript>(atStart, WKUserScriptInjectionTimeAtDocumentStart, true));
    for (const char* atEnd : {"document.title = 'the end ran';", "for (;;) {}"}) {
      scripts->addUserScript(
          makeObject<WKUserScript>(atEnd, WKUserScriptInjectionTimeAtDocumentEnd, true));
    }
    auto view = makeObject<WKWebView>(NSRect{}, configuration);
    view->setNavigationDelegate(delegate);
    WebViewControls::setScriptTimeBudget(
        *view, std::chrono::milliseconds(static_cast<int>(kBudget * 1000)));
    std::optional<AnyValue> started;
    view->evaluateJavaScript("1", [&](AnyValue value, const auto&) { started = value; });
    EXPECT_TRUE(dispatch::testing::runUntil([&] { return started.has_value(); }));
    pid_t process = WebViewControls::contentProcessId(*view);
    webkit::testing::ContentCpuMeter meter(process);
    view->loadHTMLString(page, nullptr);
    EXPECT_TRUE(dispatch::testing::runUntil(
        [&] { return WebViewControls::pendingNavigations(*view) == 0; }));
    return std::make_pair(view, meter.seconds(process));
  };

  // Spent before the document ends (by a user script, by the page's own): the scripts at its end
  // are skipped, and the whole load costs one budget of the page's CPU time, not two.
  for (const auto& [atStart, page] :
       {std::pair{"for (;;) {}", "<title>Kept</title>"},
        std::pair{"1", "<title>Kept</title><script>for (;;) {}</script>"}}) {
    auto [view, seconds] = startThenEnd(atStart, page);
    EXPECT_EQ(delegate->events.back(), "finish") << page;
    EXPECT_EQ(view->title(), "Kept") << page;
    EXPECT_GE(seconds, 0.9 * kBudget) << page;
    EXPECT_LT(seconds, 1.5 * kBudget) << page;
  }
  // What the scripts before did not use is the end's: it runs, then its loop stops at the budget.
  auto [view, seconds] = startThenEnd("1", "<title>Kept</title>");
  EXPECT_EQ(view->title(), "the end ran");
  EXPECT_GE(seconds, 0.9 * kBudget);
  EXPECT_LT(seconds, 1.5 * kBudget);
}

TEST_F(WKWebViewTest, DelegatesAreHeldWeakly) {
  std::weak_ptr<RecordingDelegate> weak = delegate;
  delegate.reset();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(webView->navigationDelegate(), nullptr);
  webView->loadHTMLString("", nullptr);
  ASSERT_TRUE(settle());
  EXPECT_EQ(webView->URL()->absoluteString(), "about:blank");
}

}  // namespace
