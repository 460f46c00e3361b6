// The script side of one page: a duktape heap with the little a page's scripts see here (no
// DOM): `document.title` and `window.webkit.messageHandlers.<name>.postMessage(body)`.
//
// Results and message bodies become Foundation values: undefined is nil, null the null object,
// booleans, numbers (integers where exact), strings, arrays and plain objects. A thrown error, or
// a result of another kind (a function, a date...), is WebKit's error.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/webkit/any_value.h"
#include "platform/webkit/ns_error.h"

struct duk_hthread;

namespace webkit {

class JavaScriptPage {
 public:
  struct Hooks {
    // A script set document.title.
    std::function<void(const std::string& title)> titleChanged;
    // The names under window.webkit.messageHandlers, read before each script runs.
    std::function<std::vector<std::string>()> messageHandlerNames;
    // A script posted `body` to the handler `name`; called while the script runs.
    std::function<void(const std::string& name, const foundation::AnyValue& body)> postMessage;
  };

  struct Outcome {
    foundation::AnyValue value;
    std::shared_ptr<foundation::NSError> error;
  };

  JavaScriptPage(Hooks hooks, std::optional<std::string> title);
  ~JavaScriptPage();
  JavaScriptPage(const JavaScriptPage&) = delete;
  JavaScriptPage& operator=(const JavaScriptPage&) = delete;

  Outcome evaluate(const std::string& script);
  // The document's title as the page's scripts last left it.
  const std::optional<std::string>& title() const { return title_; }

 private:
  static int titleGetter(duk_hthread* context);
  static int titleSetter(duk_hthread* context);
  static int postMessage(duk_hthread* context);
  static JavaScriptPage& from(duk_hthread* context);

  void installGlobals();
  void refreshMessageHandlers();

  Hooks hooks_;
  std::optional<std::string> title_;
  size_t allocated_ = 0;
  duk_hthread* context_ = nullptr;
};

}  // namespace webkit
