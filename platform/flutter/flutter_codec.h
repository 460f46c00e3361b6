// Codec interfaces and the method-call and error records that method codecs carry.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "platform/flutter/value.h"

using FlutterBytes = std::vector<uint8_t>;
// A message on the wire: nullopt is a nil message (or no reply), distinct from empty data.
using FlutterBinaryMessage = std::optional<FlutterBytes>;

// Raised inside codecs for malformed input or unsupported values; channels turn it into an error
// answer, so it never crosses a channel.
class FlutterCodecError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FlutterError {
  std::string code;
  std::optional<std::string> message;
  flutter::Value details;

  friend bool operator==(const FlutterError&, const FlutterError&) = default;
};

struct FlutterMethodCall {
  std::string method;
  flutter::Value arguments;
};

class FlutterMessageCodec {
 public:
  virtual ~FlutterMessageCodec() = default;
  virtual FlutterBytes encode(const flutter::Value& message) const = 0;
  // An empty message decodes to null. Malformed input raises FlutterCodecError.
  virtual flutter::Value decode(std::span<const uint8_t> message) const = 0;
};

// A success value or an error, as a method codec's envelope carries it.
using FlutterEnvelope = std::variant<flutter::Value, FlutterError>;

class FlutterMethodCodec {
 public:
  virtual ~FlutterMethodCodec() = default;
  virtual FlutterBytes encodeMethodCall(const FlutterMethodCall& call) const = 0;
  virtual FlutterMethodCall decodeMethodCall(std::span<const uint8_t> message) const = 0;
  virtual FlutterBytes encodeSuccessEnvelope(const flutter::Value& result) const = 0;
  virtual FlutterBytes encodeErrorEnvelope(const FlutterError& error) const = 0;
  virtual FlutterEnvelope decodeEnvelope(std::span<const uint8_t> envelope) const = 0;
};
