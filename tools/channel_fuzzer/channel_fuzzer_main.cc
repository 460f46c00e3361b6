// The channel fuzzer: registers every plug-in as the host does, then sends every channel that has
// a handler thousands of generated messages, shaped by that plug-in's own words. It fails on a
// crash or sanitizer report (the process dies, with the message that did it on standard error),
// on a message answered twice, and on a message not answered within the bound (a script's
// evaluation, which may wait behind others and run for its whole budget, is not waited for: its
// answer is checked later, against the page's budgets and the bound).
//
//   channel_fuzzer [--seed N|random] [--messages-per-channel N] [--seconds S]
//                  [--answer-bound-ms MS] [--channel PART] [--verbose]
//   channel_fuzzer --check-shapes
//
// --channel limits the run to channels whose name holds PART, to reproduce a finding.
// --check-shapes sends nothing: it checks that a plug-in whose page names its message channels'
// operations by API names every operation it registers, and nothing else.
//
// Everything it touches lives in a temporary directory: the user's directories, the working
// directory and the temporary directory all point there.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "host/generated_plugin_registrant.h"
#include "platform/appkit/testing/sharing_controls.h"
#include "platform/dispatch/testing/main_queue_pump.h"
#include "platform/flutter/flutter_faults.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/webkit/testing/web_view_controls.h"
#include "plugins/wkwebview_host/hwv_web_view_external_api.h"
#include "plugins/wkwebview_host/webview_host_plugin.h"
#include "tools/channel_fuzzer/answer_reader.h"
#include "tools/channel_fuzzer/channel_names.h"
#include "tools/channel_fuzzer/dart_side.h"
#include "tools/channel_fuzzer/exclusions.h"
#include "tools/channel_fuzzer/live_values.h"
#include "tools/channel_fuzzer/message_generator.h"
#include "tools/channel_fuzzer/shapes.h"
#include "tools/channel_fuzzer/vocabulary.h"
#include "tools/channel_fuzzer/web_content_samples.h"
#include "tools/channel_fuzzer/web_view_session.h"
#include "tools/fuzzing/crash_report.h"
#include "tools/fuzzing/seed_files.h"

namespace channel_fuzzer {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  uint64_t seed = 1;
  size_t messages_per_channel = 1000;
  double seconds = 0;  // no limit
  std::chrono::milliseconds answer_bound{5000};
  std::string channel_filter;
  bool verbose = false;
  bool check_shapes = false;
};

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* value = nullptr;
    if (argument == "--verbose") {
      options.verbose = true;
    } else if (argument == "--check-shapes") {
      options.check_shapes = true;
    } else if (argument == "--seed" && (value = next())) {
      options.seed = std::string(value) == "random" ? std::random_device()() * 65537ull +
                                                          std::random_device()()
                                                    : std::strtoull(value, nullptr, 10);
    } else if (argument == "--messages-per-channel" && (value = next())) {
      options.messages_per_channel = std::strtoull(value, nullptr, 10);
    } else if (argument == "--seconds" && (value = next())) {
      options.seconds = std::strtod(value, nullptr);
    } else if (argument == "--channel" && (value = next())) {
      options.channel_filter = value;
    } else if (argument == "--answer-bound-ms" && (value = next())) {
      options.answer_bound = std::chrono::milliseconds(std::strtoll(value, nullptr, 10));
    } else {
      std::fprintf(stderr, "unknown or incomplete option: %s\n", argument.c_str());
      return false;
    }
  }
  return true;
}

std::string hex(const Bytes& bytes, size_t limit = 512) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  if (bytes.size() > limit) text += "... (" + std::to_string(bytes.size()) + " bytes)";
  return text;
}

// The message in flight, for the report of a crash.
struct InFlight {
  std::string channel;
  std::string method;
  Bytes bytes;
};
InFlight& inFlight() {
  static auto* const message = new InFlight();
  return *message;
}

void reportInFlight() {
  const auto& message = inFlight();
  std::fprintf(stderr, "channel_fuzzer: the process died on channel '%s', method '%s', bytes %s\n",
               message.channel.c_str(), message.method.c_str(), hex(message.bytes).c_str());
}

// The element count of a message that is a list; 0 for any other.
size_t argumentCount(const Bytes& message) {
  return message.size() >= 2 && message[0] == 12 && message[1] < 254 ? message[1] : 0;
}

// A call that runs a page's script on an object: answered when the script ends, which may take
// the script's whole budget.
bool runsAScript(const MethodShape* shape) {
  if (shape == nullptr || shape->arguments.empty() ||
      shape->arguments.front().kind.rfind("new:", 0) == 0) {
    return false;
  }
  for (const auto& argument : shape->arguments) {
    if (argument.kind == "script") return true;
  }
  return false;
}

