#include "platform/webkit/wk_web_view.h"

#include <type_traits>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_url.h"
#include "platform/webkit/content_process/script_deadline.h"
#include "platform/webkit/internal/leased_script_message.h"
#include "platform/webkit/internal/web_content_process.h"
#include "platform/webkit/internal/web_kit_errors.h"
#include "platform/webkit/internal/web_view_navigation.h"
#include "platform/foundation/ns_http_url_response.h"
#include "platform/webkit/wk_error.h"
#include "platform/webkit/wk_script_message.h"

using webkit::NavigationStep;
using webkit::WebViewNavigation;

namespace {

constexpr double kProgressAtStart = 0.1;
constexpr double kProgressAtCommit = 0.5;

// Calls `handler` once; a second answer is a fault of the delegate and is only logged.
template <typename... Args>
std::function<void(Args...)> once(const char* name,
                                  std::type_identity_t<std::function<void(Args...)>> handler) {
  auto called = std::make_shared<bool>(false);
  return [name, called, handler = std::move(handler)](Args... arguments) {
    if (*called) {
      NSLog("WKWebView: the %s handler was called more than once", name);
      return;
    }
    *called = true;
    handler(arguments...);
  };
}

}  // namespace

WKWebView::WKWebView(NSRect frame, std::shared_ptr<WKWebViewConfiguration> configuration)
    : NSView(frame),
      configuration_(configuration ? configuration->copy() : makeObject<WKWebViewConfiguration>()) {
}

WKWebView::~WKWebView() {
  for (const auto& navigation : navigations_) navigation->readingStop->stop();
}

std::shared_ptr<WKWebViewConfiguration> WKWebView::configuration() const {
  return configuration_->copy();
}

std::shared_ptr<WKNavigationDelegate> WKWebView::navigationDelegate() const {
  return navigation_delegate_.lock();
}

void WKWebView::setNavigationDelegate(const std::shared_ptr<WKNavigationDelegate>& delegate) {
  navigation_delegate_ = delegate;
}

std::shared_ptr<WKUIDelegate> WKWebView::UIDelegate() const { return ui_delegate_.lock(); }

void WKWebView::setUIDelegate(const std::shared_ptr<WKUIDelegate>& delegate) {
  ui_delegate_ = delegate;
}

bool WKWebView::canGoBack() const { return !history_.empty() && history_index_ > 0; }

bool WKWebView::canGoForward() const {
  return !history_.empty() && history_index_ + 1 < history_.size();
}

AnyValue WKWebView::valueForKey(const std::string& key) const {
  if (key == "URL")
    return url_ ? AnyValue(std::const_pointer_cast<NSURL>(url_)) : AnyValue();
  if (key == "title") return title_ ? AnyValue(*title_) : AnyValue();
  if (key == "estimatedProgress") return AnyValue(estimated_progress_);
  if (key == "loading") return AnyValue(loading_);
  if (key == "canGoBack") return AnyValue(canGoBack());
  if (key == "canGoForward") return AnyValue(canGoForward());
  return AnyValue();
}

// Observers hear of every set, also of one that keeps the value.
void WKWebView::setURL(std::shared_ptr<const NSURL> url) {
  willChangeValueForKey("URL");
  url_ = std::move(url);
  didChangeValueForKey("URL");
}

void WKWebView::setTitle(std::optional<std::string> title) {
  willChangeValueForKey("title");
  title_ = std::move(title);
  didChangeValueForKey("title");
}

void WKWebView::setEstimatedProgress(double progress) {
  willChangeValueForKey("estimatedProgress");
  estimated_progress_ = progress;
  didChangeValueForKey("estimatedProgress");
}

void WKWebView::setLoading(bool loading) {
  willChangeValueForKey("loading");
  loading_ = loading;
  didChangeValueForKey("loading");
}

namespace {

size_t htmlBytes(const webkit::HistoryItem& item) {
  const auto* html = std::get_if<webkit::HTMLSource>(&item.source);
  return html && html->html ? html->html->size() : 0;
}

}  // namespace

