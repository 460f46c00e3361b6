// The framework's log: severities and the callback logger that hands its lines to the caller.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

enum RTCLoggingSeverity : int {
  RTCLoggingSeverityVerbose = 0,
  RTCLoggingSeverityInfo = 1,
  RTCLoggingSeverityWarning = 2,
  RTCLoggingSeverityError = 3,
  RTCLoggingSeverityNone = 4,
};

// Receives the framework's log lines of at least its severity while started. The handler may be
// called on any thread of the framework.
class RTCCallbackLogger : public std::enable_shared_from_this<RTCCallbackLogger> {
 public:
  using MessageHandler = std::function<void(const std::string& message)>;

  RTCCallbackLogger() = default;
  ~RTCCallbackLogger();
  RTCCallbackLogger(const RTCCallbackLogger&) = delete;
  RTCCallbackLogger& operator=(const RTCCallbackLogger&) = delete;

  RTCLoggingSeverity severity() const;
  void setSeverity(RTCLoggingSeverity severity);

  // A second start while started is ignored.
  void start(MessageHandler handler);
  void stop();

  // Called by the framework's log for every line.
  void log(RTCLoggingSeverity severity, const std::string& message);

 private:
  mutable std::mutex mutex_;
  RTCLoggingSeverity severity_ = RTCLoggingSeverityInfo;
  MessageHandler handler_;
  bool started_ = false;
};
