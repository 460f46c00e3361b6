// Hostile bytes sent to every channel of every registered plug-in: each is answered
// "malformed_message" and the host goes on.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/generated_plugin_registrant.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

namespace fs = std::filesystem;
using flutter::Value;

class HostileMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "hostile-messages-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    foundation::testing::setUserDirectoriesRoot(root_.string());
    registerPlugins(*controller_);
  }
  void TearDown() override {
    controller_->engine()->shutDown();
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    fs::remove_all(root_);
  }

  // The error code of a method channel's error envelope, or of a message channel's error list.
  static std::string errorCode(const FlutterBinaryMessage& reply) {
    if (!reply || reply->empty()) return "<no reply>";
    try {
      if ((*reply)[0] == 1) {
        auto envelope = FlutterStandardMethodCodec::sharedInstance()->decodeEnvelope(*reply);
        if (auto* error = std::get_if<FlutterError>(&envelope)) return error->code;
      }
      auto message = FlutterStandardMessageCodec::sharedInstance()->decode(*reply);
      if (auto* list = message.asList(); list != nullptr && list->size() == 3) {
        if (auto* code = (*list)[0].asString()) return *code;
      }
    } catch (const FlutterCodecError& error) {
      return std::string("<undecodable reply: ") + error.what() + ">";
    }
    return "<not an error>";
  }

  fs::path root_;
  std::shared_ptr<FlutterViewController> controller_ = std::make_shared<FlutterViewController>();
};

// A value nested far deeper than any honest message: `prefix` repeated, then a null. Every
// plug-in codec reads the value after its own type byte, so its types nest like lists.
FlutterBytes nested(std::initializer_list<uint8_t> prefix, size_t depth) {
  FlutterBytes bytes;
  bytes.reserve(prefix.size() * depth + 1);
  for (size_t i = 0; i < depth; ++i) bytes.insert(bytes.end(), prefix);
  bytes.push_back(0);
  return bytes;
}

TEST_F(HostileMessagesTest, DeepNestingOfAnyTypeIsMalformedOnEveryChannel) {
  flutter::testing::TestDartSide dart(controller_->engine());
  auto channels = controller_->engine()->messenger().channelsWithHandlers();
  ASSERT_GT(channels.size(), 100u);

  // The same bytes serve both kinds of channel: a method codec reads the method name first, so
  // the nesting is what it reads.
  std::vector<std::pair<std::string, FlutterBytes>> hostile = {
      {"lists", nested({12, 1}, 100000)},
      {"maps", nested({13, 1}, 100000)},
      {"lists and records", nested({12, 1, 129}, 40000)},
  };
  for (int type = 128; type <= 143; ++type) {
    hostile.emplace_back("type " + std::to_string(type),
                         nested({static_cast<uint8_t>(type)}, 100000));
  }
  for (const auto& channel : channels) {
    for (const auto& [shape, bytes] : hostile) {
      auto reply = dart.sendBinary(channel, bytes).wait();
      EXPECT_EQ(errorCode(reply), "malformed_message") << channel << ", " << shape;
    }
  }
}

}  // namespace
