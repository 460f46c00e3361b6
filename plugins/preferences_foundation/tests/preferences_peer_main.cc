// A second host on the same folders, for the cross-process tests: it points its user directories
// and main bundle where the test says and changes preferences through the plug-in's channels, as
// the Dart side would. It writes "ready" on standard output once its plug-in is registered, and
// exits 0 once every change was answered as stored (2 on a failed change, 1 on bad usage).
//
// Usage, with <root> the user directories' root and <bundle> the main bundle's path:
//   preferences_peer <root> <bundle> set <key> <value> [<key> <value>...]
//   preferences_peer <root> <bundle> remove <key>...
//   preferences_peer <root> <bundle> set-many <key prefix> <count>
//   preferences_peer <root> <bundle> get <key>   (prints the reply; exits 4 on an error reply)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/preferences_foundation/preferences_plugin.h"

namespace {

using flutter::Value;
using flutter::ValueList;

const std::string kApi = "dev.flutter.pigeon.preferences_foundation.UserDefaultsApi.";
const std::string kLegacy = "dev.flutter.pigeon.preferences_foundation.LegacyUserDefaultsApi.";

int usage() {
  std::fprintf(stderr,
               "usage: preferences_peer <root> <bundle> set <key> <value>... | remove <key>... | "
               "set-many <prefix> <count> | get <key>\n");
  return 1;
}

class Peer {
 public:
  Peer() {
    preferences_foundation::PreferencesPlugin::registerWithRegistrar(
        dart_.registrar("PreferencesPlugin"));
  }

  bool send(const std::string& channel, ValueList arguments) {
    auto reply = dart_.sendMessage(channel, Value(std::move(arguments)),
                                   preferences_foundation::GetMessagesCodec());
    bool stored = reply && reply->asList() != nullptr && reply->asList()->size() == 1;
    last_reply_ = reply ? reply->debugString() : "no reply";
    if (!stored) {
      std::fprintf(stderr, "preferences_peer: %s: %s\n", channel.c_str(),
                   reply ? reply->debugString().c_str() : "no reply");
    }
    return stored;
  }

  bool get(const std::string& key) {
    bool answered = send(kApi + "getValue", {Value(key), options()});
    std::printf("reply %s\n", last_reply_.c_str());
    return answered;
  }

  bool set(const std::string& key, const std::string& value) {
    return send(kApi + "set", {Value(key), Value(value), options()});
  }

 private:
  static Value options() {
    return Value(std::make_shared<preferences_foundation::PreferencesPigeonOptions>());
  }

  std::string last_reply_;
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  flutter::testing::TestDartSide dart_{engine_};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return usage();
  std::vector<std::string> arguments(argv + 4, argv + argc);
  const std::string command = argv[3];
  foundation::testing::setUserDirectoriesRoot(std::string(argv[1]));
  foundation::testing::setMainBundlePath(std::string(argv[2]));
  Peer peer;
  std::printf("ready\n");
  std::fflush(stdout);

  bool stored = true;
  if (command == "set" && arguments.size() % 2 == 0) {
    for (size_t i = 0; i < arguments.size(); i += 2) {
      stored = stored && peer.set(arguments[i], arguments[i + 1]);
    }
  } else if (command == "remove") {
    for (const auto& key : arguments) {
      stored = stored && peer.send(kLegacy + "remove", {Value(key)});
    }
  } else if (command == "set-many" && arguments.size() == 2) {
    const int count = std::atoi(arguments[1].c_str());
    for (int i = 0; i < count && stored; ++i) {
      stored = peer.set(arguments[0] + std::to_string(i), std::to_string(i));
    }
  } else if (command == "get" && arguments.size() == 1) {
    return peer.get(arguments[0]) ? 0 : 4;
  } else {
    return usage();
  }
  return stored ? 0 : 2;
}
