// The secure-storage plug-in: keeps small string secrets in the keychain for the Dart side.
// Every call runs on one serial queue, in order of arrival, and is answered on the main queue.
// An event stream tells the Dart side when protected data becomes available (true) or
// unavailable (false).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_event_channel.h"
#include "platform/flutter/flutter_plugin.h"
#include "plugins/secure_store_darwin/call_arguments.h"
#include "plugins/secure_store_darwin/secure_store.h"

namespace secure_store_darwin {

inline constexpr const char* kMethodChannelName = "com.velmora.host/secure_store";
inline constexpr const char* kEventChannelName = "com.velmora.host/secure_store/events";
inline constexpr const char* kSerialQueueLabel = "secure_store_service";

class SecureStoreDarwinPlugin : public FlutterPlugin,
                                public FlutterStreamHandler,
                                public FlutterAppLifecycleDelegate,
                                public std::enable_shared_from_this<SecureStoreDarwinPlugin> {
 public:
  static void registerWithRegistrar(FlutterPluginRegistrar& registrar);

  SecureStoreDarwinPlugin();

  // Main thread only.
  const FlutterEventSink& secStoreAvailabilitySink() const { return availability_sink_; }
  void setSecStoreAvailabilitySink(FlutterEventSink sink) { availability_sink_ = std::move(sink); }

  void handleMethodCall(const FlutterMethodCall& call, FlutterResult result) override;
  std::optional<FlutterError> onListenWithArguments(const flutter::Value& arguments,
                                                    FlutterEventSink events) override;
  std::optional<FlutterError> onCancelWithArguments(const flutter::Value& arguments) override;
  void applicationProtectedDataDidBecomeAvailable(const NSNotification& notification) override;
  void applicationProtectedDataWillBecomeUnavailable(const NSNotification& notification) override;

 private:
  using Handler = void (SecureStoreDarwinPlugin::*)(const CallArguments&, const FlutterResult&);
  struct Method {
    Handler handler;
    bool readsArguments;
  };
  static const std::map<std::string, Method>& methods();

  // On the serial queue.
  void dispatchSecureStoreCall(const FlutterMethodCall& call, const FlutterResult& result);
  void read(const CallArguments& arguments, const FlutterResult& result);
  void write(const CallArguments& arguments, const FlutterResult& result);
  void remove(const CallArguments& arguments, const FlutterResult& result);
  void deleteAll(const CallArguments& arguments, const FlutterResult& result);
  void readAll(const CallArguments& arguments, const FlutterResult& result);
  void containsKey(const CallArguments& arguments, const FlutterResult& result);
  void isProtectedDataAvailable(const CallArguments& arguments, const FlutterResult& result);

  static void deliverStorageResponse(const SecureStoreResponse& response,
                                     const FlutterResult& result);
  static void postToMainQueue(const FlutterResult& result, FlutterMethodResponse answer);

  const SecureStore secure_store_manager_{};
  const dispatch_queue_t serial_execution_queue_;
  // Main thread only, as are the notifications that it forwards.
  FlutterEventSink availability_sink_;
};

}  // namespace secure_store_darwin
