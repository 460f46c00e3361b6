#include "plugins/secure_store_darwin/secure_store_darwin_plugin.h"

#include "platform/appkit/ns_application.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/security/sec_error_message.h"
#include "plugins/secure_store_darwin/call_arguments.h"
#include "plugins/secure_store_darwin/secure_enclave_sealing.h"

namespace secure_store_darwin {
namespace {

constexpr const char* kMissingParameterCode = "Missing Parameter";
constexpr const char* kSecurityResultCode = "Unexpected security result code";

FlutterError missingParameter(const char* message) {
  return FlutterError{kMissingParameterCode, message, nullptr};
}

FlutterError securityError(OSStatus status, std::string message) {
  return FlutterError{kSecurityResultCode, std::move(message), flutter::Value(int32_t{status})};
}

std::string unknownStatusMessage(OSStatus status) {
  return "Unknown security result code: " + std::to_string(status);
}

bool isAtLeast(long major, long minor) {
  return NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({major, minor, 0});
}

}  // namespace

void SecureStoreDarwinPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel =
      FlutterMethodChannel::methodChannelWithName(kMethodChannelName, registrar.messenger());
  auto events = FlutterEventChannel::eventChannelWithName(kEventChannelName, registrar.messenger());
  auto instance = std::make_shared<SecureStoreDarwinPlugin>();
  registrar.addMethodCallDelegate(instance, channel);
  registrar.addApplicationDelegate(instance);
  events->setStreamHandler(instance);
}

SecureStoreDarwinPlugin::SecureStoreDarwinPlugin()
    : serial_execution_queue_(dispatch_queue_create(kSerialQueueLabel, DISPATCH_QUEUE_SERIAL)) {}

const std::map<std::string, SecureStoreDarwinPlugin::Method>& SecureStoreDarwinPlugin::methods() {
  static const auto* const table = new std::map<std::string, Method>{
      {"read", {&SecureStoreDarwinPlugin::read, true}},
      {"write", {&SecureStoreDarwinPlugin::write, true}},
      {"delete", {&SecureStoreDarwinPlugin::remove, true}},
      {"deleteAll", {&SecureStoreDarwinPlugin::deleteAll, true}},
      {"readAll", {&SecureStoreDarwinPlugin::readAll, true}},
      {"containsKey", {&SecureStoreDarwinPlugin::containsKey, true}},
      {"isProtectedDataAvailable", {&SecureStoreDarwinPlugin::isProtectedDataAvailable, false}},
  };
  return *table;
}

void SecureStoreDarwinPlugin::handleMethodCall(const FlutterMethodCall& call,
                                               FlutterResult result) {
  auto self = shared_from_this();
  dispatch_async(serial_execution_queue_, [self, call, result = std::move(result)] {
    self->dispatchSecureStoreCall(call, result);
  });
}

void SecureStoreDarwinPlugin::dispatchSecureStoreCall(const FlutterMethodCall& call,
                                                      const FlutterResult& result) {
  auto found = methods().find(call.method);
  if (found == methods().end()) {
    postToMainQueue(result, FlutterMethodNotImplemented);
    return;
  }
  const Method& method = found->second;
  if (!method.readsArguments) {
    (this->*method.handler)(CallArguments{}, result);
    return;
  }
  auto arguments = parseCallArguments(call);
  if (auto* error = std::get_if<FlutterError>(&arguments)) {
    postToMainQueue(result, *error);
    return;
  }
  (this->*method.handler)(std::get<CallArguments>(arguments), result);
}

void SecureStoreDarwinPlugin::read(const CallArguments& arguments, const FlutterResult& result) {
  if (!arguments.parameters.key) {
    postToMainQueue(result, missingParameter("read requires key parameter"));
    return;
  }
  deliverStorageResponse(secure_store_manager_.readItem(arguments.parameters), result);
}