void WKWebView::commitToHistory(const WebViewNavigation& navigation) {
  willChangeValueForKey("canGoBack");
  willChangeValueForKey("canGoForward");
  if (navigation.type == WKNavigationTypeBackForward && navigation.historyIndex &&
      *navigation.historyIndex < history_.size()) {
    history_index_ = *navigation.historyIndex;
  } else if (navigation.type != WKNavigationTypeReload || history_.empty()) {
    while (!history_.empty() && history_.size() > history_index_ + 1) {
      history_html_bytes_ -= htmlBytes(history_.back());
      history_.pop_back();
    }
    history_.push_back({navigation.source, navigation.content.url});
    history_html_bytes_ += htmlBytes(history_.back());
    while (history_.size() > 1 && (history_.size() > webkit::kMaxBackForwardItems ||
                                   history_html_bytes_ > webkit::kMaxBackForwardHTMLBytes)) {
      history_html_bytes_ -= htmlBytes(history_.front());
      history_.pop_front();
    }
    history_index_ = history_.size() - 1;
  }
  didChangeValueForKey("canGoBack");
  didChangeValueForKey("canGoForward");
}

std::shared_ptr<WKWebView> WKWebView::selfView() const {
  return std::dynamic_pointer_cast<WKWebView>(self());
}

std::shared_ptr<WKFrameInfo> WKWebView::mainFrame() const {
  std::optional<URLRequest> request;
  std::string protocol, host;
  int64_t port = 0;
  if (url_) {
    request = URLRequest{};
    request->url = url_;
    if (auto parsed = NSURL::URLWithString(url_->absoluteString())) {
      protocol = parsed->scheme().value_or("");
      host = parsed->host().value_or("");
      port = parsed->port().value_or(0);
    }
  }
  return makeObject<WKFrameInfo>(true, std::move(request),
                                 makeObject<WKSecurityOrigin>(protocol, host, port));
}

// Loading.

std::shared_ptr<WKNavigation> WKWebView::loadRequest(const URLRequest& request) {
  return enqueue(std::make_shared<WebViewNavigation>(webkit::RequestSource{request},
                                                     WKNavigationTypeOther, std::nullopt));
}

std::shared_ptr<WKNavigation> WKWebView::loadHTMLString(
    const std::string& string, std::shared_ptr<const NSURL> baseURL) {
  return enqueue(std::make_shared<WebViewNavigation>(
      webkit::HTMLSource{std::make_shared<const std::string>(string), std::move(baseURL)},
      WKNavigationTypeOther, std::nullopt));
}

std::shared_ptr<WKNavigation> WKWebView::loadFileURL(
    std::shared_ptr<const NSURL> URL,
    std::shared_ptr<const NSURL> readAccessURL) {
  return enqueue(std::make_shared<WebViewNavigation>(
      webkit::FileSource{std::move(URL), std::move(readAccessURL)}, WKNavigationTypeOther,
      std::nullopt));
}

std::shared_ptr<WKNavigation> WKWebView::goBack() {
  if (!canGoBack()) return nullptr;
  size_t target = history_index_ - 1;
  return enqueue(std::make_shared<WebViewNavigation>(history_[target].source,
                                                     WKNavigationTypeBackForward, target));
}

std::shared_ptr<WKNavigation> WKWebView::goForward() {
  if (!canGoForward()) return nullptr;
  size_t target = history_index_ + 1;
  return enqueue(std::make_shared<WebViewNavigation>(history_[target].source,
                                                     WKNavigationTypeBackForward, target));
}

std::shared_ptr<WKNavigation> WKWebView::reload() {
  if (history_.empty()) return nullptr;
  return enqueue(std::make_shared<WebViewNavigation>(history_[history_index_].source,
                                                     WKNavigationTypeReload, history_index_));
}

std::shared_ptr<WKNavigation> WKWebView::enqueue(std::shared_ptr<WebViewNavigation> navigation) {
  auto token = navigation->token;
  cancelPendingNavigations();
  navigations_.push_back(std::move(navigation));
  if (navigations_.size() == 1) scheduleStep();
  return token;
}

