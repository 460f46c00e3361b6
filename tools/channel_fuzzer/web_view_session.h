// Sessions with live web views. Each makes, in order and under identifiers the fuzzer chooses,
// what a page needs (a configuration, its user content controller with script-message handlers
// and user scripts, the web view, its delegates and observers), then uses them (loads of HTML
// strings, requests and files, scripts bounded and hostile, history, settings, cookies, server
// trust, what a page asks of its UI delegate), disposes of some, uses them again, and lets go of
// the rest a few sessions later, so that pages' scripts run on meanwhile. Every call is an
// operation of the plug-in's page with arguments shaped as the page says; a session only picks
// which and in what order.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/foundation/ns_object.h"
#include "platform/webkit/wk_web_view.h"
#include "tools/channel_fuzzer/live_values.h"

namespace channel_fuzzer {

// What a session needs of the fuzzer.
class WebViewSessionHost {
 public:
  virtual ~WebViewSessionHost() = default;
  // Sends `operation` ("<API>.<operation>") with arguments shaped by the plug-in's page, naming
  // `objects` first; the objects it makes join `objects`. Answers whether it succeeded.
  virtual bool call(const std::string& operation, LiveValues& objects) = 0;
  // Lets the plug-in forget `identifier`, as the Dart side does when it lets go of an object.
  virtual void release(int64_t identifier) = 0;
  // The web view alive under `identifier`; null when there is none.
  virtual std::shared_ptr<WKWebView> webView(int64_t identifier) = 0;
  // Hands the plug-in `object` under a new identifier, as a navigation would hand it to the
  // Dart side, and answers the identifier.
  virtual int64_t registerObject(const std::shared_ptr<NSObject>& object) = 0;
  // Runs the main queue for `time`: navigations move on, the host's calls are answered.
  virtual void pump(std::chrono::milliseconds time) = 0;
  virtual std::mt19937_64& random() = 0;
};

class WebViewSessions {
 public:
  // The web view's plug-in, and the key prefix of its objects.
  static constexpr const char* kPlugin = "wkwebview_host";
  static constexpr const char* kClassPrefix = "dev.flutter.pigeon.wkwebview_host.";

  WebViewSessions();
  ~WebViewSessions();
  WebViewSessions(const WebViewSessions&) = delete;
  WebViewSessions& operator=(const WebViewSessions&) = delete;

  void run(WebViewSessionHost& host);
  // An object of `api` that only the platform makes, as it would hand one over (a server-trust
  // challenge: the stand-in network serves no TLS; a URL); null for any other API.
  std::shared_ptr<NSObject> platformObject(const std::string& api,
                                                       std::mt19937_64& random) const;
  // Lets go of every object of the sessions still lingering.
  void releaseAll(WebViewSessionHost& host);

 private:
  static constexpr size_t kLingering = 2;
  struct Certificates;

  std::unique_ptr<Certificates> certificates_;
  // The identifiers of the last sessions' objects, let go of later.
  std::deque<std::vector<int64_t>> lingering_;
};

}  // namespace channel_fuzzer
