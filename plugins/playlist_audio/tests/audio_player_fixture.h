// The fixture the audio player tests share: one registered plug-in, a player "p" whose playback
// events the Dart side listens to, and helpers that build source maps and read the engine's queue.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/avfoundation/testing/av_foundation_controls.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/playlist_audio/playlist_audio_plugin.h"

namespace playlist_audio::testing {

namespace av = avfoundation::testing;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;
using Names = std::vector<std::string>;

inline const std::string kMethods = "com.quillmark.playlist_audio.methods.p";
inline const std::string kEvents = "com.quillmark.playlist_audio.events.p";
inline const Value kEmpty = ValueMap{};

inline Value uri(const std::string& id) {
  return ValueMap{
      {"type", "progressive"}, {"id", id}, {"uri", "https://example.com/" + id + ".mp3"}};
}

inline Value concat(const std::string& id, ValueList children, ValueList order, bool lazy = false) {
  return ValueMap{{"type", "concatenating"},
                  {"id", id},
                  {"children", children},
                  {"shuffleOrder", order},
                  {"useLazyPreparation", lazy}};
}

inline Value clip(const std::string& id, Value child, Value start, Value end) {
  return ValueMap{
      {"type", "clipping"}, {"id", id}, {"child", child}, {"start", start}, {"end", end}};
}

inline ValueList range(int count) {
  ValueList order;
  for (int i = 0; i < count; ++i) order.push_back(i);
  return order;
}

inline Value playlist(int count, bool lazy = false) {
  ValueList children;
  for (int i = 0; i < count; ++i) children.push_back(uri("s" + std::to_string(i)));
  return concat("root", children, range(count), lazy);
}

inline std::string name(const std::shared_ptr<AVPlayerItem>& item) {
  return item ? item->asset()->URL().lastPathComponent() : "";
}

inline CMTime seconds(int64_t value) { return CMTimeMake(value, 1); }

class AudioPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PlaylistAudioPlugin::registerWithRegistrar(dart.registrar("PlaylistAudioPlugin"));
    ASSERT_TRUE(
        main("init", ValueMap{{"id", "p"}, {"audioLoadConfiguration", nullptr}}).isSuccess());
    ASSERT_TRUE(dart.listen(kEvents).isSuccess());
  }
  void TearDown() override {
    av::setSeeksHeld(false);
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
  }

  // Disposes "p" and creates it again from these "init" arguments (the id is added).
  void reinit(ValueMap arguments) {
    ASSERT_TRUE(main("disposePlayer", ValueMap{{"id", "p"}}).isSuccess());
    arguments.set("id", "p");
    ASSERT_TRUE(main("init", Value(std::move(arguments))).isSuccess());
    ASSERT_TRUE(dart.listen(kEvents).isSuccess());
  }

  MethodReply main(const std::string& method, Value arguments = Value()) {
    return dart.invokeMethod(kMainChannelName, method, std::move(arguments));
  }
  MethodReply call(const std::string& method, Value arguments = Value()) {
    return dart.invokeMethod(kMethods, method, std::move(arguments));
  }
  TestDartSide::PendingCall callAsync(const std::string& method, Value arguments = Value()) {
    return dart.invokeMethodAsync(kMethods, method, std::move(arguments));
  }
  TestDartSide::PendingCall loadAsync(Value source, Value extra = ValueMap{}) {
    ValueMap arguments = *extra.asMap();
    arguments.set("audioSource", std::move(source));
    if (!arguments.contains("initialPosition")) arguments.set("initialPosition", nullptr);
    if (!arguments.contains("initialIndex")) arguments.set("initialIndex", nullptr);
    return callAsync("load", Value(std::move(arguments)));
  }
  // Seeks and concatenating edits, with the values as the Dart side sends them.
  TestDartSide::PendingCall seekAsync(Value position, Value index = nullptr) {
    return callAsync("seek",
                     ValueMap{{"position", std::move(position)}, {"index", std::move(index)}});
  }
  MethodReply seek(Value position, Value index = nullptr) {
    return call("seek", ValueMap{{"position", std::move(position)}, {"index", std::move(index)}});
  }
  MethodReply insertAll(Value index, ValueList children, ValueList order, std::string id = "root") {
    return call("concatenatingInsertAll", ValueMap{{"id", std::move(id)},
                                                   {"index", std::move(index)},
                                                   {"children", std::move(children)},
                                                   {"shuffleOrder", std::move(order)}});
  }
  MethodReply removeRange(Value start, Value end, ValueList order, std::string id = "root") {
    return call("concatenatingRemoveRange", ValueMap{{"id", std::move(id)},
                                                     {"startIndex", std::move(start)},
                                                     {"endIndex", std::move(end)},
                                                     {"shuffleOrder", std::move(order)}});
  }
  MethodReply move(Value from, Value to, ValueList order, std::string id = "root") {
    return call("concatenatingMove", ValueMap{{"id", std::move(id)},
                                              {"currentIndex", std::move(from)},
                                              {"newIndex", std::move(to)},
                                              {"shuffleOrder", std::move(order)}});
  }
  std::shared_ptr<AVQueuePlayer> engine() { return av::queuePlayers().back(); }
  std::shared_ptr<AVPlayerItem> current() { return engine()->currentItem(); }
  Names queue() {
    Names names;
    for (const auto& item : engine()->items()) names.push_back(name(item));
    return names;
  }
  // Loads and makes every queued item ready with the given duration.
  void loadReady(Value source, Value extra = ValueMap{}, CMTime duration = seconds(60)) {
    auto pending = loadAsync(std::move(source), std::move(extra));
    for (const auto& item : engine()->items()) av::makeItemReady(*item, duration);
    ASSERT_TRUE(pending.wait().isSuccess());
  }
  const Value& lastEvent() { return dart.events(kEvents).back().value(); }
  Value last(const std::string& key) {
    dart.drain();
    const auto* value = lastEvent().find(key);
    return value != nullptr ? *value : Value();
  }
  size_t eventCount() { return dart.events(kEvents).size(); }

  std::shared_ptr<FlutterEngine> flutterEngine = FlutterEngine::create();
  TestDartSide dart{flutterEngine};
};

}  // namespace playlist_audio::testing