// The one API whose objects a value of `kind` ("object:<API>", "objects:<API>", either with "?")
// names; empty for any other kind.
std::string apiOfKind(const std::string& kind) {
  std::string api;
  if (kind.rfind("object:", 0) == 0) api = kind.substr(7);
  if (kind.rfind("objects:", 0) == 0) api = kind.substr(8);
  if (!api.empty() && api.back() == '?') api.pop_back();
  return api.find_first_of("|*") == std::string::npos ? api : std::string();
}

constexpr const char* kWebViewPlugin = "wkwebview_host";
const std::string kWebViewPrefix = WebViewSessions::kClassPrefix;
const std::string kWebViewClear = kWebViewPrefix + "PigeonInternalInstanceManager.clear";

struct Finding {
  std::string kind;
  std::string channel;
  std::string method;
  Bytes bytes;
};

// A call's method names an object's birth or its end by these words. The answers are kept: the
// same few hundred names are asked about over and over.
bool matchesMemoized(const std::string& method, const std::regex& pattern,
                     std::map<std::string, bool>& known) {
  auto found = known.find(method);
  if (found != known.end()) return found->second;
  return known[method] = std::regex_search(method, pattern);
}

bool createsAnObject(const std::string& method) {
  static const std::regex pattern(
      "^(create|open|init|load|add|new|register|start|getUserMedia|getDisplayMedia|"
      "pigeon_defaultConstructor)|Create");
  static auto* const known = new std::map<std::string, bool>();
  return matchesMemoized(method, pattern, *known);
}

bool endsAnObject(const std::string& method) {
  static const std::regex pattern(
      "(dispose|Dispose|close|Close|delete|Delete|remove|Remove|"
      "release|stop|Stop|clear)");
  static auto* const known = new std::map<std::string, bool>();
  return matchesMemoized(method, pattern, *known);
}

struct ChannelCounts {
  size_t sent = 0;
  // Answered by the plug-in's work: a success, or an error that is not a refusal of the
  // arguments or of the object they name.
  size_t reached = 0;
  double seconds = 0;
};

class Fuzzer final : public WebViewSessionHost {
 public:
  Fuzzer(const Options& options, std::shared_ptr<FlutterEngine> engine,
         std::shared_ptr<FuzzerDartSide> dartSide, SeedFiles seeds)
      : options_(options),
        engine_(std::move(engine)),
        dart_(std::move(dartSide)),
        random_(options.seed),
        seeds_(std::move(seeds)) {}

  int run() {
    const auto start = Clock::now();
    auto outOfTime = [&] {
      return options_.seconds > 0 &&
             std::chrono::duration<double>(Clock::now() - start).count() > options_.seconds;
    };
    const size_t batch = std::max<size_t>(1, std::min<size_t>(50, options_.messages_per_channel));
    bool more = true;
    while (more && !outOfTime() && findings_.size() < kMaxFindings) {
      more = false;
      // Channels made at run time (a player's, a connection's) join the next round.
      for (const auto& channel : engine_->messenger().channelsWithHandlers()) {
        if (channel.find(options_.channel_filter) == std::string::npos) continue;
        if (counts_[channel].sent >= options_.messages_per_channel) continue;
        more = true;
        const auto round_start = Clock::now();
        for (size_t i = 0; i < batch && counts_[channel].sent < options_.messages_per_channel &&
                           engine_->messenger().hasHandler(channel);
             ++i) {
          fuzzChannel(channel);
          checkPending(false);
        }
        counts_[channel].seconds +=
            std::chrono::duration<double>(Clock::now() - round_start).count();
        if (outOfTime() || findings_.size() >= kMaxFindings) break;
      }
    }
    if (sessions_) sessions_->releaseAll(*this);
    dart_->answerHeld(0);
    if (!allPendingAnswered() && engine_->messenger().hasHandler(kWebViewClear)) {
      // Pages still running scripts end with their web views, as at a Dart side's restart.
      send(kWebViewClear, GeneratedMessage{{12, 0}, "clear"}, kWebViewPlugin);
    }
    auto last_due = Clock::now();
    for (const auto& pending : pending_) last_due = std::max(last_due, pending.deadline);
    dispatch::testing::runUntil([&] { return allPendingAnswered(); },
                                std::chrono::ceil<std::chrono::milliseconds>(
                                    last_due - Clock::now() + std::chrono::milliseconds(1)));
    checkPending(true);
    dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
    collectFaults("(after the run)", "", {});
    return report(std::chrono::duration<double>(Clock::now() - start).count());
  }

  // WebViewSessionHost.
  bool call(const std::string& operation, LiveValues& objects) override {
    const std::string channel = kWebViewPrefix + operation;
    return sendShaped(channel, kWebViewPlugin, shapesOf(kWebViewPlugin), nullptr, false, &objects);
  }