// A new load replaces every navigation that has not committed, as the platform's web view does:
// each fails as cancelled, on a later turn. One that has committed, or is about to report its own
// failure, ends first (its scripts have their budget), so at most two navigations are ever held.
void WKWebView::cancelPendingNavigations() {
  std::deque<std::shared_ptr<WebViewNavigation>> cancelled;
  while (!navigations_.empty() && !navigations_.back()->committed &&
         navigations_.back()->step != NavigationStep::failure) {
    cancelled.push_front(std::move(navigations_.back()));
    navigations_.pop_back();
  }
  if (cancelled.empty()) return;
  for (auto& navigation : cancelled) {
    navigation->error =
        webkit::urlLoadingError(NSURLErrorCancelled, "cancelled",
                                webkit::sourceURL(navigation->source)->absoluteString());
    // Its posted step and late answers find it gone.
    navigation->moveTo(NavigationStep::failure);
  }
  if (navigations_.empty()) {
    step_waiting_ = false;
    if (loading_) setLoading(false);
  }
  std::weak_ptr<WKWebView> weak = selfView();
  dispatch_async(dispatch_get_main_queue(), [weak, cancelled = std::move(cancelled)] {
    auto view = weak.lock();
    if (!view) return;
    for (const auto& navigation : cancelled) view->tellFailure(*navigation);
  });
}

// Steps. Each runs on its own later turn of the main queue; while steps are held, each waits
// for a release.

void WKWebView::scheduleStep() {
  if (navigations_.empty()) return;
  if (steps_held_) {
    if (steps_released_ == 0) {
      step_waiting_ = true;
      return;
    }
    --steps_released_;
  }
  step_waiting_ = false;
  std::weak_ptr<WKWebView> weak = selfView();
  std::weak_ptr<WebViewNavigation> navigation = navigations_.front();
  uint64_t generation = navigations_.front()->generation;
  dispatch_async(dispatch_get_main_queue(), [weak, navigation, generation] {
    auto view = weak.lock();
    auto current = navigation.lock();
    if (view && current && view->isCurrent(current, generation)) view->runStep(*current);
  });
}

bool WKWebView::isCurrent(const std::shared_ptr<WebViewNavigation>& navigation,
                          uint64_t generation) const {
  return !navigations_.empty() && navigations_.front() == navigation &&
         navigation->generation == generation;
}

void WKWebView::runStep(WebViewNavigation& navigation) {
  switch (navigation.step) {
    case NavigationStep::actionPolicy:
      return decideAction(navigation);
    case NavigationStep::provisionalStart:
      return startProvisional(navigation);
    case NavigationStep::authentication:
      return challenge(navigation);
    case NavigationStep::responsePolicy:
      return decideResponse(navigation);
    case NavigationStep::commit:
      return commit(navigation);
    case NavigationStep::finish:
      return finish(navigation);
    case NavigationStep::failure:
      return reportFailure(navigation);
  }
}

void WKWebView::decideAction(WebViewNavigation& navigation) {
  auto action = makeObject<WKNavigationAction>(webkit::sourceRequest(navigation.source),
                                               mainFrame(), navigation.type);
  std::weak_ptr<WKWebView> weak = selfView();
  auto current = navigations_.front();
  uint64_t generation = current->generation;
  // The delegate may hold its handler for good: it keeps no navigation (nor its page) alive.
  std::weak_ptr<WebViewNavigation> navigation_left = current;
  auto decide = once<WKNavigationActionPolicy>(
      "navigation action policy",
      [weak, navigation_left, generation](WKNavigationActionPolicy policy) {
        auto view = weak.lock();
        auto current = navigation_left.lock();
        if (!view || !current || !view->isCurrent(current, generation)) return;
        if (policy == WKNavigationActionPolicyAllow) {
          current->moveTo(NavigationStep::provisionalStart);
          view->scheduleStep();
        } else {
          // A cancelled navigation, or one turned into a download, ends without a word.
          view->endNavigation();
        }
      });
  if (auto delegate = navigationDelegate()) {
    delegate->decidePolicyForNavigationAction(selfView(), action, decide);
  } else {
    decide(WKNavigationActionPolicyAllow);
  }
}

