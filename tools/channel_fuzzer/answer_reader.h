// Reads the host's answers without knowing the plug-ins' codecs: the standard codec's values, and
// for a plug-in's own type byte (128 and up) the value that follows it. What the fuzzer needs of
// an answer is whether the call reached the plug-in's work, and the ids it hands out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace channel_fuzzer {

using Bytes = std::vector<uint8_t>;

// An id-like value found in an answer or sent in a call: an integer (which width the codec
// used), a string, or a reference to a plug-in's object (its type byte and identifier).
struct Reference {
  uint8_t tag = 128;
  int64_t identifier = 0;
  friend bool operator==(const Reference&, const Reference&) = default;
};
struct Integer {
  int64_t value = 0;
  bool wide = false;
  friend bool operator==(const Integer&, const Integer&) = default;
};
using IdValue = std::variant<Integer, std::string, Reference>;

// An id-like value with the map key it was found under (empty outside a map).
struct KeyedValue {
  std::string key;
  IdValue value;
};

enum class Outcome {
  notImplemented,  // no answer bytes: no handler, or a method the plug-in does not know
  success,
  refused,  // an error that says the call's arguments or the object it names were wrong
  failed,   // an error of the work itself
  unreadable,
};

struct ReadAnswer {
  Outcome outcome = Outcome::unreadable;
  std::string code;
  std::string message;
  // Integers and short strings of a successful answer (at most 64).
  std::vector<KeyedValue> values;
};

// A method channel's answer envelope, or a message channel's reply list.
ReadAnswer readMethodAnswer(const Bytes& answer);
ReadAnswer readMessageAnswer(const Bytes& answer);

// Whether an error's code or message says that the call was refused before any work.
bool isRefusal(const std::string& code, const std::string& message);

}  // namespace channel_fuzzer