  void release(int64_t identifier) override {
    GeneratedMessage message{{12, 1, 4}, "removeStrongReference"};
    for (int i = 0; i < 8; ++i) {
      message.bytes.push_back(static_cast<uint8_t>(identifier >> (8 * i)));
    }
    send(kWebViewPrefix + "PigeonInternalInstanceManager.removeStrongReference", std::move(message),
         kWebViewPlugin);
  }

  std::shared_ptr<WKWebView> webView(int64_t identifier) override {
    return HWVWebViewExternalAPI::webViewForIdentifier(identifier, *engine_);
  }

  int64_t registerObject(const std::shared_ptr<NSObject>& object) override {
    const int64_t identifier = freshIdentifier();
    auto plugin = std::dynamic_pointer_cast<wkwebview_host::WebViewHostPlugin>(
        std::static_pointer_cast<FlutterPlugin>(
            engine_->valuePublishedByPlugin(wkwebview_host::WebViewHostPlugin::kPluginKey)));
    if (plugin && plugin->proxyApiRegistrar()) {
      plugin->proxyApiRegistrar()->instanceManager()->registerDartObject(object, identifier);
    }
    return identifier;
  }

  void pump(std::chrono::milliseconds time) override {
    dispatch::testing::runUntil([] { return false; }, time);
  }

  std::mt19937_64& random() override { return random_; }

 private:
  static constexpr size_t kMaxFindings = 50;
  // Messages kept to show with a message that was not answered in time.
  static constexpr size_t kRecent = 24;
  // A page answers its requests (a page load's scripts, its document-end user scripts, an
  // evaluation) one at a time, in order, each within its budget (5 s) and the half second its
  // process has past it before it is killed. Ahead of an evaluation wait at most the evaluations
  // sent before it on the same web view and one request of the navigation under way (only the
  // first navigation runs scripts, one request after the other); a process that must start first
  // has 10 s, then one turn for the page it starts with. The answer's own bound (the hops, an
  // array's description) comes on top.
  static constexpr std::chrono::milliseconds kScriptTurn{5500};
  static constexpr std::chrono::seconds kProcessStart{10};
  // How long an answer past its time is still watched for, to tell late from never.
  static constexpr std::chrono::seconds kLateWatch{120};
  // A session of the web view now and then, from a step on one of its channels.
  static constexpr double kSessionShare = 0.1;
  // Calls to the Dart side held unanswered after a session.
  static constexpr size_t kHeldAfterSession = 8;

  // A call not waited for; its answer is checked later.
  struct Pending {
    std::string channel;
    std::string method;
    Bytes bytes;
    std::shared_ptr<std::atomic<int>> answered;
    std::shared_ptr<Bytes> answer;
    std::optional<int64_t> object;  // the web view whose page runs it
    Clock::time_point sent;
    Clock::time_point run_by;  // when the page is done with it at the latest
    Clock::time_point deadline;
    bool late = false;  // reported, and watched for a late answer
  };

  // The object a message-channel call is about: its first argument, a reference (type 128 and an
  // integer).
  static std::optional<int64_t> objectOf(const Bytes& message) {
    if (message.size() < 8 || message[0] != 12 || message[1] == 0 || message[2] != 128) {
      return std::nullopt;
    }
    if (message[3] == 3) {
      int32_t identifier;
      std::memcpy(&identifier, &message[4], sizeof identifier);
      return identifier;
    }
    if (message[3] == 4 && message.size() >= 12) {
      int64_t identifier;
      std::memcpy(&identifier, &message[4], sizeof identifier);
      return identifier;
    }
    return std::nullopt;
  }

  // One step on `channel`: an object's life (create, use, dispose, use again), one call shaped
  // as its plug-in's page says, or one generated without regard for any shape.
  void fuzzChannel(const std::string& channel) {
    const std::string plugin = pluginForChannel(channel);
    const PluginShapes* shapes = shapesOf(plugin);
    if (plugin == kWebViewPlugin && shapes != nullptr &&
        std::uniform_real_distribution<double>(0, 1)(random_) < kSessionShare &&
        counts_[kWebViewPrefix + "NSViewWKWebView.pigeon_defaultConstructor"].sent <
            options_.messages_per_channel) {
      sessions()->run(*this);
      dart_->answerHeld(kHeldAfterSession);
      return;
    }
    const double roll = std::uniform_real_distribution<double>(0, 1)(random_);
    if (roll < 0.2 && runLifetime(channel, plugin, shapes)) return;
    if (roll < 0.7) {
      sendShaped(channel, plugin, shapes, nullptr);
      return;
    }
    const auto& words = wordsForChannel(channel);
    MessageGenerator generator(random_, words);
    GeneratedMessage message;
    if (isMessageChannel(channel)) {
      message.bytes = generator.messageArguments();
      message.method = operationOf(channel);
    } else {
      message = generator.methodCall();
    }
    send(channel, std::move(message), plugin);
  }

