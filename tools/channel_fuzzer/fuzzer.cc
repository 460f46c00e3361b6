#include "tools/channel_fuzzer/fuzzer.h"

#include <algorithm>
#include <utility>

#include "platform/dispatch/testing/main_queue_pump.h"
#include "plugins/wkwebview_host/hwv_web_view_external_api.h"
#include "plugins/wkwebview_host/webview_host_plugin.h"
#include "tools/channel_fuzzer/channel_names.h"
#include "tools/channel_fuzzer/object_lifetime.h"
#include "tools/channel_fuzzer/object_provision.h"
#include "tools/channel_fuzzer/vocabulary.h"

namespace channel_fuzzer {
namespace {

using Clock = std::chrono::steady_clock;

const std::string kWebViewPrefix = WebViewSessions::kClassPrefix;
const std::string kWebViewClear = kWebViewPrefix + "PigeonInternalInstanceManager.clear";

// The element count of a message that is a list; 0 for any other.
size_t argumentCount(const Bytes& message) {
  return message.size() >= 2 && message[0] == 12 && message[1] < 254 ? message[1] : 0;
}

}  // namespace

Fuzzer::Fuzzer(const RunOptions& options, std::shared_ptr<FlutterEngine> engine,
               std::shared_ptr<FuzzerDartSide> dartSide, SeedFiles seeds)
    : options_(options),
      engine_(std::move(engine)),
      dart_(std::move(dartSide)),
      random_(options.seed),
      seeds_(std::move(seeds)),
      pending_(options.answer_bound, report_),
      sender_(*engine_, *dart_, report_, pending_, options.answer_bound, options.verbose) {}

int Fuzzer::run() {
  const auto start = Clock::now();
  auto outOfTime = [&] {
    return options_.seconds > 0 &&
           std::chrono::duration<double>(Clock::now() - start).count() > options_.seconds;
  };
  const size_t batch = std::max<size_t>(1, std::min<size_t>(50, options_.messages_per_channel));
  bool more = true;
  while (more && !outOfTime() && !report_.full()) {
    more = false;
    // Channels made at run time (a player's, a connection's) join the next round.
    for (const auto& channel : engine_->messenger().channelsWithHandlers()) {
      if (channel.find(options_.channel_filter) == std::string::npos) continue;
      ChannelCounts& counts = report_.counts(channel);
      if (counts.sent >= options_.messages_per_channel) continue;
      more = true;
      const auto round_start = Clock::now();
      for (size_t i = 0; i < batch && counts.sent < options_.messages_per_channel &&
                         engine_->messenger().hasHandler(channel);
           ++i) {
        step(channel);
        pending_.check(false);
      }
      counts.seconds += std::chrono::duration<double>(Clock::now() - round_start).count();
      if (outOfTime() || report_.full()) break;
    }
  }
  finish();
  return report_.print({.seed = options_.seed,
                        .seconds = std::chrono::duration<double>(Clock::now() - start).count(),
                        .heard = &dart_->heard(),
                        .answered_late = dart_->answeredLate(),
                        .pending = pending_.times()});
}

void Fuzzer::finish() {
  if (sessions_) sessions_->releaseAll(*this);
  dart_->answerHeld(0);
  if (!pending_.allAnswered() && engine_->messenger().hasHandler(kWebViewClear)) {
    // Pages still running scripts end with their web views, as at a Dart side's restart.
    sender_.send(kWebViewClear, GeneratedMessage{{12, 0}, "clear"}, WebViewSessions::kPlugin);
  }
  const auto last_due = pending_.lastDue();
  dispatch::testing::runUntil([&] { return pending_.allAnswered(); },
                              std::chrono::ceil<std::chrono::milliseconds>(
                                  last_due - Clock::now() + std::chrono::milliseconds(1)));
  pending_.check(true);
  dispatch::testing::drainUntilIdle(std::chrono::seconds(5));
  report_.collectFaults("(after the run)", "", {});
}

// One step on `channel`: an object's life (create, use, dispose, use again), one call shaped
// as its plug-in's page says, or one generated without regard for any shape.
void Fuzzer::step(const std::string& channel) {
  const std::string plugin = pluginForChannel(channel);
  if (plugin == WebViewSessions::kPlugin && shapesOf(plugin) != nullptr &&
      std::uniform_real_distribution<double>(0, 1)(random_) < kSessionShare &&
      report_.counts(kWebViewPrefix + "NSViewWKWebView.pigeon_defaultConstructor").sent <
          options_.messages_per_channel) {
    sessions().run(*this);
    dart_->answerHeld(kHeldAfterSession);
    return;
  }
  const double roll = std::uniform_real_distribution<double>(0, 1)(random_);
  if (roll < 0.2 && runObjectLifetime(*this, channel, plugin)) return;
  if (roll < 0.7) {
    sendShaped({.channel = channel, .plugin = plugin});
    return;
  }
  MessageGenerator generator(random_, wordsForChannel(channel));
  GeneratedMessage message;
  if (isMessageChannel(channel)) {
    message.bytes = generator.messageArguments();
    message.method = operationOf(channel);
  } else {
    message = generator.methodCall();
  }
  sender_.send(channel, std::move(message), plugin);
}

bool Fuzzer::sendShaped(const ShapedCall& call) {
  const std::string& channel = call.channel;
  if (!engine_->messenger().hasHandler(channel)) return false;
  const PluginShapes* shapes = shapesOf(call.plugin);
  LiveValues& live = dart_->live(call.plugin);
  MessageGenerator generator(random_, wordsForChannel(channel), shapes, &live, &seeds_);
  generator.setScope(call.scope);
  const MethodShape* shape = call.shape;
  bool keep_made_up_ids = call.keep_made_up_ids;
  GeneratedMessage message;
  if (isMessageChannel(channel)) {
    generator.setClassPrefix(classPrefixOf(channel));
    if (shape == nullptr) shape = shapeOf(call.plugin, operationOf(channel), apiNameOf(channel));
    if (shape != nullptr && call.scope == nullptr && !call.providing) {
      provideObjects(*this, channel, call.plugin, *shape);
    }
    keep_made_up_ids = keep_made_up_ids || createsAnObject(operationOf(channel));
    message.bytes = generator.shapedMessageArguments(shape, keep_made_up_ids, arity_[channel]);
    message.method = operationOf(channel);
  } else if (shape != nullptr) {
    message = generator.shapedMethodCall(*shape);
  } else if (shapes != nullptr && !shapes->methods.empty()) {
    message = generator.shapedMethodCall(shapes->methods[random_() % shapes->methods.size()]);
  } else {
    message = generator.methodCall();
  }
  const size_t arity = argumentCount(message.bytes);
  auto answer = sender_.send(channel, std::move(message), call.plugin);
  if (!answer || answer->outcome != Outcome::success) return false;
  // What worked once is likelier to work again.
  if (isMessageChannel(channel)) arity_[channel] = arity;
  const std::string class_prefix = isMessageChannel(channel) ? classPrefixOf(channel) : "";
  auto remember = [&](const std::string& key, const IdValue& value) {
    live.remember(key, value);
    if (call.scope != nullptr) call.scope->remember(key, value);
  };
  for (const auto& id : generator.madeUpIds()) {
    if (!class_prefix.empty() && id.key.rfind(class_prefix, 0) == 0) {
      // The identifier of a new object of the API the page names.
      remember(id.key, id.value);
    } else if (keep_made_up_ids) {
      live.remember(id.key, id.value);
      // Under its class too, so that every kind of object can be found.
      if (isMessageChannel(channel)) live.remember(apiOf(channel), id.value);
    }
  }
  const std::string api = shape != nullptr ? shape->answer.singleApi() : "";
  if (!api.empty()) {
    for (const auto& value : answer->values) {
      if (std::holds_alternative<Reference>(value.value)) remember(class_prefix + api, value.value);
    }
  }
  return true;
}

std::vector<std::string> Fuzzer::channelsWithHandlers() const {
  return engine_->messenger().channelsWithHandlers();
}

std::optional<int64_t> Fuzzer::handOver(const std::string& plugin, const std::string& api) {
  if (plugin != WebViewSessions::kPlugin) return std::nullopt;
  auto object = sessions().platformObject(api, random_);
  if (!object) return std::nullopt;
  return registerObject(object);
}

bool Fuzzer::call(const std::string& operation, LiveValues& objects) {
  return sendShaped({.channel = kWebViewPrefix + operation,
                     .plugin = WebViewSessions::kPlugin,
                     .scope = &objects});
}

void Fuzzer::release(int64_t identifier) {
  GeneratedMessage message{{12, 1, 4}, "removeStrongReference"};
  for (int i = 0; i < 8; ++i) message.bytes.push_back(static_cast<uint8_t>(identifier >> (8 * i)));
  sender_.send(kWebViewPrefix + "PigeonInternalInstanceManager.removeStrongReference",
               std::move(message), WebViewSessions::kPlugin);
}

std::shared_ptr<WKWebView> Fuzzer::webView(int64_t identifier) {
  return HWVWebViewExternalAPI::webViewForIdentifier(identifier, *engine_);
}

int64_t Fuzzer::registerObject(const std::shared_ptr<NSObject>& object) {
  const int64_t identifier = freshIdentifier();
  auto plugin = std::dynamic_pointer_cast<wkwebview_host::WebViewHostPlugin>(
      std::static_pointer_cast<FlutterPlugin>(
          engine_->valuePublishedByPlugin(wkwebview_host::WebViewHostPlugin::kPluginKey)));
  if (plugin && plugin->proxyApiRegistrar()) {
    plugin->proxyApiRegistrar()->instanceManager()->registerDartObject(object, identifier);
  }
  return identifier;
}

void Fuzzer::pump(std::chrono::milliseconds time) {
  dispatch::testing::runUntil([] { return false; }, time);
}

WebViewSessions& Fuzzer::sessions() {
  if (!sessions_) sessions_ = std::make_unique<WebViewSessions>();
  return *sessions_;
}

}  // namespace channel_fuzzer