void WKWebView::startProvisional(WebViewNavigation& navigation) {
  navigation.content = webkit::loadContent(navigation.source);
  setURL(navigation.content.url);
  setLoading(true);
  setEstimatedProgress(kProgressAtStart);
  auto token = navigation.token;
  auto current = navigations_.front();
  if (auto delegate = navigationDelegate())
    delegate->didStartProvisionalNavigation(selfView(), token);
  if (current->content.error) return endProvisional(*current);

  // A page's file is read, and its document read, off the main thread: both take time in
  // proportion to the page. The navigation goes on unless it was failed or replaced meanwhile,
  // and fails when the reading outlasts its time (a file on a hung file system).
  std::weak_ptr<WKWebView> weak = selfView();
  uint64_t generation = current->generation;
  // Reading is linear in the page, so only a stalled file system reaches this: the wall-clock
  // backstop of the load's budget, which a busy machine does not reach.
  auto budget =
      std::chrono::duration_cast<std::chrono::nanoseconds>(webkit::ScriptDeadline::backstopOf(
          script_time_budget_.value_or(webkit::WebContentProcess::kDefaultScriptTimeBudget)));
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, budget.count()), dispatch_get_main_queue(),
                 [weak, navigation = std::weak_ptr<WebViewNavigation>(current), generation] {
                   auto view = weak.lock();
                   auto late = navigation.lock();
                   if (!view || !late || !view->isCurrent(late, generation)) return;
                   late->error = webkit::urlLoadingError(NSURLErrorTimedOut,
                                                         "The request timed out.",
                                                         late->content.url->absoluteString());
                   late->moveTo(NavigationStep::failure);
                   view->scheduleStep();
                 });
  auto file = current->content.pendingFile;
  auto body = current->content.body;
  bool html = current->content.mimeType == "text/html";
  auto stop = current->readingStop;
  // A <noscript> is read as the page will run: its scripts are allowed or not at commit, which
  // follows at once unless a preference changes in between.
  auto scripting = configuration_->preferences()->javaScriptEnabled() &&
                           configuration_->defaultWebpagePreferences()->allowsContentJavaScript()
                       ? webkit::Scripting::enabled
                       : webkit::Scripting::disabled;
  // The navigation moves on with the answer, so that it is only ever released on the main thread.
  // The reading stops once the navigation leaves this step (failed at its budget, replaced, or
  // its web view gone), so it never outlives its load by more than a moment.
  dispatch_async(
      dispatch_get_global_queue(QOS_CLASS_USER_INITIATED, 0),
      [weak = std::move(weak), current = std::move(current), generation, file = std::move(file),
       body = std::move(body), html, stop = std::move(stop), scripting]() mutable {
        auto read = std::make_shared<webkit::PageContentRead>(
            webkit::readPageContent(file, body, html, *stop, scripting));
        body = nullptr;
        dispatch_async(dispatch_get_main_queue(),
                       [weak = std::move(weak), current = std::move(current), generation, read] {
                         auto view = weak.lock();
                         if (!view || !view->isCurrent(current, generation)) return;
                         webkit::applyPageContentRead(current->content, std::move(*read));
                         view->endProvisional(*current);
                       });
      });
}

void WKWebView::endProvisional(WebViewNavigation& navigation) {
  if (navigation.content.error) {
    navigation.error = navigation.content.error;
    navigation.moveTo(NavigationStep::failure);
  } else {
    navigation.moveTo(navigation.content.requiredCredentials ? NavigationStep::authentication
                                                             : NavigationStep::responsePolicy);
  }
  scheduleStep();
}

void WKWebView::challenge(WebViewNavigation& navigation) {
  const auto& required = *navigation.content.requiredCredentials;
  auto parsed = NSURL::URLWithString(navigation.content.url->absoluteString());
  auto space = makeObject<NSURLProtectionSpace>(
      parsed && parsed->host() ? *parsed->host() : "", parsed ? parsed->port().value_or(0) : 0,
      parsed ? parsed->scheme() : std::nullopt, required.realm,
      "NSURLAuthenticationMethodHTTPBasic");
  auto challenge = makeObject<NSURLAuthenticationChallenge>(space);
  std::weak_ptr<WKWebView> weak = selfView();
  auto current = navigations_.front();
  uint64_t generation = current->generation;
  auto answer = once<NSURLSessionAuthChallengeDisposition,
                     std::shared_ptr<NSURLCredential>>(
      "authentication challenge",
      [weak, navigation_left = std::weak_ptr<WebViewNavigation>(current), generation](
          NSURLSessionAuthChallengeDisposition disposition,
          std::shared_ptr<NSURLCredential> credential) {
        auto view = weak.lock();
        auto current = navigation_left.lock();
        if (!view || !current || !view->isCurrent(current, generation)) return;
        auto& content = current->content;
        const auto& expected = *content.requiredCredentials;
        if (disposition == NSURLSessionAuthChallengeCancelAuthenticationChallenge) {
          current->error = webkit::urlLoadingError(NSURLErrorCancelled, "cancelled",
                                                   content.url->absoluteString());
          current->moveTo(NavigationStep::failure);
        } else {
          bool accepted = disposition == NSURLSessionAuthChallengeUseCredential &&
                          credential && credential->user() == expected.user &&
                          credential->password() == expected.password;
          if (!accepted) {
            // The server's answer to a load without the right credentials.
            content.response = makeObject<NSHTTPURLResponse>(content.url, 401);
            content.mimeType = "text/html";
            content.document = {};
          }
          current->moveTo(NavigationStep::responsePolicy);
        }
        view->scheduleStep();
      });
  if (auto delegate = navigationDelegate()) {
    delegate->didReceiveAuthenticationChallenge(selfView(), challenge, answer);
  } else {
    answer(NSURLSessionAuthChallengePerformDefaultHandling, nullptr);
  }
}

