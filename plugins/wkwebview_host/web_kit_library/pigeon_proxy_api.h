// What every API of a wrapped class shares: its registrar, its table of host operations and the
// two kinds of call to the Dart side (the announcement of a new object, and callbacks about an
// object the Dart side knows).
//
// An API declares its host operations as a table, in set-up order:
//
//   std::vector<PigeonHostOperation> hostOperations() override {
//     return {operation("getUrl", &PigeonApiURLRequest::getUrl), ...};
//   }
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flutter/value.h"
#include "platform/foundation/ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_dart_reply.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_error.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"

namespace wkwebview_host {

class WebKitLibraryPigeonProxyApiRegistrar;

using PigeonCompletion = std::function<void(const PigeonResult& result)>;

// An optional field of an announcement: null when absent.
template <typename T>
flutter::Value valueOrNull(const std::optional<T>& field) {
  return field ? flutter::Value(*field) : flutter::Value();
}

class PigeonProxyApi {
 public:
  // The registrar is not owned; it outlives its APIs.
  PigeonProxyApi(WebKitLibraryPigeonProxyApiRegistrar& registrar, std::string apiName)
      : pigeon_registrar_(registrar), api_name_(std::move(apiName)) {}
  virtual ~PigeonProxyApi() = default;
  PigeonProxyApi(const PigeonProxyApi&) = delete;
  PigeonProxyApi& operator=(const PigeonProxyApi&) = delete;

  WebKitLibraryPigeonProxyApiRegistrar& pigeonRegistrar() const { return pigeon_registrar_; }
  const std::string& apiName() const { return api_name_; }

  // The host operations, in set-up order.
  virtual std::vector<PigeonHostOperation> hostOperations() { return {}; }

  // Installs the API's host operations, each on its own channel, with a proxy codec of the API's
  // own. Answers the channels installed.
  static std::vector<std::string> setUpMessageHandlers(
      const std::shared_ptr<FlutterBinaryMessenger>& binaryMessenger,
      const std::shared_ptr<PigeonProxyApi>& api);

 protected:
  template <typename Api>
  PigeonHostOperation operation(std::string name, void (Api::*handler)(const PigeonArguments&,
                                                                       const PigeonHostReply&)) {
    auto* api = static_cast<Api*>(this);
    return {std::move(name),
            [api, handler](const PigeonArguments& arguments, const PigeonHostReply& reply) {
              (api->*handler)(arguments, reply);
            }};
  }

  // The announcement "pigeon_newInstance": registers the object with a new host identifier and
  // sends the identifier followed by the fields that `readFields` reads, unless calls to the
  // Dart side are ignored (the "ignore-calls-error") or the Dart side knows the object already
  // (success, nothing sent).
  void announce(const std::shared_ptr<NSObject>& pigeonInstance,
                const std::function<flutter::ValueList()>& readFields,
                const PigeonCompletion& completion);

  // A callback about `pigeonInstance`, sent as [pigeonInstance, arguments...]. Fails without
  // sending while calls to the Dart side are ignored, or when the instance manager does not hold
  // the object (the "missing-instance-error").
  void callDart(std::string_view operation,
                const std::shared_ptr<NSObject>& pigeonInstance,
                flutter::ValueList arguments, DartReturn expected, PigeonCompletion completion);

 private:
  void send(const std::string& channel, flutter::ValueList message, DartReturn expected,
            PigeonCompletion completion);

  WebKitLibraryPigeonProxyApiRegistrar& pigeon_registrar_;
  std::string api_name_;
};

}  // namespace wkwebview_host
