#include "platform/flutter/engine_messenger.h"

#include <atomic>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/flutter_faults.h"

namespace flutter {
namespace {

void onMainThread(std::function<void()> work) {
  if (dispatch::isMainThread()) {
    work();
  } else {
    dispatch_async(dispatch_get_main_queue(), std::move(work));
  }
}

// The one answer a message is owed. Replies hop to the main thread; a second reply and a reply
// that is never given are faults. A reply dropped without an answer answers "no reply", so that
// the other side never waits for it forever.
class PendingReply {
 public:
  PendingReply(std::string channel, std::function<void(FlutterBinaryMessage)> deliver)
      : channel_(std::move(channel)), deliver_(std::move(deliver)) {}

  ~PendingReply() {
    if (replied_) return;
    reportFault("A message on channel '" + channel_ + "' was dropped without an answer");
    onMainThread([deliver = std::move(deliver_)]() mutable { deliver(std::nullopt); });
  }

  void reply(FlutterBinaryMessage message) {
    if (replied_.exchange(true)) {
      reportFault("A message on channel '" + channel_ + "' was answered twice");
      return;
    }
    onMainThread([deliver = std::move(deliver_), message = std::move(message)]() mutable {
      deliver(std::move(message));
    });
  }

 private:
  std::string channel_;
  std::function<void(FlutterBinaryMessage)> deliver_;
  std::atomic<bool> replied_{false};
};

}  // namespace

void EngineMessenger::sendOnChannel(const std::string& channel, FlutterBinaryMessage message) {
  sendOnChannel(channel, std::move(message), nullptr);
}

void EngineMessenger::sendOnChannel(const std::string& channel, FlutterBinaryMessage message,
                                    FlutterBinaryReply callback) {
  std::weak_ptr<FlutterDartSide> target;
  {
    std::lock_guard lock(mutex_);
    target = dart_side_;
  }
  onMainThread([target, channel, message = std::move(message),
                callback = std::move(callback)]() mutable {
    auto dart_side = target.lock();
    FlutterBinaryReply reply;
    if (callback) {
      auto pending = std::make_shared<PendingReply>(
          channel, [callback = std::move(callback)](FlutterBinaryMessage answer) {
            callback(std::move(answer));
          });
      reply = [pending](FlutterBinaryMessage answer) { pending->reply(std::move(answer)); };
    }
    if (!dart_side) {
      if (reply) reply(std::nullopt);
      return;
    }
    dart_side->messageFromHost(channel, std::move(message), std::move(reply));
  });
}

FlutterBinaryMessengerConnection EngineMessenger::setMessageHandlerOnChannel(
    const std::string& channel, FlutterBinaryMessageHandler handler) {
  std::shared_ptr<FlutterBinaryMessageHandler> removed;  // destroyed outside the lock
  std::lock_guard lock(mutex_);
  auto existing = handlers_.find(channel);
  if (existing != handlers_.end()) removed = std::move(existing->second.handler);
  if (!handler) {
    handlers_.erase(channel);
    return 0;
  }
  FlutterBinaryMessengerConnection connection = next_connection_++;
  handlers_[channel] =
      Entry{connection, std::make_shared<FlutterBinaryMessageHandler>(std::move(handler))};
  return connection;
}

void EngineMessenger::cleanUpConnection(FlutterBinaryMessengerConnection connection) {
  std::shared_ptr<FlutterBinaryMessageHandler> removed;
  std::lock_guard lock(mutex_);
  for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
    if (it->second.connection == connection) {
      removed = std::move(it->second.handler);
      handlers_.erase(it);
      return;
    }
  }
}

void EngineMessenger::attachDartSide(std::shared_ptr<FlutterDartSide> dartSide) {
  std::lock_guard lock(mutex_);
  dart_side_ = dartSide;
}

void EngineMessenger::detachDartSide(const FlutterDartSide* dartSide) {
  std::lock_guard lock(mutex_);
  if (dart_side_.lock().get() == dartSide) dart_side_.reset();
}

void EngineMessenger::deliverFromDartSide(const std::string& channel, FlutterBinaryMessage message,
                                          std::function<void(FlutterBinaryMessage)> reply) {
  auto self = shared_from_this();
  onMainThread([self, channel, message = std::move(message), reply = std::move(reply)]() mutable {
    std::shared_ptr<FlutterBinaryMessageHandler> handler;
    {
      std::lock_guard lock(self->mutex_);
      auto found = self->handlers_.find(channel);
      if (found != self->handlers_.end()) handler = found->second.handler;
    }
    if (!handler) {
      reply(std::nullopt);
      return;
    }
    auto pending = std::make_shared<PendingReply>(channel, std::move(reply));
    // `handler` keeps the handler alive even if it removes its own channel while it runs.
    try {
      (*handler)(std::move(message),
                 [pending](FlutterBinaryMessage answer) { pending->reply(std::move(answer)); });
    } catch (const std::exception& error) {
      reportFault("The handler of channel '" + channel + "' threw: " + error.what());
    }
  });
}

bool EngineMessenger::hasHandler(const std::string& channel) const {
  std::lock_guard lock(mutex_);
  return handlers_.count(channel) != 0;
}

std::vector<std::string> EngineMessenger::channelsWithHandlers() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> channels;
  channels.reserve(handlers_.size());
  for (const auto& [channel, entry] : handlers_) channels.push_back(channel);
  return channels;
}

void EngineMessenger::removeAllHandlers() {
  std::map<std::string, Entry> removed;
  {
    std::lock_guard lock(mutex_);
    removed.swap(handlers_);
    dart_side_.reset();
  }
}

}  // namespace flutter
