// Test controls for web views: step navigations one at a time, fail them, end the content
// process, serve responses, and make the page ask for panels, capture and new windows.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/webkit/internal/served_responses.h"
#include "platform/webkit/internal/web_view_navigation.h"
#include "platform/webkit/wk_web_view.h"

namespace webkit::testing {

// What a server answers for a URL (without its fragment) until removeAllServedResponses.
void setServedResponse(const std::string& url, ServedResponse response);
void removeAllServedResponses();

class WebViewControls {
 public:
  // While held, each navigation step waits for releaseStep (or releaseSteps) before it is posted.
  static void holdSteps(WKWebView& webView);
  static void releaseStep(WKWebView& webView);
  // Stops holding and lets the waiting step go.
  static void releaseSteps(WKWebView& webView);
  // The step the current navigation is at next; none when nothing is navigating.
  static std::optional<NavigationStep> currentStep(const WKWebView& webView);
  static size_t pendingNavigations(const WKWebView& webView);
  // How long a page load's scripts, or one evaluation, may run before they are ended with an
  // error; applies to the current page and to later ones.
  static void setScriptTimeBudget(WKWebView& webView, std::chrono::milliseconds budget);
  // The engine of the page's content process meets a fatal error, inside a protected call.
  static void raiseScriptEngineFatalError(WKWebView& webView);
  // While held, no web view's page file is read (as on a hung file system) until released.
  static void holdPageFileReads(bool hold);
  // The id of the page's content process; 0 while it has none.
  static pid_t contentProcessId(const WKWebView& webView);

  // Fails the current navigation on a later turn: a provisional failure before its commit,
  // a navigation failure after.
  static void failNavigation(WKWebView& webView, std::shared_ptr<NSError> error);
  // The page's process ends: navigations stop, the page's scripts are gone, and the navigation
  // delegate hears of it on a later turn.
  static void terminateWebContentProcess(WKWebView& webView);

  // The page asks, from its main frame, as a script would. Each goes to the UI delegate at once.
  static void runJavaScriptAlertPanel(WKWebView& webView, const std::string& message,
                                      std::function<void()> completion);
  static void runJavaScriptConfirmPanel(WKWebView& webView, const std::string& message,
                                        std::function<void(bool)> completion);
  static void runJavaScriptTextInputPanel(
      WKWebView& webView, const std::string& prompt, const std::optional<std::string>& defaultText,
      std::function<void(std::optional<std::string>)> completion);
  static void requestMediaCapturePermission(WKWebView& webView, WKMediaCaptureType type,
                                            std::function<void(WKPermissionDecision)> decision);
  // A link that targets a new window; answers what the delegate opened.
  static std::shared_ptr<WKWebView> requestNewWindow(WKWebView& webView,
                                                     const URLRequest& request);
};

}  // namespace webkit::testing
