// How the native delegates reach the Dart side: every call is made on a later turn of the main
// queue, never inside WebKit's callback, and a result that WebKit waits for is handed back on a
// turn after that. A registrar that has gone fails the call as ignored calls do, so that a
// waiting handler is still answered.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

template <typename Api>
using ApiFactory = std::unique_ptr<Api> (WebKitLibraryPigeonProxyApiDelegate::*)(
    WebKitLibraryPigeonProxyApiRegistrar&);

template <typename Api>
void postDartCall(const std::weak_ptr<WebKitLibraryPigeonProxyApiRegistrar>& registrar,
                  ApiFactory<Api> factory, std::function<void(Api&, PigeonCompletion)> send,
                  PigeonCompletion done) {
  dispatch_async(dispatch_get_main_queue(), [registrar, factory, send = std::move(send),
                                             done = std::move(done)] {
    auto owner = registrar.lock();
    if (!owner) {
      done(PigeonError::ignoreCallsError());
      return;
    }
    auto api = (owner->apiDelegate().*factory)(*owner);
    send(*api, done);
  });
}

// Runs `answer` on a later turn of the main queue, then logs the failure, if any, under
// `methodName`.
inline void postAnswer(PigeonResult result, std::string methodName,
                       std::function<void(const PigeonResult&)> answer) {
  dispatch_async(dispatch_get_main_queue(), [result = std::move(result),
                                             methodName = std::move(methodName),
                                             answer = std::move(answer)] {
    answer(result);
    if (const auto* error = std::get_if<PigeonError>(&result)) {
      ProxyAPIRegistrar::logDartCallFailure(methodName, *error);
    }
  });
}

// The completion of a notification: a failure is only logged.
inline PigeonCompletion logFailureAs(std::string methodName) {
  return [methodName = std::move(methodName)](const PigeonResult& result) {
    if (const auto* error = std::get_if<PigeonError>(&result)) {
      ProxyAPIRegistrar::logDartCallFailure(methodName, *error);
    }
  };
}

// The failure of a reply that is not of the type the call expects; `expected` names that type
// with its article ("a boolean").
inline PigeonError invalidReplyError(const std::string& expected) {
  return PigeonError("invalid-reply", "Flutter api returned a value that is not " + expected + ".",
                     flutter::Value(""));
}

// The enumeration case that a successful result carries; a result of another type is a failure.
template <typename E>
std::variant<E, PigeonError> enumerationResult(const PigeonResult& result) {
  if (const auto* error = std::get_if<PigeonError>(&result)) return *error;
  if (auto decoded = enumerationFromValue<E>(std::get<flutter::Value>(result))) return *decoded;
  return invalidReplyError("a " + std::string(PigeonEnumeration<E>::name));
}

// The result to log after answering with an enumeration case: its failure, if any.
template <typename E>
PigeonResult asLoggedResult(const std::variant<E, PigeonError>& answer) {
  if (const auto* error = std::get_if<PigeonError>(&answer)) return *error;
  return flutter::Value();
}

}  // namespace wkwebview_host