void WKWebView::decideResponse(WebViewNavigation& navigation) {
  auto response = makeObject<WKNavigationResponse>(navigation.content.response, true);
  std::weak_ptr<WKWebView> weak = selfView();
  auto current = navigations_.front();
  uint64_t generation = current->generation;
  auto decide = once<WKNavigationResponsePolicy>(
      "navigation response policy",
      [weak, navigation_left = std::weak_ptr<WebViewNavigation>(current),
       generation](WKNavigationResponsePolicy policy) {
        auto view = weak.lock();
        auto current = navigation_left.lock();
        if (!view || !current || !view->isCurrent(current, generation)) return;
        if (policy == WKNavigationResponsePolicyAllow) {
          current->moveTo(NavigationStep::commit);
        } else if (policy == WKNavigationResponsePolicyCancel) {
          current->error =
              webkit::frameLoadInterruptedError(current->content.url->absoluteString());
          current->moveTo(NavigationStep::failure);
        } else {
          // Downloads are not modelled: the page stays as it was.
          view->setLoading(false);
          view->endNavigation();
          return;
        }
        view->scheduleStep();
      });
  if (auto delegate = navigationDelegate()) {
    delegate->decidePolicyForNavigationResponse(selfView(), response, decide);
  } else {
    decide(WKNavigationResponsePolicyAllow);
  }
}

void WKWebView::commit(WebViewNavigation& navigation) {
  navigation.committed = true;
  commitToHistory(navigation);
  setURL(navigation.content.url);

  bool html = navigation.content.mimeType == "text/html";
  auto& document = navigation.content.document;
  std::optional<std::string> title = html ? std::move(document.title) : std::nullopt;
  // The new page's scripts read the new document's title, never the last one's.
  setTitle(title);
  std::vector<std::string> scripts = userScripts(WKUserScriptInjectionTimeAtDocumentStart);
  bool page_scripts = configuration_->preferences()->javaScriptEnabled() &&
                      configuration_->defaultWebpagePreferences()->allowsContentJavaScript();
  if (html && page_scripts) {
    for (auto& script : document.scripts) scripts.push_back(std::move(script));
  }
  document = {};
  std::weak_ptr<WKWebView> weak = selfView();
  auto current = navigations_.front();
  uint64_t generation = current->generation;
  // The page's scripts run in its content process; the navigation goes on once they are done.
  content().loadPage(title, std::move(scripts),
                     [weak, current, generation](std::vector<std::string> failures) {
                       auto view = weak.lock();
                       if (!view) return;
                       view->logScriptFailures(failures);
                       if (!view->isCurrent(current, generation)) return;
                       view->setEstimatedProgress(kProgressAtCommit);
                       current->moveTo(NavigationStep::finish);
                       view->scheduleStep();
                     });
}

void WKWebView::finish(WebViewNavigation&) {
  std::weak_ptr<WKWebView> weak = selfView();
  auto current = navigations_.front();
  uint64_t generation = current->generation;
  content().runScripts(userScripts(WKUserScriptInjectionTimeAtDocumentEnd),
                       [weak, current, generation](std::vector<std::string> failures) {
                         auto view = weak.lock();
                         if (!view) return;
                         view->logScriptFailures(failures);
                         if (!view->isCurrent(current, generation)) return;
                         auto token = current->token;
                         view->setEstimatedProgress(1.0);
                         view->setLoading(false);
                         view->endNavigation();
                         if (auto delegate = view->navigationDelegate()) {
                           delegate->didFinishNavigation(view, token);
                         }
                       });
}

void WKWebView::reportFailure(WebViewNavigation&) {
  auto stopped = navigations_.front();
  setLoading(false);
  endNavigation();
  tellFailure(*stopped);
}