  // The method calls or operations of `plugin` whose names pass `wanted`, each with the channel
  // it goes on: `channel` for a method channel, the operation's own channel for message channels.
  std::vector<std::pair<std::string, const MethodShape*>> candidates(
      const std::string& channel, const std::string& plugin, const PluginShapes* shapes,
      const std::function<bool(const std::string&)>& wanted) {
    std::vector<std::pair<std::string, const MethodShape*>> found;
    if (!isMessageChannel(channel)) {
      if (shapes == nullptr) return found;
      for (const auto& shape : shapes->methods) {
        if (wanted(shape.method)) found.emplace_back(channel, &shape);
      }
      return found;
    }
    // An object's operations are those of its own class (the API the channel names).
    const std::string api = apiOf(channel);
    for (const auto& other : engine_->messenger().channelsWithHandlers()) {
      if (!isMessageChannel(other) || apiOf(other) != api) continue;
      const std::string operation = operationOf(other);
      if (wanted(operation)) {
        found.emplace_back(other, shapeOf(plugin, operation, apiNameOf(other)));
      }
    }
    return found;
  }

  // create, use a few times, dispose, use again. False when the plug-in has nothing to create.
  bool runLifetime(const std::string& channel, const std::string& plugin,
                   const PluginShapes* shapes) {
    auto creates = candidates(channel, plugin, shapes, createsAnObject);
    if (creates.empty()) return false;
    auto uses = candidates(channel, plugin, shapes, [](const std::string& method) {
      return !createsAnObject(method) && !endsAnObject(method);
    });
    auto ends = candidates(channel, plugin, shapes, endsAnObject);
    auto pick = [&](const auto& list) { return list[random_() % list.size()]; };

    auto [create_channel, create_shape] = pick(creates);
    const auto before = engine_->messenger().channelsWithHandlers();
    sendShaped(create_channel, plugin, shapes, create_shape, /*keepMadeUpIds=*/true);
    // An object may come with channels of its own (a player's, a connection's): its life goes on
    // there.
    for (const auto& channel_made : engine_->messenger().channelsWithHandlers()) {
      if (std::binary_search(before.begin(), before.end(), channel_made)) continue;
      if (isMessageChannel(channel_made)) {
        const std::string operation = operationOf(channel_made);
        (endsAnObject(operation) ? ends : uses)
            .emplace_back(channel_made, shapeOf(plugin, operation, apiNameOf(channel_made)));
      } else if (shapes != nullptr) {
        for (const auto& shape : shapes->methods) {
          (endsAnObject(shape.method) ? ends : uses).emplace_back(channel_made, &shape);
        }
      }
    }
    const size_t use_count = 1 + random_() % 5;
    for (size_t i = 0; i < use_count && !uses.empty(); ++i) {
      auto [use_channel, use_shape] = pick(uses);
      sendShaped(use_channel, plugin, shapes, use_shape);
    }
    if (!ends.empty()) {
      auto [end_channel, end_shape] = pick(ends);
      sendShaped(end_channel, plugin, shapes, end_shape);
      for (size_t i = 0; i < 2 && !uses.empty(); ++i) {
        auto [use_channel, use_shape] = pick(uses);
        sendShaped(use_channel, plugin, shapes, use_shape);
      }
    }
    return true;
  }

