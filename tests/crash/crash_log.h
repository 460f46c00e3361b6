// The writer's log of writes answered as success, one line each: a kind letter, the key and a
// number. Numbers grow through a run and across runs, so a key written again holds a larger one.
//   P  a preference           D  two database rows ("<key>a", "<key>b") committed together
//   K  a plain keychain value S  a sealed keychain value
#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

namespace crash_test {

// The keychain services of the writer: listings of one service hold only one kind of value.
inline constexpr const char* kPlainService = "crash.plain";
inline constexpr const char* kSealedService = "crash.sealed";
// Keys written on every round, whose last value must never be lost or turn unreadable.
inline constexpr const char* kRewrittenKey = "current";
// The writers share one preferences domain, so each rewrites a preference of its own.
inline std::string rewrittenPreference(const std::string& writer) {
  return std::string(kRewrittenKey) + "." + writer;
}
inline bool isRewritten(const std::string& key) {
  return key == kRewrittenKey || key.starts_with(std::string(kRewrittenKey) + ".");
}
// The descriptor the writer logs to.
inline constexpr int kLogDescriptor = 3;

struct LoggedWrite {
  char kind = 0;
  std::string key;
  int64_t number = 0;
};

inline std::string formatWrite(char kind, const std::string& key, int64_t number) {
  return std::string(1, kind) + " " + key + " " + std::to_string(number) + "\n";
}

// nullopt for a line that is not a logged write.
inline std::optional<LoggedWrite> parseWrite(const std::string& line) {
  std::istringstream in(line);
  LoggedWrite write;
  if (!(in >> write.kind >> write.key >> write.number)) return std::nullopt;
  return write;
}

}  // namespace crash_test
