// Random messages in the standard codec's wire format, shaped by a channel's own words: method
// calls and argument lists whose names and keys the plug-in knows, with hostile values (edges of
// every number type, NaN and infinities, empty, huge and invalid text, deep nesting, plug-in type
// bytes 128 to 143), and whole-message damage (truncation, flipped and random bytes).
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace channel_fuzzer {

using Bytes = std::vector<uint8_t>;

struct GeneratedMessage {
  Bytes bytes;
  // The method the message calls: the name it carries on a method channel (empty when it carries
  // none), the channel's own operation on a message channel.
  std::string method;
};

class MessageGenerator {
 public:
  MessageGenerator(std::mt19937_64& random, const std::vector<std::string>& words)
      : random_(random), words_(words) {}

  // A method call for a method or event channel.
  GeneratedMessage methodCall();
  // The argument list of a message channel (the Pigeon shape).
  Bytes messageArguments();

 private:
  bool chance(double probability);
  size_t below(size_t bound);
  const std::string& word();
  std::string text();

  void value(int depth);
  void scalar();
  void string(const std::string& text);
  void size(uint32_t size);
  void align(size_t alignment);
  template <typename T>
  void raw(T value);
  void list(int depth, size_t count);
  void map(int depth, size_t count);
  void typedData();
  void deepNesting();
  void damage();

  std::mt19937_64& random_;
  const std::vector<std::string>& words_;
  Bytes out_;
};

// Reads the method name a method-call message starts with; empty when it starts otherwise.
std::string methodNameOf(const Bytes& message);

}  // namespace channel_fuzzer
