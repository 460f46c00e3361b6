// Values an asset or a track loads on demand. A load's completion runs on a background queue once
// every requested key has finished loading (at once when they already have), or once the loads
// are cancelled; each completion runs exactly once. Safe from any thread.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_error.h"

enum AVKeyValueStatus : long {
  AVKeyValueStatusUnknown = 0,
  AVKeyValueStatusLoading = 1,
  AVKeyValueStatusLoaded = 2,
  AVKeyValueStatusFailed = 3,
  AVKeyValueStatusCancelled = 4,
};

class AVAsynchronousKeyValueLoading {
 public:
  // Going away cancels what is still loading: the pending completions run.
  virtual ~AVAsynchronousKeyValueLoading();

  // The error is written for a failed key when `outError` is given.
  AVKeyValueStatus statusOfValueForKey(const std::string& key, NSError* outError) const;
  void loadValuesAsynchronouslyForKeys(std::vector<std::string> keys,
                                       std::function<void()> completionHandler);

 protected:
  // A load was asked for: a backing that loads on demand starts here.
  virtual void willLoadValues() {}
  // Every key still loading becomes cancelled and every pending completion runs.
  void cancelPendingLoads();
  // Every key not yet settled, and every key asked for later, settles as given; the pending
  // completions run. For a backing that learns everything in one go.
  void settleEveryKey(AVKeyValueStatus status, std::optional<NSError> error);

 private:
  friend struct AVKeyValueLoadingModel;
  struct PendingLoad {
    std::vector<std::string> keys;
    std::function<void()> completion;
  };
  struct KeyState {
    AVKeyValueStatus status = AVKeyValueStatusUnknown;
    std::optional<NSError> error;
  };
  bool finished(const std::vector<std::string>& keys) const;  // called with mutex_ held
  // Settles the key (loaded, failed or cancelled) and starts the loads it completes.
  void settle(const std::string& key, AVKeyValueStatus status, std::optional<NSError> error);

  mutable std::mutex mutex_;
  std::map<std::string, KeyState> keys_;
  // What keys not in keys_ report once every key has settled.
  std::optional<KeyState> every_key_;
  std::vector<PendingLoad> pending_;
};
