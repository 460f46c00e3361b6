// Readers of the kernel's sysctl values: raw bytes, fixed-size integers and strings by MIB or by
// dotted name, and the named machine facts the device information needs. The throwing readers
// answer a Sysctl::Result; the named ones swallow every error into "" or 0.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace device_info_macos {

class Sysctl {
 public:
  struct Error {
    enum class Kind { posixError, unknown, malformedUTF8, invalidSize };
    Kind kind = Kind::unknown;
    // The errno of a posixError.
    int code = 0;
    friend bool operator==(const Error&, const Error&) = default;
  };

  template <typename T>
  class Result {
   public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(error) {}
    bool ok() const { return std::holds_alternative<T>(state_); }
    const T& value() const { return std::get<T>(state_); }
    const Error& error() const { return std::get<Error>(state_); }
    T valueOr(T fallback) const { return ok() ? value() : fallback; }

   private:
    std::variant<T, Error> state_;
  };

  using Keys = std::vector<int32_t>;

  static Result<std::vector<int8_t>> dataForKeys(const Keys& keys);
  static Result<Keys> keysForName(const std::string& name);

  template <typename T>
    requires std::is_trivially_copyable_v<T>
  static Result<T> valueOfType(const Keys& keys) {
    auto data = dataForKeys(keys);
    if (!data.ok()) return data.error();
    if (data.value().size() != sizeof(T)) return Error{Error::Kind::invalidSize};
    T value;
    std::memcpy(&value, data.value().data(), sizeof(T));
    return value;
  }

  template <typename T>
  static Result<T> valueForName(const std::string& name) {
    auto keys = keysForName(name);
    if (!keys.ok()) return keys.error();
    return valueOfType<T>(keys.value());
  }

  static Result<int32_t> int32ForKeys(const Keys& keys) { return valueOfType<int32_t>(keys); }
  static Result<int64_t> int64ForKeys(const Keys& keys) { return valueOfType<int64_t>(keys); }
  // The text up to the first NUL (or the whole value without one); it must be UTF-8.
  static Result<std::string> stringForKeys(const Keys& keys);
  static Result<std::string> stringForName(const std::string& name);

  static std::string hostName();
  static std::string machine();
  static std::string model();
  static int32_t activeCPUs();
  static std::string osRelease();
  static std::string osType();
  static std::string osVersion();
  static std::string version();
  static int32_t osRev();
  static int64_t cpuFreq();
  static uint64_t memSize();
};

}  // namespace device_info_macos