  // A call shaped as `shape` says (any of the plug-in's shapes on a method channel when null),
  // naming the objects of `scope` first when given; the objects it makes join the plug-in's and
  // `scope`. Answers whether it succeeded.
  bool sendShaped(const std::string& channel, const std::string& plugin, const PluginShapes* shapes,
                  const MethodShape* shape, bool keepMadeUpIds = false, LiveValues* scope = nullptr,
                  bool providing = false) {
    if (!engine_->messenger().hasHandler(channel)) return false;
    const auto& words = wordsForChannel(channel);
    LiveValues& live = dart_->live(plugin);
    MessageGenerator generator(random_, words, shapes, &live, &seeds_);
    generator.setScope(scope);
    GeneratedMessage message;
    if (isMessageChannel(channel)) {
      generator.setClassPrefix(classPrefixOf(channel));
      if (shape == nullptr) shape = shapeOf(plugin, operationOf(channel), apiNameOf(channel));
      if (shape != nullptr && scope == nullptr && !providing) {
        provideObjects(channel, plugin, *shape);
      }
      keepMadeUpIds = keepMadeUpIds || createsAnObject(operationOf(channel));
      message.bytes = generator.shapedMessageArguments(shape, keepMadeUpIds, arity_[channel]);
      message.method = operationOf(channel);
    } else if (shape != nullptr) {
      message = generator.shapedMethodCall(*shape);
    } else if (shapes != nullptr && !shapes->methods.empty()) {
      message = generator.shapedMethodCall(shapes->methods[random_() % shapes->methods.size()]);
    } else {
      message = generator.methodCall();
    }
    const size_t arity = argumentCount(message.bytes);
    auto answer = send(channel, std::move(message), plugin);
    if (!answer || answer->outcome != Outcome::success) return false;
    // What worked once is likelier to work again.
    if (isMessageChannel(channel)) arity_[channel] = arity;
    const std::string class_prefix = isMessageChannel(channel) ? classPrefixOf(channel) : "";
    auto remember = [&](const std::string& key, const IdValue& value) {
      live.remember(key, value);
      if (scope != nullptr) scope->remember(key, value);
    };
    for (const auto& id : generator.madeUpIds()) {
      if (!class_prefix.empty() && id.key.rfind(class_prefix, 0) == 0) {
        // The identifier of a new object of the API the page names.
        remember(id.key, id.value);
      } else if (keepMadeUpIds) {
        live.remember(id.key, id.value);
        // Under its class too, so that every kind of object can be found.
        if (isMessageChannel(channel)) live.remember(apiOf(channel), id.value);
      }
    }
    const std::string api = shape != nullptr ? apiOfKind(shape->answer) : "";
    if (!api.empty()) {
      for (const auto& value : answer->values) {
        if (std::holds_alternative<Reference>(value.value)) {
          remember(class_prefix + api, value.value);
        }
      }
    }
    return true;
  }

  // Makes, through the operations of the plug-in's page that make them, the objects `shape` names
  // that the Dart side knows none of (a web view before its loads, a configuration before the web
  // view), a few levels deep.
  void provideObjects(const std::string& channel, const std::string& plugin,
                      const MethodShape& shape) {
    for (const auto& argument : shape.arguments) {
      const std::string api = apiOfKind(argument.kind);
      if (argument.kind.rfind("object:", 0) == 0 && !api.empty()) {
        provide(classPrefixOf(channel), plugin, api, 0);
      }
    }
  }

  // Whether the Dart side knows an object of `api`, after making one if it knew none.
  bool provide(const std::string& prefix, const std::string& plugin, const std::string& api,
               int depth) {
    static constexpr int kDeepest = 4;
    const PluginShapes* shapes = shapesOf(plugin);
    if (dart_->live(plugin).has(prefix + api)) return true;
    if (depth >= kDeepest || shapes == nullptr) return false;
    std::vector<const MethodShape*> makers;
    for (const auto& candidate : shapes->methods) {
      bool makes = apiOfKind(candidate.answer) == api;
      for (const auto& made : candidate.arguments) makes = makes || made.kind == "new:" + api;
      if (makes) makers.push_back(&candidate);
    }
    if (makers.empty()) {
      // Objects only the platform makes (a challenge, a URL) are handed over as it would.
      if (plugin != kWebViewPlugin || !sessions()) return false;
      auto object = sessions_->platformObject(api, random_);
      if (!object) return false;
      dart_->live(plugin).remember(prefix + api, Integer{registerObject(object), true});
      return true;
    }
    const MethodShape* maker = makers[random_() % makers.size()];
    for (const auto& argument : maker->arguments) {
      const std::string needed = apiOfKind(argument.kind);
      if (argument.kind.rfind("object:", 0) == 0 && argument.kind.back() != '?' &&
          !needed.empty() && !provide(prefix, plugin, needed, depth + 1)) {
        return false;
      }
    }
    sendShaped(prefix + maker->method, plugin, shapes, maker, false, nullptr, true);
    return dart_->live(plugin).has(prefix + api);
  }

  WebViewSessions* sessions() {
    if (!sessions_) sessions_ = std::make_unique<WebViewSessions>();
    return sessions_.get();
  }

