// Method channels: named calls with a method name and arguments, answered through FlutterResult.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_result.h"
#include "platform/flutter/flutter_standard_codec.h"

// The channel hands the decoded call over: a handler may read it by const reference, or take it
// (by value or rvalue reference) to keep it past the call without a copy.
using FlutterMethodCallHandler = std::function<void(FlutterMethodCall call, FlutterResult result)>;

// Error code of the answer to a message that cannot be decoded.
inline constexpr const char* kFlutterMalformedMessageCode = "malformed_message";
// Error code of an answer or call that the codec cannot encode (text that is not UTF-8, a value
// the codec has no type for).
inline constexpr const char* kFlutterEncodingErrorCode = "encoding_error";

class FlutterMethodChannel {
 public:
  static std::shared_ptr<FlutterMethodChannel> methodChannelWithName(
      const std::string& name, std::shared_ptr<FlutterBinaryMessenger> messenger,
      std::shared_ptr<const FlutterMethodCodec> codec = nullptr);

  // A null codec means the standard method codec.
  FlutterMethodChannel(std::string name, std::shared_ptr<FlutterBinaryMessenger> messenger,
                       std::shared_ptr<const FlutterMethodCodec> codec = nullptr);

  const std::string& name() const { return name_; }

  // Installs the handler of calls from the Dart side; null removes it. Undecodable calls are
  // answered with a "malformed_message" error without reaching the handler.
  void setMethodCallHandler(FlutterMethodCallHandler handler);

  // Calls a method of the Dart side, ignoring or receiving its answer. An absent Dart handler
  // answers not-implemented.
  void invokeMethod(const std::string& method, flutter::Value arguments);
  void invokeMethod(const std::string& method, flutter::Value arguments,
                    std::function<void(FlutterMethodResponse)> callback);

 private:
  std::string name_;
  std::shared_ptr<FlutterBinaryMessenger> messenger_;
  std::shared_ptr<const FlutterMethodCodec> codec_;
  FlutterBinaryMessengerConnection connection_ = 0;
};