void SecureStoreDarwinPlugin::write(const CallArguments& arguments, const FlutterResult& result) {
  if (!arguments.parameters.key || !arguments.value) {
    postToMainQueue(result, missingParameter("write requires key and value parameters"));
    return;
  }
  deliverStorageResponse(secure_store_manager_.writeItem(arguments.parameters, *arguments.value),
                         result);
}

void SecureStoreDarwinPlugin::remove(const CallArguments& arguments, const FlutterResult& result) {
  if (!arguments.parameters.key) {
    postToMainQueue(result, missingParameter("delete requires key parameter"));
    return;
  }
  deliverStorageResponse(secure_store_manager_.deleteItem(arguments.parameters), result);
}

void SecureStoreDarwinPlugin::deleteAll(const CallArguments& arguments,
                                        const FlutterResult& result) {
  // The hardware-held key goes only once nothing sealed under it is left, in the same step.
  const bool remove_key = arguments.parameters.sealed() && isAtLeast(10, 15);
  deliverStorageResponse(secure_store_manager_.deleteAllItems(arguments.parameters, remove_key),
                         result);
}

void SecureStoreDarwinPlugin::readAll(const CallArguments& arguments, const FlutterResult& result) {
  deliverStorageResponse(secure_store_manager_.readAllItems(arguments.parameters), result);
}

void SecureStoreDarwinPlugin::containsKey(const CallArguments& arguments,
                                          const FlutterResult& result) {
  if (!arguments.parameters.key) {
    postToMainQueue(result, missingParameter("containsKey requires key parameter"));
    return;
  }
  ItemExistence existence = secure_store_manager_.itemExists(arguments.parameters);
  if (existence.status != errSecSuccess) {
    // The system's message alone on this path, without the code in front.
    auto message = SecCopyErrorMessageString(existence.status);
    postToMainQueue(
        result,
        securityError(existence.status, message.value_or(unknownStatusMessage(existence.status))));
    return;
  }
  postToMainQueue(result, flutter::Value(existence.exists));
}

void SecureStoreDarwinPlugin::isProtectedDataAvailable(const CallArguments& /*arguments*/,
                                                       const FlutterResult& result) {
  dispatch_async(dispatch_get_main_queue(), [result] {
    bool available =
        isAtLeast(12, 0) ? NSApplication::sharedApplication().isProtectedDataAvailable() : true;
    result(flutter::Value(available));
  });
}

void SecureStoreDarwinPlugin::deliverStorageResponse(const SecureStoreResponse& response,
                                                     const FlutterResult& result) {
  if (response.status == errSecSuccess) {
    postToMainQueue(result, response.value);
    return;
  }
  auto message = SecCopyErrorMessageString(response.status);
  postToMainQueue(
      result, securityError(response.status, message ? "Code: " + std::to_string(response.status) +
                                                           ", Message: " + *message
                                                     : unknownStatusMessage(response.status)));
}
void SecureStoreDarwinPlugin::postToMainQueue(const FlutterResult& result,
                                              FlutterMethodResponse answer) {
  dispatch_async(dispatch_get_main_queue(), [result, answer = std::move(answer)] {
    std::visit([&](const auto& response) { result(response); }, answer);
  });
}

std::optional<FlutterError> SecureStoreDarwinPlugin::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  setSecStoreAvailabilitySink(std::move(events));
  return std::nullopt;
}

std::optional<FlutterError> SecureStoreDarwinPlugin::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  setSecStoreAvailabilitySink(nullptr);
  return std::nullopt;
}

void SecureStoreDarwinPlugin::applicationProtectedDataDidBecomeAvailable(
    const NSNotification& /*notification*/) {
  if (availability_sink_) availability_sink_(flutter::Value(true));
}

void SecureStoreDarwinPlugin::applicationProtectedDataWillBecomeUnavailable(
    const NSNotification& /*notification*/) {
  if (availability_sink_) availability_sink_(flutter::Value(false));
}

}  // namespace secure_store_darwin
