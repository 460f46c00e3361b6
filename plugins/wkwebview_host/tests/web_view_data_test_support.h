// Calling the request, cookie, data, configuration and trust APIs as the Dart side does.
#pragma once

#include <string>

#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"

namespace wkwebview_host::testing {

class WebViewDataTest : public WebViewHostTest {
 protected:
  WebViewDataTest() { answerAnnouncements(); }

  // The reply of "<api>.<operation>" to `arguments`.
  flutter::Value call(const std::string& api, const std::string& operation,
                      flutter::ValueList arguments) {
    return dart
        .sendMessage(channelName(api, operation), flutter::Value(std::move(arguments)),
                     dartSideCodec())
        .value_or(flutter::Value("no reply"));
  }
  static flutter::Value ok(flutter::Value result = flutter::Value()) {
    return flutter::ValueList{std::move(result)};
  }
  static flutter::Value failure(const std::string& code, flutter::Value message,
                                flutter::Value details = flutter::Value()) {
    return flutter::ValueList{flutter::Value(code), std::move(message), std::move(details)};
  }
  static flutter::Value id(int64_t identifier) { return flutter::Value(identifier); }
};

}  // namespace wkwebview_host::testing