  // Sends one message and waits for its answer; nullopt when the call may not be sent or was not
  // waited for. One that runs a page's script is not waited for: its answer is checked later
  // (checkPending).
  std::optional<ReadAnswer> send(const std::string& channel, GeneratedMessage message,
                                 const std::string& plugin) {
    const bool wait = !isMessageChannel(channel) ||
                      !runsAScript(shapeOf(plugin, operationOf(channel), apiNameOf(channel)));
    if (findExcluded(kEndsTheApplication, channel, message.method) ||
        findExcluded(kOpenFindings, channel, message.method, message.bytes)) {
      return std::nullopt;
    }
    const bool waits_on_user = findExcluded(kWaitsOnTheUser, channel, message.method) != nullptr;

    auto& flight = inFlight();
    flight.channel = channel;
    flight.method = message.method;
    flight.bytes = std::move(message.bytes);
    if (options_.verbose) {
      std::fprintf(stderr, "%s %s %s\n", channel.c_str(), flight.method.c_str(),
                   hex(flight.bytes, 64).c_str());
    }

    recent_.push_back(channel + " " + flight.method + " (" + std::to_string(flight.bytes.size()) +
                      " bytes) " + hex(flight.bytes, 48));
    if (recent_.size() > kRecent) recent_.pop_front();
    auto answered = std::make_shared<std::atomic<int>>(0);
    auto answer_bytes = std::make_shared<Bytes>();
    engine_->deliverFromDartSide(channel, flight.bytes,
                                 [answered, answer_bytes](FlutterBinaryMessage reply) {
                                   if (reply) *answer_bytes = std::move(*reply);
                                   answered->fetch_add(1);
                                 });
    ChannelCounts& counts = counts_[channel];
    ++counts.sent;
    ++total_;
    std::optional<ReadAnswer> answer;
    if (!wait && !waits_on_user) {
      const auto now = Clock::now();
      const auto object = objectOf(flight.bytes);
      // A process to start, its first page, the navigation's request, then this one.
      auto run_by = now + kProcessStart + 3 * kScriptTurn;
      for (const auto& earlier : pending_) {
        if (object && earlier.object == object && !earlier.late) {
          // Once the earlier one is done: the navigation's request, then this one.
          run_by = std::max(run_by, earlier.run_by + 2 * kScriptTurn);
        }
      }
      pending_.push_back({channel, flight.method, flight.bytes, answered, answer_bytes, object, now,
                          run_by, run_by + options_.answer_bound});
    } else if (!waits_on_user) {
      if (!dispatch::testing::runUntil([&] { return answered->load() > 0; },
                                       options_.answer_bound)) {
        addFinding({"not answered within " + std::to_string(options_.answer_bound.count()) + " ms",
                    channel, flight.method, flight.bytes});
      } else {
        answer = isMessageChannel(channel) ? readMessageAnswer(*answer_bytes)
                                           : readMethodAnswer(*answer_bytes);
        if (answer->outcome == Outcome::success || answer->outcome == Outcome::failed) {
          ++counts.reached;
        }
        if (answer->outcome == Outcome::success) {
          if (isMessageChannel(channel) && apiNameOf(channel) == "PigeonInternalInstanceManager" &&
              operationOf(channel) == "clear") {
            // Every object is gone, and the host's identifiers start again.
            dart_->live(plugin).clear();
          }
          dart_->live(plugin).rememberAll(answer->values);
        }
        if (options_.verbose) {
          static const char* const kOutcomes[] = {"not implemented", "success", "refused", "failed",
                                                  "unreadable"};
          std::fprintf(stderr, "  -> %s %s %s\n", kOutcomes[static_cast<int>(answer->outcome)],
                       answer->code.c_str(), answer->message.substr(0, 120).c_str());
        }
      }
    }
    collectFaults(channel, flight.method, flight.bytes);
    return answer;
  }

  bool allPendingAnswered() const {
    return std::all_of(pending_.begin(), pending_.end(),
                       [](const Pending& pending) { return pending.answered->load() > 0; });
  }

  // Counts the calls not waited for that were answered since, and reports those past their
  // bound (all that are still unanswered when `final`); one reported is watched a while longer,
  // to tell a late answer from none.
  void checkPending(bool final) {
    const auto now = Clock::now();
    for (auto it = pending_.begin(); it != pending_.end();) {
      const double age = std::chrono::duration<double>(now - it->sent).count();
      if (it->answered->load() > 0) {
        auto answer = readMessageAnswer(*it->answer);
        if (answer.outcome == Outcome::success || answer.outcome == Outcome::failed) {
          ++counts_[it->channel].reached;
        }
        if (it->late) {
          std::fprintf(stderr, "channel_fuzzer: the late answer came after %.1f s: %s %s\n", age,
                       it->channel.c_str(), hex(it->bytes, 64).c_str());
        } else {
          // How close the model of the page's budgets came to a false alarm.
          ++pending_answered_;
          slowest_pending_ = std::max(slowest_pending_, age);
          closest_to_due_ =
              std::min(closest_to_due_, std::chrono::duration<double>(it->deadline - now).count());
        }
        it = pending_.erase(it);
      } else if (it->late) {
        if (final || now - it->sent > kLateWatch) {
          std::fprintf(stderr, "channel_fuzzer: no answer after %.1f s: %s %s\n", age,
                       it->channel.c_str(), hex(it->bytes, 64).c_str());
          it = pending_.erase(it);
        } else {
          ++it;
        }
      } else if ((final || now > it->deadline) &&
                 // An answer the host gave while the fuzzer was busy elsewhere waits on the main
                 // queue: let it come first.
                 !dispatch::testing::runUntil([&] { return it->answered->load() > 0; },
                                              std::chrono::milliseconds(200))) {
        addFinding({"not answered within its time (" + std::to_string(static_cast<int>(age)) +
                        " s after it was sent)",
                    it->channel, it->method, it->bytes});
        it->late = true;
      } else {
        ++it;
      }
    }
  }

