// Random messages in the standard codec's wire format, shaped by a channel's own words: method
// calls and argument lists whose names and keys the plug-in knows, with hostile values (edges of
// every number type, NaN and infinities, empty, huge and invalid text, deep nesting, plug-in type
// bytes 128 to 143), and whole-message damage (truncation, flipped and random bytes). Shaped
// calls follow a method's argument shape, with ids of live objects, so that they get past the
// plug-in's checks.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/channel_fuzzer/answer_reader.h"
#include "tools/channel_fuzzer/live_values.h"
#include "tools/channel_fuzzer/shapes.h"

namespace channel_fuzzer {

// Files a call may name or carry: real documents and media, so that loads reach their work.
struct SeedFiles {
  std::vector<std::string> paths;
  // The bytes of a PDF document.
  std::vector<uint8_t> pdf;
};

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
  // For shaped calls: the plug-in's records, its live ids and the seed files.
  MessageGenerator(std::mt19937_64& random, const std::vector<std::string>& words,
                   const PluginShapes* shapes, const LiveValues* live, const SeedFiles* seeds)
      : random_(random), words_(words), shapes_(shapes), live_(live), seeds_(seeds) {}

  // A method call for a method or event channel.
  GeneratedMessage methodCall();
  // The argument list of a message channel (the Pigeon shape).
  Bytes messageArguments();

  // A call of `shape`'s method with arguments of its shape.
  GeneratedMessage shapedMethodCall(const MethodShape& shape);
  // The argument list of a message channel's operation; of plausible values when `shape` is null,
  // the first naming a new object when `creating`, else a live one.
  // `arity`, when not 0, is how many arguments to send when `shape` is null.
  Bytes shapedMessageArguments(const MethodShape* shape, bool creating = false, size_t arity = 0);
  // The ids this generator made up for id-like arguments (not taken from the live ones): the ids
  // of the objects a create call asks for.
  const std::vector<KeyedValue>& madeUpIds() const { return made_up_ids_; }

  // Objects of a message channel's plug-in are kept under "<prefix><API>".
  void setClassPrefix(std::string prefix) { class_prefix_ = std::move(prefix); }
  // Objects to name before the plug-in's others (a session's own).
  void setScope(const LiveValues* scope) { scope_ = scope; }
  // The reply list with which a Dart side answers a call: its one value of `kind`, an empty list
  // when there is none.
  Bytes shapedReply(const ArgumentKind& kind);

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

  void shapedArgument(const ArgumentShape& argument);
  void idValue(const IdValue& value);
  // An id for `key`: a live one when there is one, else one made up (and kept in made_up_ids_).
  // With `textOnly`, a string.
  void identifier(const std::string& key, bool textOnly = false);
  void path();
  void record(int tag);
  void plausibleScalar();
  // A live object as a plug-in's codec refers to it, or a plausible value when there is none;
  // the newest when `newest`, else one of any kind.
  void liveReference(bool newest);
  // The typed kinds of message-channel objects, enumerations and contents; false for others.
  bool typedArgument(const ArgumentKind& kind);
  void newIdentifier(const ArgumentKind& kind);
  // A live object of one of `apis` (or of any, for "*" alone), from the scope first.
  std::optional<IdValue> liveObject(const std::vector<std::string>& apis);
  void objectReference(const std::vector<std::string>& apis);
  void enumerationCase(int tag);
  void enumerationMap(int tag);
  // A list of `count` elements, each written by `element`.
  template <typename Element>
  void listOf(size_t count, const Element& element);

  std::mt19937_64& random_;
  const std::vector<std::string>& words_;
  const PluginShapes* shapes_ = nullptr;
  const LiveValues* live_ = nullptr;
  const SeedFiles* seeds_ = nullptr;
  const LiveValues* scope_ = nullptr;
  std::string class_prefix_;
  std::vector<KeyedValue> made_up_ids_;
  Bytes out_;
};

// Reads the method name a method-call message starts with; empty when it starts otherwise.
std::string methodNameOf(const Bytes& message);

// An identifier for an object the Dart side makes: counting up from 1, as a Dart side's do.
int64_t freshIdentifier();

}  // namespace channel_fuzzer
