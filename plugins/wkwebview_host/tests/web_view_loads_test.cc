// Loads of every kind, history, failures and policies, driven through the channels while the web
// view runs its navigations step by step.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/wkwebview_host/tests/web_view_test_support.h"

namespace wkwebview_host::testing {
namespace {

namespace fs = std::filesystem;
using flutter::Value;
using flutter::ValueList;
using webkit::testing::WebViewControls;

// A main bundle with Flutter assets, in place before the plug-in looks for it.
class BundleWithAssets {
 protected:
  BundleWithAssets() {
    fs::create_directories(assets / "site");
    std::ofstream(assets / "site" / "asset.html") << "<title>Asset</title>";
    foundation::testing::setMainBundlePath(bundle.string());
  }
  ~BundleWithAssets() {
    foundation::testing::setMainBundlePath(std::nullopt);
    fs::remove_all(root);
  }

  fs::path root = fs::path(::testing::TempDir()) / ("web_view_loads_" + std::to_string(::getpid()));
  fs::path bundle = root / "Test.app";
  fs::path assets = bundle / "Contents/Resources/flutter_assets";
};

class WebViewLoadsTest : protected BundleWithAssets, public WebViewTest {
 protected:
  WebViewLoadsTest() {
    attachNavigationDelegate();
    fs::create_directories(root / "files" / "site");
    std::ofstream(root / "files" / "site" / "index.html") << "<title>File</title>";
    std::ofstream(root / "files" / "secret.html") << "<title>Secret</title>";
  }
  ~WebViewLoadsTest() override { foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0}); }

  static std::string fileUrl(const fs::path& path) { return "file://" + path.string(); }
  // Loads the HTML under `url` and waits for the end.
  void loadPage(const std::string& title, const std::string& url) {
    EXPECT_EQ(onWebView("loadHtmlString", {Value("<title>" + title + "</title>"), Value(url)}),
              ok());
    EXPECT_TRUE(settle());
  }
};

TEST_F(WebViewLoadsTest, LoadsOfEveryKindReportEachStepInOrderEachOnItsOwnLaterTurn) {
  webkit::ServedResponse served;
  served.body = "<title>Served</title>";
  webkit::testing::setServedResponse("https://served.test/page", served);
  ASSERT_EQ(call("URLRequest", "pigeon_defaultConstructor", {id(10), Value("https://served.test/page")}),
            ok());

  struct Load {
    std::string operation;
    ValueList arguments;
    std::string url;
    std::string title;
  };
  const std::string asset_url = fileUrl(assets / "site" / "asset.html");
  const Load loads[] = {
      {"load", {ref(10)}, "https://served.test/page", "Served"},
      {"loadHtmlString", {Value("<title>Html</title>"), Value("https://base.test/")},
       "https://base.test/", "Html"},
      {"loadFileUrl",
       {Value((root / "files/site/index.html").string()), Value((root / "files/site").string())},
       fileUrl(root / "files/site/index.html"), "File"},
      {"loadFlutterAsset", {Value("site/asset.html")}, asset_url, "Asset"},
  };
  for (const auto& load : loads) {
    SCOPED_TRACE(load.operation);
    received->clear();
    WebViewControls::holdSteps(*webView);
    ASSERT_EQ(onWebView(load.operation, load.arguments), ok());
    std::vector<size_t> calls_per_step;
    while (WebViewControls::pendingNavigations(*webView) > 0 && calls_per_step.size() < 8) {
      size_t before = delegateCalls().size();
      WebViewControls::releaseStep(*webView);
      EXPECT_EQ(delegateCalls().size(), before) << "called inside the release";
      dart.drain();
      calls_per_step.push_back(delegateCalls().size() - before);
    }
    WebViewControls::releaseSteps(*webView);
    // Action policy, provisional start, response policy, commit (silent), finish.
    EXPECT_EQ(calls_per_step, (std::vector<size_t>{1, 1, 1, 0, 1}));
    EXPECT_EQ(delegateCalls(),
              (std::vector<std::string>{"decidePolicyForNavigationAction",
                                        "didStartProvisionalNavigation",
                                        "decidePolicyForNavigationResponse", "didFinishNavigation"}));
    EXPECT_EQ(lastDelegateCall("didStartProvisionalNavigation"),
              (ValueList{ref(kNavigationDelegate), ref(kWebView), Value(load.url)}));
    EXPECT_EQ(lastDelegateCall("didFinishNavigation"),
              (ValueList{ref(kNavigationDelegate), ref(kWebView), Value(load.url)}));
    // The action is announced, with its request, before the question about it.
    std::vector<std::string> order;
    for (const auto& message : *received) order.push_back(message.channel);
    auto announced = std::find(order.begin(), order.end(), "WKNavigationAction.pigeon_newInstance");
    auto asked = std::find(order.begin(), order.end(),
                           "WKNavigationDelegate.decidePolicyForNavigationAction");
    EXPECT_LT(announced, asked);
    EXPECT_EQ(onWebView("getTitle"), ok(Value(load.title)));
    EXPECT_EQ(onWebView("getUrl"), ok(Value(load.url)));
    EXPECT_EQ(onWebView("getEstimatedProgress"), ok(Value(1.0)));
  }
}