void WKWebView::tellFailure(const WebViewNavigation& navigation) {
  auto delegate = navigationDelegate();
  if (!delegate) return;
  if (navigation.committed) {
    delegate->didFailNavigation(selfView(), navigation.token, navigation.error);
  } else {
    delegate->didFailProvisionalNavigation(selfView(), navigation.token, navigation.error);
  }
}

void WKWebView::endNavigation() {
  if (navigations_.empty()) return;
  navigations_.pop_front();
  scheduleStep();
}

void WKWebView::fail(std::shared_ptr<NSError> error) {
  if (navigations_.empty()) return;
  auto& navigation = *navigations_.front();
  navigation.error = std::move(error);
  navigation.moveTo(NavigationStep::failure);
  scheduleStep();
}

void WKWebView::terminateWebContentProcess() {
  if (content_) content_->terminate();
  contentProcessTerminated();
}

// The page is gone with its process: the navigation under way fails with it, and the navigation
// delegate hears of both on a later turn, as from the platform. A navigation asked for after it
// goes on, with a fresh page.
void WKWebView::contentProcessTerminated() {
  std::shared_ptr<WebViewNavigation> stopped;
  if (!navigations_.empty()) {
    stopped = navigations_.front();
    navigations_.pop_front();
    stopped->error = webkit::webContentProcessTerminatedError();
    stopped->moveTo(NavigationStep::failure);
  }
  step_waiting_ = false;
  if (loading_) setLoading(false);
  std::weak_ptr<WKWebView> weak = selfView();
  dispatch_async(dispatch_get_main_queue(), [weak, stopped] {
    auto view = weak.lock();
    if (!view) return;
    if (stopped) view->tellFailure(*stopped);
    if (auto delegate = view->navigationDelegate()) {
      delegate->webViewWebContentProcessDidTerminate(view);
    }
  });
  scheduleStep();
}

// Scripts.

webkit::WebContentProcess& WKWebView::content() {
  if (!content_) {
    // The content process speaks to this web view on the main thread only.
    webkit::WebContentProcess::Client client;
    client.titleChanged = [this](const std::string& title) { setTitle(title); };
    client.messageHandlerNames = [this] {
      return configuration_->userContentController()->scriptMessageHandlerNames();
    };
    client.currentTitle = [this] { return title_; };
    // Messages reach their handler as the page posted them, before the answer of the script
    // that posted them: the page waits for room while its messages are held.
    client.scriptMessage = [this](const std::string& name, AnyValue body,
                                  std::shared_ptr<void> lease) {
      deliverScriptMessage(name, std::move(body), std::move(lease));
    };
    client.terminated = [this] { contentProcessTerminated(); };
    client.startFailed = [this](const std::shared_ptr<NSError>& error) { fail(error); };
    content_ = std::make_unique<webkit::WebContentProcess>(std::move(client));
    if (script_time_budget_) content_->setScriptTimeBudget(*script_time_budget_);
  }
  return *content_;
}

std::vector<std::string> WKWebView::userScripts(int64_t injectionTime) const {
  std::vector<std::string> sources;
  for (const auto& script : configuration_->userContentController()->userScripts()) {
    if (script->injectionTime() == injectionTime) sources.push_back(script->source());
  }
  return sources;
}

void WKWebView::logScriptFailures(const std::vector<std::string>& failures) {
  for (const auto& failure : failures) {
    NSLog("WKWebView: a page script failed: %s",
          webkit::describeError(*webkit::javaScriptExceptionError(failure)).c_str());
  }
}

// A message whose handler has gone since the page posted it is dropped, and its room given back.
void WKWebView::deliverScriptMessage(const std::string& name, AnyValue body,
                                     std::shared_ptr<void> lease) {
  auto controller = configuration_->userContentController();
  auto handler = controller->scriptMessageHandlerForName(name);
  if (!handler) return;
  handler->userContentController(
      controller, makeObject<webkit::LeasedScriptMessage>(name, std::move(body), std::move(lease)));
}

void WKWebView::evaluateJavaScript(const std::string& javaScriptString,
                                   JavaScriptCompletion completion) {
  content().evaluate(
      javaScriptString,
      [completion](AnyValue result, const std::shared_ptr<NSError>& error) {
        // A script run for its effects alone has no completion to tell.
        if (completion) completion(std::move(result), error);
      });
}