  void collectFaults(const std::string& channel, const std::string& method, const Bytes& bytes) {
    for (const auto& fault : flutter::takeFaults()) {
      if (fault.find("answered twice") != std::string::npos) {
        addFinding({"answered twice: " + fault, channel, method, bytes});
      } else if (other_faults_.size() < 20) {
        other_faults_.push_back(fault);
      }
    }
  }

  // Printed at once as well, so that a later crash does not lose it.
  void addFinding(Finding finding) {
    std::fprintf(stderr, "channel_fuzzer: FINDING: %s: channel '%s', method '%s', bytes %s\n",
                 finding.kind.c_str(), finding.channel.c_str(), finding.method.c_str(),
                 hex(finding.bytes).c_str());
    if (finding.kind.rfind("not answered within " + std::to_string(options_.answer_bound.count()),
                           0) == 0) {
      // What took the main thread may have been sent before.
      std::fprintf(stderr, "channel_fuzzer: the messages sent last, the newest last:\n");
      for (const auto& line : recent_) std::fprintf(stderr, "  %s\n", line.c_str());
    }
    findings_.push_back(std::move(finding));
  }

  int report(double seconds) {
    size_t fewest = SIZE_MAX, most = 0, reached = 0, reaching_channels = 0;
    // Channels of objects made at run time are counted together: "...play.<id>".
    std::map<std::string, ChannelCounts> by_name;
    for (const auto& [channel, counts] : counts_) {
      fewest = std::min(fewest, counts.sent);
      most = std::max(most, counts.sent);
      reached += counts.reached;
      if (counts.reached > 0) ++reaching_channels;
      static const std::regex kObjectId(
          "([0-9]+|[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12})$");
      ChannelCounts& total = by_name[std::regex_replace(channel, kObjectId, "<id>")];
      total.sent += counts.sent;
      total.reached += counts.reached;
    }
    std::printf("channel_fuzzer: messages per channel (sent, reached the plug-in's work):\n");
    for (const auto& [name, counts] : by_name) {
      std::printf("  %7zu %7zu  %s\n", counts.sent, counts.reached, name.c_str());
    }
    std::printf(
        "channel_fuzzer: seed %llu, %zu channels, %zu messages in %.1f s; per channel %zu to %zu; "
        "%zu reached the plug-ins' work, on %zu channels\n",
        static_cast<unsigned long long>(options_.seed), counts_.size(), total_, seconds,
        counts_.empty() ? 0 : fewest, most, reached, reaching_channels);
    std::vector<std::pair<double, std::string>> slowest;
    for (const auto& [channel, counts] : counts_) slowest.emplace_back(counts.seconds, channel);
    std::sort(slowest.rbegin(), slowest.rend());
    for (size_t i = 0; i < slowest.size() && i < 5; ++i) {
      std::printf("  slowest: %s %.1f s\n", slowest[i].second.c_str(), slowest[i].first);
    }
    for (const auto& [channel, count] : dart_->heard()) {
      std::printf("  %7zu host calls to the Dart side on %s\n", count, channel.c_str());
    }
    std::printf("channel_fuzzer: %zu host calls to the Dart side answered late on purpose\n",
                dart_->answeredLate());
    if (pending_answered_ > 0) {
      std::printf(
          "channel_fuzzer: %zu scripts answered in time, the slowest after %.1f s; the closest "
          "came %.1f s before it was due\n",
          pending_answered_, slowest_pending_, closest_to_due_);
    }
    for (const auto& fault : other_faults_) {
      std::printf("  channel fault (not fatal): %s\n", fault.c_str());
    }
    for (const auto& finding : findings_) {
      std::printf("FINDING: %s: channel '%s', method '%s', bytes %s\n", finding.kind.c_str(),
                  finding.channel.c_str(), finding.method.c_str(), hex(finding.bytes).c_str());
    }
    std::printf("%zu passed, %zu failed\n", total_ - std::min(total_, findings_.size()),
                findings_.size());
    std::fflush(stdout);
    return findings_.empty() ? 0 : 1;
  }

  Options options_;
  std::shared_ptr<FlutterEngine> engine_;
  std::shared_ptr<FuzzerDartSide> dart_;
  std::mt19937_64 random_;
  SeedFiles seeds_;
  std::map<std::string, ChannelCounts> counts_;
  std::unique_ptr<WebViewSessions> sessions_;
  std::vector<Pending> pending_;
  size_t pending_answered_ = 0;
  double slowest_pending_ = 0;
  double closest_to_due_ = 1e9;
  std::deque<std::string> recent_;
  // The argument count of the last call that succeeded on a message channel.
  std::map<std::string, size_t> arity_;
  size_t total_ = 0;
  std::vector<Finding> findings_;
  std::vector<std::string> other_faults_;
};

