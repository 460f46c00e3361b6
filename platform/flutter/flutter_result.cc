#include "platform/flutter/flutter_result.h"

#include <atomic>

#include "platform/flutter/flutter_faults.h"

class FlutterResult::State {
 public:
  State(Deliver deliver, std::optional<std::string> callDescription)
      : deliver_(std::move(deliver)), call_description_(std::move(callDescription)) {}
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  ~State() {
    if (called_ || !call_description_) return;
    flutter::reportFault("A call to " + *call_description_ + " was dropped without an answer");
    deliver_(FlutterError{kFlutterUnansweredCallCode,
                          "The host dropped the call without answering it", nullptr});
  }

  void send(FlutterMethodResponse response) {
    called_ = true;
    // A second answer still goes on, so that the channel below reports it.
    deliver_(std::move(response));
  }

 private:
  Deliver deliver_;
  std::optional<std::string> call_description_;
  std::atomic<bool> called_{false};
};

FlutterResult::FlutterResult(Deliver deliver)
    : state_(deliver ? std::make_shared<State>(std::move(deliver), std::nullopt) : nullptr) {}

FlutterResult::FlutterResult(Deliver deliver, std::string callDescription)
    : state_(deliver ? std::make_shared<State>(std::move(deliver), std::move(callDescription))
                     : nullptr) {}

void FlutterResult::send(FlutterMethodResponse response) const {
  if (state_) state_->send(std::move(response));
}
