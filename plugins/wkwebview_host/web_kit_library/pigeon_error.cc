#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"

#include "platform/flutter/flutter_message_envelope.h"

namespace wkwebview_host {

PigeonError PigeonError::ignoreCallsError() {
  return PigeonError("ignore-calls-error", "Calls to Dart are being ignored.", "");
}

PigeonError PigeonError::missingInstanceError(const std::string& method) {
  return PigeonError("missing-instance-error",
                     "Callback to `" + method +
                         "` failed because native instance was not in the instance manager.",
                     "");
}

PigeonError PigeonError::nullError() {
  return PigeonError("null-error", "Flutter api returned null value for non-null return value.",
                     "");
}

PigeonError PigeonError::connectionError(const std::string& channelName) {
  FlutterError error = flutter::createConnectionError(channelName);
  return PigeonError(error.code, error.message, "");
}

}  // namespace wkwebview_host
