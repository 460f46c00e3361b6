#include <algorithm>
#include <vector>

#include "platform/webrtc/framework_log.h"
#include "platform/webrtc/rtc_logging.h"

namespace {

// Started loggers, process-wide as the framework's log sinks are.
struct LoggerRegistry {
  std::mutex mutex;
  std::vector<std::weak_ptr<RTCCallbackLogger>> loggers;
};

LoggerRegistry& registry() {
  static auto* const loggers = new LoggerRegistry();
  return *loggers;
}

void unregister(const RTCCallbackLogger* logger) {
  std::lock_guard lock(registry().mutex);
  std::erase_if(registry().loggers, [logger](const std::weak_ptr<RTCCallbackLogger>& entry) {
    auto live = entry.lock();
    return !live || live.get() == logger;
  });
}

}  // namespace

RTCCallbackLogger::~RTCCallbackLogger() { unregister(this); }

RTCLoggingSeverity RTCCallbackLogger::severity() const {
  std::lock_guard lock(mutex_);
  return severity_;
}

void RTCCallbackLogger::setSeverity(RTCLoggingSeverity severity) {
  std::lock_guard lock(mutex_);
  severity_ = severity;
}

void RTCCallbackLogger::start(MessageHandler handler) {
  {
    std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = true;
    handler_ = std::move(handler);
  }
  std::lock_guard lock(registry().mutex);
  registry().loggers.push_back(weak_from_this());
}

void RTCCallbackLogger::stop() {
  {
    std::lock_guard lock(mutex_);
    started_ = false;
    handler_ = nullptr;
  }
  unregister(this);
}

void RTCCallbackLogger::log(RTCLoggingSeverity severity, const std::string& message) {
  MessageHandler handler;
  {
    std::lock_guard lock(mutex_);
    if (!started_ || severity_ == RTCLoggingSeverityNone || severity < severity_) return;
    handler = handler_;
  }
  if (handler) handler(message);
}

namespace webrtc_model {

void frameworkLog(RTCLoggingSeverity severity, const std::string& message) {
  std::vector<std::shared_ptr<RTCCallbackLogger>> loggers;
  {
    std::lock_guard lock(registry().mutex);
    for (const auto& entry : registry().loggers) {
      if (auto logger = entry.lock()) loggers.push_back(std::move(logger));
    }
  }
  for (const auto& logger : loggers) logger->log(severity, message);
}

}  // namespace webrtc_model
