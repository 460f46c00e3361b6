// A view that shows web content. It is a view of the window and an object of the runtime at
// once; make it with makeObject like every other object, and use it on the main
// thread only.
//
// Navigations run one at a time: the action's policy, the provisional start, an authentication
// challenge when the server asks for one, the response's policy, the commit and the finish, each
// step on a later turn of the main queue. A new navigation replaces one that has not committed
// yet, which fails as cancelled. The
// observable properties (URL, title, estimatedProgress, loading, canGoBack, canGoForward) notify
// their observers on every set. The delegates are held weakly.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/appkit/ns_view.h"
#include "platform/foundation/ns_url.h"
#include "platform/foundation/url_request.h"
#include "platform/webkit/wk_navigation.h"
#include "platform/webkit/wk_navigation_delegate.h"
#include "platform/webkit/wk_ui_delegate.h"
#include "platform/webkit/wk_web_view_configuration.h"

namespace webkit {
class WebContentProcess;
struct HistoryItem;
struct WebViewNavigation;
namespace testing {
class WebViewControls;
}
}  // namespace webkit

class WKWebView : public NSView, public NSObject {
 public:
  // The result is the completion's own, to keep or to hand on.
  using JavaScriptCompletion =
      std::function<void(AnyValue result, const std::shared_ptr<NSError>&)>;

  // The web view keeps a copy of the configuration; none gets a default one.
  WKWebView(NSRect frame, std::shared_ptr<WKWebViewConfiguration> configuration);
  ~WKWebView() override;

  // A fresh copy on every call, sharing the web view's controller, stores and preferences.
  std::shared_ptr<WKWebViewConfiguration> configuration() const;

  std::shared_ptr<WKNavigationDelegate> navigationDelegate() const;
  void setNavigationDelegate(const std::shared_ptr<WKNavigationDelegate>& delegate);
  std::shared_ptr<WKUIDelegate> UIDelegate() const;
  void setUIDelegate(const std::shared_ptr<WKUIDelegate>& delegate);

  // Observable.
  std::shared_ptr<const NSURL> URL() const { return url_; }
  const std::optional<std::string>& title() const { return title_; }
  double estimatedProgress() const { return estimated_progress_; }
  bool isLoading() const { return loading_; }
  bool canGoBack() const;
  bool canGoForward() const;
  AnyValue valueForKey(const std::string& key) const override;

  const std::optional<std::string>& customUserAgent() const { return custom_user_agent_; }
  void setCustomUserAgent(std::optional<std::string> userAgent) {
    custom_user_agent_ = std::move(userAgent);
  }
  bool allowsBackForwardNavigationGestures() const { return allows_back_forward_gestures_; }
  void setAllowsBackForwardNavigationGestures(bool allow) { allows_back_forward_gestures_ = allow; }
  bool allowsLinkPreview() const { return allows_link_preview_; }
  void setAllowsLinkPreview(bool allow) { allows_link_preview_ = allow; }
  bool isInspectable() const { return inspectable_; }
  void setInspectable(bool inspectable) { inspectable_ = inspectable; }

  std::shared_ptr<WKNavigation> loadRequest(const URLRequest& request);
  // Without a base URL the page is "about:blank".
  std::shared_ptr<WKNavigation> loadHTMLString(const std::string& string,
                                               std::shared_ptr<const NSURL> baseURL);
  // Files at or below `readAccessURL` (a directory, or a file whose folder is meant) may load.
  std::shared_ptr<WKNavigation> loadFileURL(std::shared_ptr<const NSURL> URL,
                                            std::shared_ptr<const NSURL> readAccessURL);
  // Null when there is nothing to go to.
  std::shared_ptr<WKNavigation> goBack();
  std::shared_ptr<WKNavigation> goForward();
  std::shared_ptr<WKNavigation> reload();

  // Runs the script in the current page, after the scripts asked for before it, and completes
  // with its result or WebKit's error on a later turn of the main queue.
  void evaluateJavaScript(const std::string& javaScriptString, JavaScriptCompletion completion);

 private:
  friend class webkit::testing::WebViewControls;

  std::shared_ptr<WKNavigation> enqueue(std::shared_ptr<webkit::WebViewNavigation> navigation);
  void cancelPendingNavigations();
  void scheduleStep();
  void runStep(webkit::WebViewNavigation& navigation);
  void decideAction(webkit::WebViewNavigation& navigation);
  void startProvisional(webkit::WebViewNavigation& navigation);
  // Moves past the provisional start once the content is there.
  void endProvisional(webkit::WebViewNavigation& navigation);
  void challenge(webkit::WebViewNavigation& navigation);
  void decideResponse(webkit::WebViewNavigation& navigation);
  void commit(webkit::WebViewNavigation& navigation);
  void finish(webkit::WebViewNavigation& navigation);
  void reportFailure(webkit::WebViewNavigation& navigation);
  // Tells the navigation delegate that `navigation` failed, before or after its commit.
  void tellFailure(const webkit::WebViewNavigation& navigation);
  void endNavigation();
  void fail(std::shared_ptr<NSError> error);
  // Whether `navigation` is still the current one and still at the step it was at.
  bool isCurrent(const std::shared_ptr<webkit::WebViewNavigation>& navigation,
                 uint64_t generation) const;
  std::vector<std::string> userScripts(int64_t injectionTime) const;
  void logScriptFailures(const std::vector<std::string>& failures);
  void deliverScriptMessage(const std::string& name, AnyValue body,
                            std::shared_ptr<void> lease);
  webkit::WebContentProcess& content();
  void contentProcessTerminated();
  std::shared_ptr<WKWebView> selfView() const;
  std::shared_ptr<WKFrameInfo> mainFrame() const;

  void setURL(std::shared_ptr<const NSURL> url);
  void setTitle(std::optional<std::string> title);
  void setEstimatedProgress(double progress);
  void setLoading(bool loading);
  // Commits `navigation` to the back-forward list, in place.
  void commitToHistory(const webkit::WebViewNavigation& navigation);
  void terminateWebContentProcess();

  std::shared_ptr<WKWebViewConfiguration> configuration_;
  std::weak_ptr<WKNavigationDelegate> navigation_delegate_;
  std::weak_ptr<WKUIDelegate> ui_delegate_;
  std::shared_ptr<const NSURL> url_;
  std::optional<std::string> title_;
  double estimated_progress_ = 0;
  bool loading_ = false;
  std::optional<std::string> custom_user_agent_;
  bool allows_back_forward_gestures_ = false;
  bool allows_link_preview_ = true;
  bool inspectable_ = false;

  std::deque<webkit::HistoryItem> history_;
  size_t history_html_bytes_ = 0;
  size_t history_index_ = 0;
  std::deque<std::shared_ptr<webkit::WebViewNavigation>> navigations_;
  std::unique_ptr<webkit::WebContentProcess> content_;
  // How long a page load's scripts, or one evaluation, may run; the default when not set.
  std::optional<std::chrono::milliseconds> script_time_budget_;
  bool steps_held_ = false;
  size_t steps_released_ = 0;
  bool step_waiting_ = false;
};
