#include "platform/avfoundation/av_asynchronous_key_value_loading.h"

#include <algorithm>

#include "platform/dispatch/dispatch_queue.h"

namespace {

void completeInBackground(std::function<void()> completion) {
  if (!completion) return;
  dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0)->async(std::move(completion));
}

bool isSettled(AVKeyValueStatus status) {
  return status == AVKeyValueStatusLoaded || status == AVKeyValueStatusFailed ||
         status == AVKeyValueStatusCancelled;
}

}  // namespace

AVAsynchronousKeyValueLoading::~AVAsynchronousKeyValueLoading() {
  for (auto& load : pending_) completeInBackground(std::move(load.completion));
}

AVKeyValueStatus AVAsynchronousKeyValueLoading::statusOfValueForKey(const std::string& key,
                                                                    NSError* outError) const {
  std::lock_guard lock(mutex_);
  auto found = keys_.find(key);
  if (found == keys_.end()) {
    if (!every_key_) return AVKeyValueStatusUnknown;
    if (outError != nullptr && every_key_->error) *outError = *every_key_->error;
    return every_key_->status;
  }
  if (outError != nullptr && found->second.error) *outError = *found->second.error;
  return found->second.status;
}

void AVAsynchronousKeyValueLoading::loadValuesAsynchronouslyForKeys(
    std::vector<std::string> keys, std::function<void()> completionHandler) {
  willLoadValues();
  {
    std::lock_guard lock(mutex_);
    if (!finished(keys)) {
      for (const auto& key : keys) {
        auto& state = keys_[key];
        if (state.status == AVKeyValueStatusUnknown) state.status = AVKeyValueStatusLoading;
      }
      pending_.push_back(PendingLoad{std::move(keys), std::move(completionHandler)});
      return;
    }
  }
  completeInBackground(std::move(completionHandler));
}

bool AVAsynchronousKeyValueLoading::finished(const std::vector<std::string>& keys) const {
  return std::all_of(keys.begin(), keys.end(), [this](const std::string& key) {
    auto found = keys_.find(key);
    if (found == keys_.end()) return every_key_.has_value();
    return isSettled(found->second.status);
  });
}

void AVAsynchronousKeyValueLoading::settle(const std::string& key, AVKeyValueStatus status,
                                           std::optional<NSError> error) {
  std::vector<std::function<void()>> completions;
  {
    std::lock_guard lock(mutex_);
    keys_[key] = KeyState{status, std::move(error)};
    auto done = std::stable_partition(pending_.begin(), pending_.end(),
                                      [this](const PendingLoad& load) { return !finished(load.keys); });
    for (auto it = done; it != pending_.end(); ++it) completions.push_back(std::move(it->completion));
    pending_.erase(done, pending_.end());
  }
  for (auto& completion : completions) completeInBackground(std::move(completion));
}

void AVAsynchronousKeyValueLoading::cancelPendingLoads() {
  std::vector<PendingLoad> cancelled;
  {
    std::lock_guard lock(mutex_);
    for (auto& [key, state] : keys_) {
      if (!isSettled(state.status)) state = KeyState{AVKeyValueStatusCancelled, std::nullopt};
    }
    cancelled.swap(pending_);
  }
  for (auto& load : cancelled) completeInBackground(std::move(load.completion));
}

void AVAsynchronousKeyValueLoading::settleEveryKey(AVKeyValueStatus status,
                                                  std::optional<NSError> error) {
  std::vector<PendingLoad> done;
  {
    std::lock_guard lock(mutex_);
    KeyState settled{status, std::move(error)};
    for (auto& [key, state] : keys_) {
      if (!isSettled(state.status)) state = settled;
    }
    every_key_ = std::move(settled);
    done.swap(pending_);
  }
  for (auto& load : done) completeInBackground(std::move(load.completion));
}