// Whether every message channel of a plug-in whose page names operations by API ("<API>.<op>")
// has its shape there, and every such shape its channel.
bool shapesMatchChannels(const std::vector<std::string>& channels) {
  std::map<std::string, std::set<std::string>> registered;  // plug-in: "<API>.<operation>"
  for (const auto& channel : channels) {
    if (isMessageChannel(channel)) {
      registered[pluginForChannel(channel)].insert(apiNameOf(channel) + "." + operationOf(channel));
    }
  }
  bool match = true;
  for (const auto& shapes : pluginShapes()) {
    std::set<std::string> named;
    for (const auto& shape : shapes.methods) {
      if (shape.method.find('.') != std::string::npos) named.insert(shape.method);
    }
    if (named.empty()) continue;
    for (const auto& operation : registered[shapes.plugin]) {
      if (named.count(operation) == 0) {
        std::fprintf(stderr, "%s: %s has a channel but no shape on its page\n",
                     shapes.plugin.c_str(), operation.c_str());
        match = false;
      }
    }
    for (const auto& operation : named) {
      if (registered[shapes.plugin].count(operation) == 0) {
        std::fprintf(stderr, "%s: %s is on its page but has no channel\n", shapes.plugin.c_str(),
                     operation.c_str());
        match = false;
      }
    }
  }
  return match;
}

// The seed files under `root`, for calls that name a file or carry a document's bytes.
SeedFiles writeSeedFiles(const fs::path& root) {
  SeedFiles seeds;
  fs::create_directories(root);
  auto write = [&](const std::vector<fuzzing::SeedFile>& files) {
    for (const auto& file : files) {
      fs::path path = root / file.name;
      std::ofstream(path, std::ios::binary) << file.bytes;
      seeds.paths.push_back(path.string());
    }
  };
  auto pdfs = fuzzing::pdfSeeds();
  if (!pdfs.empty()) seeds.pdf.assign(pdfs.front().bytes.begin(), pdfs.front().bytes.end());
  write(pdfs);
  write(fuzzing::mediaSeeds());
  write(fuzzing::propertyListSeeds());
  return seeds;
}

// Points every directory the host may write to at `root`.
void keepHermetic(const fs::path& root) {
  for (const char* sub : {"home", "config", "data", "cache", "runtime", "tmp", "work"}) {
    fs::create_directories(root / sub);
  }
  ::setenv("HOME", (root / "home").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);
  ::setenv("TMPDIR", (root / "tmp").c_str(), 1);
  ::unsetenv("DART_SIDE_SOCKET");
  foundation::testing::setUserDirectoriesRoot((root / "home").string());
  fs::current_path(root / "work");
}

}  // namespace
}  // namespace channel_fuzzer

int main(int argc, char** argv) {
  using namespace channel_fuzzer;
  Options options;
  if (!parseOptions(argc, argv, options)) return 2;
  if (options.check_shapes) {
    auto controller = std::make_shared<FlutterViewController>();
    registerPlugins(*controller);
    const bool match =
        shapesMatchChannels(controller->engine()->messenger().channelsWithHandlers());
    controller->engine()->shutDown();
    dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
    return match ? 0 : 1;
  }
  fuzzing::onFatalError(reportInFlight);
  const fs::path original_directory = fs::current_path();
  std::string pattern = (fs::temp_directory_path() / "channel-fuzzer-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 2;
  }
  const fs::path root = pattern;
  keepHermetic(root);
  std::printf("channel_fuzzer: seed %llu (rerun with --seed %llu)\n",
              static_cast<unsigned long long>(options.seed),
              static_cast<unsigned long long>(options.seed));
  std::fflush(stdout);

  int status = 0;
  {
    auto controller = std::make_shared<FlutterViewController>();
    registerPlugins(*controller);
    auto dart_side = std::make_shared<FuzzerDartSide>(options.seed + 1);
    controller->engine()->attachDartSide(dart_side);
    serveSampleResponses();
    flutter::takeFaults();
    status = Fuzzer(options, controller->engine(), dart_side, writeSeedFiles(root / "seeds")).run();
    // What still waits on the user is closed as the user would close it, so nothing it holds
    // outlives the run.
    for (const auto& picker : appkit::testing::openSharingPickers()) {
      appkit::testing::dismissSharingPicker(*picker);
    }
    dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
    controller->engine()->shutDown();
    dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
    webkit::testing::removeAllServedResponses();
  }
  fs::current_path(original_directory);
  std::error_code ignored;
  fs::remove_all(root, ignored);
  return status;
}
