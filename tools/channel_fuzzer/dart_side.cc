#include "tools/channel_fuzzer/dart_side.h"

#include <cstring>

#include "tools/channel_fuzzer/channel_names.h"
#include "tools/channel_fuzzer/message_generator.h"
#include "tools/channel_fuzzer/shapes.h"
#include "tools/channel_fuzzer/vocabulary.h"

namespace channel_fuzzer {
namespace {

// The first element of a list message when it is an integer: an announced identifier.
std::optional<int64_t> firstInteger(const Bytes& message) {
  if (message.size() < 3 || message[0] != 12 || message[1] == 0 || message[1] >= 254) {
    return std::nullopt;
  }
  if (message[2] == 3 && message.size() >= 7) {
    int32_t value = 0;
    std::memcpy(&value, message.data() + 3, sizeof value);
    return value;
  }
  if (message[2] == 4 && message.size() >= 11) {
    int64_t value = 0;
    std::memcpy(&value, message.data() + 3, sizeof value);
    return value;
  }
  return std::nullopt;
}

Bytes errorReply() {
  // ["fuzz-error", "the Dart side failed", null]
  Bytes bytes{12, 3, 7, 10};
  for (char c : std::string("fuzz-error")) bytes.push_back(static_cast<uint8_t>(c));
  bytes.push_back(7);
  bytes.push_back(20);
  for (char c : std::string("the Dart side failed")) bytes.push_back(static_cast<uint8_t>(c));
  bytes.push_back(0);
  return bytes;
}

}  // namespace

void FuzzerDartSide::messageFromHost(const std::string& channel, FlutterBinaryMessage message,
                                     FlutterBinaryReply reply) {
  const std::string plugin = pluginForChannel(channel);
  const PluginShapes* shapes = shapesOf(plugin);
  if (!isMessageChannel(channel) || shapes == nullptr || shapes->callbacks.empty()) {
    if (reply) reply(std::nullopt);
    return;
  }
  ++heard_[channel];
  const std::string call = operationOf(channel);
  if (call == "pigeon_newInstance" && message) {
    if (auto identifier = firstInteger(*message)) {
      live_[plugin].remember(apiOf(channel), Integer{*identifier, true});
    }
  }
  const MethodShape* shape = callbackShapeOf(plugin, call, apiNameOf(channel));
  // A call that names only an identifier tells that its object is gone.
  if (shape != nullptr && shape->arguments.size() == 1 &&
      shape->arguments[0].kind.type == ArgumentKind::Type::liveIdentifier &&
      !shape->arguments[0].kind.nullable && message) {
    if (auto identifier = firstInteger(*message)) live_[plugin].forget(*identifier);
  }
  if (!reply) return;
  const ArgumentKind kind = shape != nullptr ? shape->answer : ArgumentKind("none");
  const double roll = std::uniform_real_distribution<double>(0, 1)(random_);
  if (roll < 0.06 && held_.size() < kMostHeld) {
    held_.push_back({channel, kind, std::move(reply)});
  } else if (roll < 0.09) {
    reply(std::nullopt);
  } else if (roll < 0.12) {
    reply(errorReply());
  } else if (roll < 0.15) {
    // A value of any kind where the page says which.
    const auto& words = wordsForChannel(channel);
    MessageGenerator generator(random_, words);
    Bytes value = generator.messageArguments();
    reply(value.size() >= 2 && value[0] == 12 ? value : Bytes{12, 1, 0});
  } else {
    reply(answer(channel, kind));
  }
}

FlutterBinaryMessage FuzzerDartSide::answer(const std::string& channel, const ArgumentKind& kind) {
  const std::string plugin = pluginForChannel(channel);
  const auto& words = wordsForChannel(channel);
  MessageGenerator generator(random_, words, shapesOf(plugin), &live_[plugin], nullptr);
  generator.setClassPrefix(classPrefixOf(channel));
  return generator.shapedReply(kind);
}

void FuzzerDartSide::answerHeld(size_t keep) {
  while (held_.size() > keep) {
    Held held = std::move(held_.front());
    held_.pop_front();
    ++answered_late_;
    held.reply(answer(held.channel, held.answer));
  }
}

}  // namespace channel_fuzzer