TEST_F(WebViewLoadsTest, FilesLoadWithinTheirReadAccessFolderOnly) {
  const std::string index = (root / "files/site/index.html").string();
  // A read-access path that names the file itself still lets it load.
  EXPECT_EQ(onWebView("loadFileUrl", {Value(index), Value(index)}), ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(onWebView("getTitle"), ok(Value("File")));

  EXPECT_EQ(onWebView("loadFileUrl", {Value((root / "files/secret.html").string()),
                                      Value((root / "files/site").string())}),
            ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(onWebView("getTitle"), ok(Value("File")));
  auto failed = lastDelegateCall("didFailProvisionalNavigation");
  ASSERT_EQ(failed.size(), 3u);
  auto errors = receivedOn("NSError.pigeon_newInstance");
  ASSERT_FALSE(errors.empty());
  const auto& error = *errors.back().message.asList();
  EXPECT_EQ(failed[2], refTo(error[0]));
  EXPECT_EQ(error[1], Value(int64_t{-1102}));
  EXPECT_EQ(error[2], Value("NSURLErrorDomain"));

  // Neither path is checked before the load; a missing file fails the navigation.
  EXPECT_EQ(onWebView("loadFileUrl", {Value((root / "files/none.html").string()),
                                      Value((root / "files").string())}),
            ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ((*receivedOn("NSError.pigeon_newInstance").back().message.asList())[1],
            Value(int64_t{-1100}));
  // A device is no page: the load fails instead of reading forever.
  EXPECT_EQ(onWebView("loadFileUrl", {Value("/dev/zero"), Value("/dev")}), ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ((*receivedOn("NSError.pigeon_newInstance").back().message.asList())[1],
            Value(int64_t{-1102}));
  // An asset that is not in the bundle fails before anything loads.
  auto missing = onWebView("loadFlutterAsset", {Value("site/missing page.html")});
  EXPECT_EQ(missing, failure("HWVURLParsingError",
                             Value("Failed to find asset with filepath: "
                                   "`flutter_assets/site/missing page.html`.")));
}

TEST_F(WebViewLoadsTest, AssetsMissingFromTheBundleAnswerTheParsingErrorAndLoadNothing) {
  for (const std::string asset :
       {"site/missing.html", "../../../../files/site/index.html", "../../../../files/site/index",
        "/etc/hostname"}) {
    SCOPED_TRACE(asset);
    EXPECT_EQ(onWebView("loadFlutterAsset", {Value(asset)}),
              failure("HWVURLParsingError",
                      Value("Failed to find asset with filepath: `flutter_assets/" + asset + "`.")));
  }
  ASSERT_TRUE(settle());
  EXPECT_TRUE(delegateCalls().empty());
}

TEST_F(WebViewLoadsTest, TextHoldingANulIsNeverAURLOrAPath) {
  using namespace std::string_literals;
  // Each names an existing page up to its NUL.
  const std::string index = (root / "files/site/index.html").string();
  EXPECT_EQ(call("URLRequest", "pigeon_defaultConstructor",
                 {id(20), Value("https://served.test/page\0evil"s)}).asList()->front(),
            Value("ConstructorReturnedNullError"));
  EXPECT_EQ(onWebView("loadHtmlString", {Value("<title>Html</title>"),
                                         Value("https://base.test/\0evil"s)}).asList()->front(),
            Value("invalid-argument"));
  EXPECT_EQ(onWebView("loadFlutterAsset", {Value("site/asset.html\0.evil"s)}).asList()->front(),
            Value("HWVURLParsingError"));
  ASSERT_TRUE(settle());
  EXPECT_TRUE(delegateCalls().empty());

  // A path is not checked before the load; its navigation fails.
  EXPECT_EQ(onWebView("loadFileUrl", {Value(index + "\0.evil"s), Value((root / "files").string())}),
            ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegateCalls().back(), "didFailProvisionalNavigation");
  EXPECT_EQ((*receivedOn("NSError.pigeon_newInstance").back().message.asList())[1],
            Value(int64_t{-1002}));
  EXPECT_EQ(onWebView("loadFileUrl", {Value(index), Value((root / "files/site").string() + "\0"s)}),
            ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(delegateCalls().back(), "didFailProvisionalNavigation");
  EXPECT_EQ(onWebView("getTitle"), ok());
}

TEST_F(WebViewLoadsTest, HistoryGoesBackForwardAndReloadsThroughTheChannels) {
  EXPECT_EQ(onWebView("canGoBack"), ok(Value(false)));
  loadPage("A", "https://a.test/");
  loadPage("B", "https://b.test/");
  EXPECT_EQ(onWebView("canGoBack"), ok(Value(true)));
  EXPECT_EQ(onWebView("canGoForward"), ok(Value(false)));

  EXPECT_EQ(onWebView("goBack"), ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(onWebView("getUrl"), ok(Value("https://a.test/")));
  EXPECT_EQ(onWebView("canGoForward"), ok(Value(true)));
  // The action of a history move says what kind of move it was.
  auto actions = receivedOn("WKNavigationAction.pigeon_newInstance");
  ASSERT_FALSE(actions.empty());
  EXPECT_EQ(actions.back().message.asList()->back(), enumerationValue(NavigationType::backForward));

  EXPECT_EQ(onWebView("reload"), ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(receivedOn("WKNavigationAction.pigeon_newInstance").back().message.asList()->back(),
            enumerationValue(NavigationType::reload));
  EXPECT_EQ(lastDelegateCall("didFinishNavigation").at(2), Value("https://a.test/"));
  EXPECT_EQ(onWebView("canGoForward"), ok(Value(true)));

  EXPECT_EQ(onWebView("goForward"), ok());
  ASSERT_TRUE(settle());
  EXPECT_EQ(onWebView("getTitle"), ok(Value("B")));
  EXPECT_EQ(onWebView("canGoForward"), ok(Value(false)));
  // Nothing ahead: a success that does nothing.
  size_t calls = delegateCalls().size();
  EXPECT_EQ(onWebView("goForward"), ok());
  dart.drain();
  EXPECT_EQ(delegateCalls().size(), calls);
}

TEST_F(WebViewLoadsTest, TheUrlSentIsTheOneTheWebViewHasWhenTheCallIsMade) {
  loadPage("Old", "https://old.test/");
  WebViewControls::holdSteps(*webView);
  EXPECT_EQ(onWebView("loadHtmlString", {Value("<title>New</title>"), Value("https://new.test/")}),
            ok());
  WebViewControls::releaseStep(*webView);  // the action's policy
  dart.drain();
  ASSERT_EQ(WebViewControls::currentStep(*webView), webkit::NavigationStep::provisionalStart);

  // WebKit reports a finish while the URL is still the old one; the provisional start, queued
  // ahead of the call, moves the URL on before the call is made.
  WebViewControls::releaseStep(*webView);
  auto delegate = webView->navigationDelegate();
  ASSERT_EQ(webView->URL()->absoluteString(), "https://old.test/");
  delegate->didFinishNavigation(webView, nullptr);
  dart.drain();
  EXPECT_EQ(lastDelegateCall("didFinishNavigation").at(2), Value("https://new.test/"));
  WebViewControls::releaseSteps(*webView);
  ASSERT_TRUE(settle());
}

TEST_F(WebViewLoadsTest, FailuresAfterTheCommitAnnounceTheErrorBeforeTheCall) {
  WebViewControls::holdSteps(*webView);
  EXPECT_EQ(onWebView("loadHtmlString", {Value("<title>Half</title>"), Value()}), ok());
  for (int step = 0; step < 8 && WebViewControls::currentStep(*webView) !=
                                      webkit::NavigationStep::finish; ++step) {
    WebViewControls::releaseStep(*webView);
    dart.drain();
  }
  ASSERT_EQ(WebViewControls::currentStep(*webView), webkit::NavigationStep::finish);
  received->clear();
  WebViewControls::failNavigation(
      *webView, NSError::errorWithDomain(
                    "TestDomain", 42,
                    AnyValue::Dictionary{{"NSLocalizedDescription", "went wrong"}}));
  WebViewControls::releaseSteps(*webView);
  ASSERT_TRUE(settle());
  ASSERT_GE(received->size(), 2u);
  EXPECT_EQ((*received)[0].channel, "NSError.pigeon_newInstance");
  flutter::ValueMap user_info{{Value("NSLocalizedDescription"), Value("went wrong")}};
  const auto& announced = *(*received)[0].message.asList();
  EXPECT_EQ(announced.size(), 4u);
  EXPECT_EQ(ValueList(announced.begin() + 1, announced.end()),
            (ValueList{Value(int64_t{42}), Value("TestDomain"), Value(user_info)}));
  EXPECT_EQ((*received)[1].channel, "WKNavigationDelegate.didFailNavigation");
  EXPECT_EQ(lastDelegateCall("didFailNavigation"),
            (ValueList{ref(kNavigationDelegate), ref(kWebView), refTo(announced[0])}));
  EXPECT_EQ(delegateCalls().size(), 1u) << "no finish after a failure";
}

TEST_F(WebViewLoadsTest, AnEndedContentProcessIsReportedOnALaterTurn) {
  WebViewControls::holdSteps(*webView);
  EXPECT_EQ(onWebView("loadHtmlString", {Value("<p>"), Value()}), ok());
  WebViewControls::terminateWebContentProcess(*webView);
  EXPECT_TRUE(receivedOn("WKNavigationDelegate.webViewWebContentProcessDidTerminate").empty());
  dart.drain();
  // The load it stopped fails first.
  EXPECT_EQ(delegateCalls(), (std::vector<std::string>{"didFailProvisionalNavigation",
                                                       "webViewWebContentProcessDidTerminate"}));
  EXPECT_EQ(lastDelegateCall("webViewWebContentProcessDidTerminate"),
            (ValueList{ref(kNavigationDelegate), ref(kWebView)}));
  EXPECT_EQ(WebViewControls::pendingNavigations(*webView), 0u);
}

TEST_F(WebViewLoadsTest, DownloadAnswersDependOnTheOSVersionAndEveryFailureCancels) {
  loadPage("Start", "https://start.test/");
  auto allow_action = ok(enumerationValue(NavigationActionPolicy::allow));
  struct Case {
    std::optional<Value> responseReply;
    NSOperatingSystemVersion os;
    bool cancelled;  // with the policy error; otherwise stopped for a download
  };
  const Case cases[] = {
      {ok(enumerationValue(NavigationResponsePolicy::download)), {11, 3, 0}, false},
      {ok(enumerationValue(NavigationResponsePolicy::download)), {11, 2, 0}, true},
      {ok(enumerationValue(NavigationResponsePolicy::cancel)), {15, 0, 0}, true},
      {failure("oops", Value("no")), {15, 0, 0}, true},
      {ok(), {15, 0, 0}, true},
      {ok(Value("allow")), {15, 0, 0}, true},
      {ValueList{}, {15, 0, 0}, true},
      {std::nullopt, {15, 0, 0}, true},
  };
  for (const auto& test_case : cases) {
    SCOPED_TRACE(test_case.responseReply ? test_case.responseReply->debugString() : "no reply");
    foundation::testing::setEmulatedOperatingSystemVersion(test_case.os);
    answerPolicies(allow_action, test_case.responseReply);
    received->clear();
    EXPECT_EQ(onWebView("loadHtmlString", {Value("<title>Next</title>"), Value("https://next.test/")}),
              ok());
    ASSERT_TRUE(settle());
    EXPECT_EQ(onWebView("getTitle"), ok(Value("Start")));
    auto calls = delegateCalls();
    if (test_case.cancelled) {
      ASSERT_EQ(calls.back(), "didFailProvisionalNavigation");
      EXPECT_EQ((*receivedOn("NSError.pigeon_newInstance").back().message.asList())[1],
                Value(int64_t{102}));
    } else {
      EXPECT_EQ(calls.back(), "decidePolicyForNavigationResponse");
    }
  }
  // Ignored calls and a delegate the Dart side let go of cancel too, and send nothing.
  foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  answerPolicies(allow_action, ok(enumerationValue(NavigationResponsePolicy::allow)));
  registrar().setIgnoreCallsToDart(true);
  received->clear();
  onWebView("loadHtmlString", {Value("<title>Ignored</title>"), Value()});
  ASSERT_TRUE(settle());
  registrar().setIgnoreCallsToDart(false);
  EXPECT_TRUE(received->empty());
  auto still_attached = webView->navigationDelegate();
  instances().clearAll();
  webView->loadHTMLString("<title>Forgotten</title>", nullptr);
  ASSERT_TRUE(settle());
  EXPECT_TRUE(delegateCalls().empty());
  EXPECT_EQ(webView->title(), "Start");
}

}  // namespace
}  // namespace wkwebview_host::testing
