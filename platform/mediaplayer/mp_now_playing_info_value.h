// One value of the now-playing information: a number, a string or artwork.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>

class MPMediaItemArtwork;

class MPNowPlayingInfoValue {
 public:
  using Storage =
      std::variant<bool, int64_t, double, std::string, std::shared_ptr<MPMediaItemArtwork>>;

  MPNowPlayingInfoValue(bool value) : storage_(value) {}
  MPNowPlayingInfoValue(int32_t value) : storage_(int64_t{value}) {}
  MPNowPlayingInfoValue(int64_t value) : storage_(value) {}
  MPNowPlayingInfoValue(double value) : storage_(value) {}
  MPNowPlayingInfoValue(std::string value) : storage_(std::move(value)) {}
  MPNowPlayingInfoValue(const char* value) : storage_(std::string(value)) {}
  MPNowPlayingInfoValue(std::shared_ptr<MPMediaItemArtwork> value) : storage_(std::move(value)) {}

  const Storage& storage() const { return storage_; }
  template <typename T>
  const T* getIf() const {
    return std::get_if<T>(&storage_);
  }

  // As the platform's objects compare: numbers by value whatever their kind (1, 1.0 and true are
  // equal), strings by content, artwork by identity.
  friend bool operator==(const MPNowPlayingInfoValue& a, const MPNowPlayingInfoValue& b);

 private:
  Storage storage_;
};

// Property key to value.
using MPNowPlayingInfo = std::map<std::string, MPNowPlayingInfoValue>;
