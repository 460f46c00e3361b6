#include "tools/channel_fuzzer/message_generator.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "tools/channel_fuzzer/web_content_samples.h"

namespace channel_fuzzer {
namespace {

using namespace std::string_literals;

constexpr int kMaxDepth = 5;
constexpr size_t kHugeTextSize = size_t{1} << 20;

const std::vector<std::string>& specialTexts() {
  static const auto* const texts = new std::vector<std::string>{"",
                                                                " ",
                                                                "0",
                                                                "-1",
                                                                "true",
                                                                "null",
                                                                "NaN",
                                                                "a\0b"s,
                                                                "\0"s,
                                                                "%00",
                                                                "%",
                                                                "http://a\0b"s,
                                                                "https://example.com/",
                                                                "file:///etc/passwd",
                                                                "/dev/zero",
                                                                "/dev/null",
                                                                "/proc/self/mem",
                                                                "../../../../etc/passwd",
                                                                "/",
                                                                ".",
                                                                "..",
                                                                "~",
                                                                "C:\\x",
                                                                "\xff\xfe",
                                                                "a\xc3",
                                                                "\xed\xa0\x80",
                                                                "\xc0\x80",
                                                                "\xf4\x90\x80\x80",
                                                                "\xe2\x82",
                                                                "caf\xc3\xa9",
                                                                "\xf0\x9f\x98\x80",
                                                                "SELECT 1",
                                                                "'; DROP TABLE t; --",
                                                                "while(true){}",
                                                                "javascript:alert(1)",
                                                                "about:blank",
                                                                "data:text/html,<b>x</b>",
                                                                "%s%s%s%n",
                                                                "{{",
                                                                ":memory:",
                                                                std::string(300, 'a'),
                                                                std::string(70000, 'b')};
  return *texts;
}

const std::vector<int32_t>& int32Edges() {
  static const auto* const values =
      new std::vector<int32_t>{0,
                               1,
                               -1,
                               2,
                               3,
                               7,
                               100,
                               255,
                               256,
                               65535,
                               65536,
                               std::numeric_limits<int32_t>::max(),
                               std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max() - 1,
                               -2,
                               1000000};
  return *values;
}

const std::vector<int64_t>& int64Edges() {
  static const auto* const values = new std::vector<int64_t>{0,
                                                             -1,
                                                             int64_t{1} << 31,
                                                             (int64_t{1} << 32),
                                                             (int64_t{1} << 32) + 1,
                                                             -(int64_t{1} << 31) - 1,
                                                             std::numeric_limits<int64_t>::max(),
                                                             std::numeric_limits<int64_t>::min(),
                                                             int64_t{1} << 53,
                                                             int64_t{4294967295},
                                                             int64_t{65536},
                                                             int64_t{1000000000000}};
  return *values;
}

const std::vector<double>& doubleEdges() {
  static const auto* const values =
      new std::vector<double>{0.0,
                              -0.0,
                              1.0,
                              -1.0,
                              0.5,
                              std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::lowest(),
                              std::numeric_limits<double>::denorm_min(),
                              1e300,
                              -1e300,
                              2147483648.0,
                              4294967296.5,
                              9.3e18,
                              -9.3e18,
                              1e-300};
  return *values;
}

}  // namespace

bool MessageGenerator::chance(double probability) {
  return std::uniform_real_distribution<double>(0, 1)(random_) < probability;
}

size_t MessageGenerator::below(size_t bound) {
  return bound == 0 ? 0 : static_cast<size_t>(random_() % bound);
}

const std::string& MessageGenerator::word() {
  static const std::string kNone = "x";
  return words_.empty() ? kNone : words_[below(words_.size())];
}

std::string MessageGenerator::text() {
  if (chance(0.55)) return word();
  if (chance(0.0005)) return std::string(kHugeTextSize, 'z');
  if (chance(0.2)) {
    std::string bytes(below(12), '\0');
    for (auto& byte : bytes) byte = static_cast<char>(random_());
    return bytes;
  }
  const auto& texts = specialTexts();
  return texts[below(texts.size())];
}

template <typename T>
void MessageGenerator::raw(T value) {
  uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out_.insert(out_.end(), bytes, bytes + sizeof(T));
}

void MessageGenerator::size(uint32_t size) {
  if (size < 254) {
    out_.push_back(static_cast<uint8_t>(size));
  } else if (size <= 0xFFFF) {
    out_.push_back(254);
    raw(static_cast<uint16_t>(size));
  } else {
    out_.push_back(255);
    raw(size);
  }
}

void MessageGenerator::align(size_t alignment) {
  while (out_.size() % alignment != 0) out_.push_back(0);
}

void MessageGenerator::string(const std::string& text) {
  out_.push_back(7);
  size(static_cast<uint32_t>(text.size()));
  out_.insert(out_.end(), text.begin(), text.end());
}

void MessageGenerator::scalar() {
  switch (below(9)) {
    case 0:
      out_.push_back(0);
      break;
    case 1:
      out_.push_back(chance(0.5) ? 1 : 2);
      break;
    case 2:
    case 3: {
      out_.push_back(3);
      const auto& edges = int32Edges();
      raw(chance(0.7) ? edges[below(edges.size())] : static_cast<int32_t>(random_()));
      break;
    }
    case 4: {
      out_.push_back(4);
      const auto& edges = int64Edges();
      raw(chance(0.7) ? edges[below(edges.size())] : static_cast<int64_t>(random_()));
      break;
    }
    case 5: {
      out_.push_back(6);
      align(8);
      const auto& edges = doubleEdges();
      raw(edges[below(edges.size())]);
      break;
    }
    case 6:
      // A large integer as text, which the reader keeps as a string.
      out_.push_back(5);
      size(3);
      out_.insert(out_.end(), {'1', '2', 'f'});
      break;
    default:
      string(text());
      break;
  }
}

void MessageGenerator::typedData() {
  static constexpr uint8_t kTypes[] = {8, 9, 10, 11, 14};
  static constexpr size_t kWidths[] = {1, 4, 8, 8, 4};
  const size_t which = below(5);
  const uint32_t count = static_cast<uint32_t>(chance(0.002) ? below(200000) : below(40));
  out_.push_back(kTypes[which]);
  size(count);
  if (kWidths[which] > 1) align(kWidths[which]);
  const size_t start = out_.size();
  out_.resize(start + count * kWidths[which]);
  for (size_t i = start; i < out_.size(); i += 8) out_[i] = static_cast<uint8_t>(random_());
}

void MessageGenerator::list(int depth, size_t count) {
  out_.push_back(12);
  size(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) value(depth + 1);
}

void MessageGenerator::map(int depth, size_t count) {
  out_.push_back(13);
  size(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) {
    if (chance(0.9)) {
      string(word());
    } else {
      value(kMaxDepth);
    }
    value(depth + 1);
  }
}

void MessageGenerator::deepNesting() {
  const size_t levels = 200 + below(200);
  const uint8_t type = chance(0.5) ? 12 : static_cast<uint8_t>(128 + below(16));
  for (size_t i = 0; i < levels; ++i) {
    out_.push_back(type);
    if (type == 12) out_.push_back(1);
  }
  out_.push_back(0);
}

void MessageGenerator::value(int depth) {
  if (depth >= kMaxDepth) {
    scalar();
    return;
  }
  const size_t roll = below(100);
  if (roll < 45) {
    scalar();
  } else if (roll < 55) {
    typedData();
  } else if (roll < 67) {
    list(depth, below(6));
  } else if (roll < 82) {
    map(depth, below(6));
  } else if (roll < 97) {
    // A plug-in codec's own type: a record's field list, an enumeration's index, a reference.
    out_.push_back(static_cast<uint8_t>(128 + below(16)));
    if (chance(0.6)) {
      list(depth, below(8));
    } else {
      value(depth + 1);
    }
  } else if (roll < 99) {
    deepNesting();
  } else {
    out_.push_back(static_cast<uint8_t>(15 + below(113)));  // a type byte nobody knows
  }
}

void MessageGenerator::damage() {
  if (out_.empty()) return;
  switch (below(4)) {
    case 0:
      out_.resize(below(out_.size()));
      break;
    case 1:
      for (size_t flips = 1 + below(4); flips > 0; --flips) {
        out_[below(out_.size())] = static_cast<uint8_t>(random_());
      }
      break;
    case 2:
      for (size_t extra = 1 + below(8); extra > 0; --extra)
        out_.push_back(static_cast<uint8_t>(random_()));
      break;
    default:
      out_.assign(below(64), 0);
      for (auto& byte : out_) byte = static_cast<uint8_t>(random_());
      break;
  }
}

GeneratedMessage MessageGenerator::methodCall() {
  out_.clear();
  std::string method = chance(0.9) ? word() : text();
  if (chance(0.05)) method = chance(0.5) ? "listen" : "cancel";
  string(method);
  const size_t shape = below(10);
  if (shape < 6) {
    map(0, below(7));
  } else if (shape < 8) {
    list(0, below(5));
  } else {
    value(0);
  }
  if (chance(0.08)) damage();
  GeneratedMessage message{std::move(out_), {}};
  message.method = methodNameOf(message.bytes);
  return message;
}

Bytes MessageGenerator::messageArguments() {
  out_.clear();
  if (chance(0.85)) {
    list(0, below(7));
  } else {
    value(0);
  }
  if (chance(0.08)) damage();
  return std::move(out_);
}

std::string methodNameOf(const Bytes& message) {
  if (message.size() < 2 || message[0] != 7) return {};
  size_t position = 1;
  size_t length = message[position++];
  if (length == 254 || length == 255) {
    const size_t width = length == 254 ? 2 : 4;
    if (message.size() < position + width) return {};
    length = 0;
    for (size_t i = 0; i < width; ++i) length |= size_t{message[position + i]} << (8 * i);
    position += width;
  }
  if (message.size() - position < length) return {};
  return std::string(message.begin() + static_cast<std::ptrdiff_t>(position),
                     message.begin() + static_cast<std::ptrdiff_t>(position + length));
}

}  // namespace channel_fuzzer

namespace channel_fuzzer {

void MessageGenerator::idValue(const IdValue& value) {
  if (const auto* integer = std::get_if<Integer>(&value)) {
    if (integer->wide) {
      out_.push_back(4);
      raw(integer->value);
    } else {
      out_.push_back(3);
      raw(static_cast<int32_t>(integer->value));
    }
  } else if (const auto* text = std::get_if<std::string>(&value)) {
    string(*text);
  } else {
    const auto& reference = std::get<Reference>(value);
    out_.push_back(reference.tag);
    out_.push_back(4);
    raw(reference.identifier);
  }
}

void MessageGenerator::identifier(const std::string& key, bool textOnly) {
  if (live_ != nullptr && chance(0.8)) {
    if (auto value = live_->pick(key, random_, textOnly)) {
      idValue(*value);
      return;
    }
  }
  IdValue made_up;
  switch (textOnly ? 2 : below(3)) {
    case 0:
      made_up = Integer{static_cast<int64_t>(below(8)), false};
      break;
    case 1:
      made_up = Integer{static_cast<int64_t>(1000 + below(1000)), false};
      break;
    default:
      made_up = "fuzz-" + std::to_string(below(16));
      break;
  }
  made_up_ids_.push_back({key, made_up});
  idValue(made_up);
}

void MessageGenerator::path() {
  if (seeds_ != nullptr && !seeds_->paths.empty() && chance(0.7)) {
    const std::string& file = seeds_->paths[below(seeds_->paths.size())];
    string(chance(0.8) ? file : "file://" + file);
    return;
  }
  string(text());
}

void MessageGenerator::record(int tag) {
  out_.push_back(static_cast<uint8_t>(tag));
  const RecordShape* shape = nullptr;
  if (shapes_ != nullptr) {
    for (const auto& record : shapes_->records) {
      if (record.tag == tag) shape = &record;
    }
  }
  if (shape == nullptr) {
    list(kMaxDepth - 1, below(4));
    return;
  }
  out_.push_back(12);
  size(static_cast<uint32_t>(shape->fields.size()));
  for (const auto& kind : shape->fields) shapedArgument(ArgumentShape{"", kind});
}

void MessageGenerator::plausibleScalar() {
  switch (below(6)) {
    case 0:
      out_.push_back(chance(0.5) ? 1 : 2);
      break;
    case 1:
      out_.push_back(3);
      raw(static_cast<int32_t>(below(10)));
      break;
    case 2:
      out_.push_back(6);
      align(8);
      raw(static_cast<double>(below(1000)) / 4);
      break;
    case 3:
      out_.push_back(0);
      break;
    default:
      if (live_ != nullptr && chance(0.5)) {
        if (auto value = live_->pick("", random_)) {
          idValue(*value);
          break;
        }
      }
      string(word());
      break;
  }
}

void MessageGenerator::shapedArgument(const ArgumentShape& argument) {
  using Type = ArgumentKind::Type;
  const ArgumentKind& kind = argument.kind;
  // Now and then anything at all: the checks are fuzzed too.
  if (chance(0.03)) {
    value(0);
    return;
  }
  if (kind.nullable) {
    if (chance(0.2)) {
      out_.push_back(0);
    } else if (!typedArgument(kind)) {
      shapedArgument(ArgumentShape{argument.key, kind.required()});
    }
    return;
  }
  if (typedArgument(kind)) return;
  if (kind.type == Type::identifier) {
    identifier(argument.key);
  } else if (kind.type == Type::path) {
    path();
  } else if (kind.type == Type::boolean) {
    out_.push_back(chance(0.5) ? 1 : 2);
  } else if (kind.type == Type::integer) {
    out_.push_back(3);
    raw(static_cast<int32_t>(chance(0.85) ? below(8) : below(5000)));
  } else if (kind.type == Type::number) {
    out_.push_back(6);
    align(8);
    raw(chance(0.85) ? static_cast<double>(below(400)) / 2
                     : doubleEdges()[below(doubleEdges().size())]);
  } else if (kind.type == Type::string ||
             (kind.type == Type::any && argument.key.empty() && chance(0.5))) {
    const std::string& key = argument.key;
    bool id_like = key.find("id") != std::string::npos || key.find("Id") != std::string::npos ||
                   key.find("ID") != std::string::npos;
    if (id_like || key.empty()) {
      identifier(key, true);
    } else if (key.find("path") != std::string::npos || key.find("ur") != std::string::npos) {
      path();
    } else {
      string(chance(0.7) ? word() : text());
    }
  } else if (kind.type == Type::bytes) {
    if (seeds_ != nullptr && !seeds_->pdf.empty() && chance(0.6)) {
      out_.push_back(8);
      size(static_cast<uint32_t>(seeds_->pdf.size()));
      out_.insert(out_.end(), seeds_->pdf.begin(), seeds_->pdf.end());
    } else {
      typedData();
    }
  } else if (kind.type == Type::list) {
    list(kMaxDepth - 2, below(4));
  } else if (kind.type == Type::map) {
    if (chance(0.6)) {
      // Most maps the plug-ins take are keyed by strings: headers, options, attributes.
      size_t count = below(3);
      out_.push_back(13);
      size(static_cast<uint32_t>(count));
      for (size_t i = 0; i < count; ++i) {
        string(word());
        string(chance(0.8) ? word() : text());
      }
    } else {
      map(kMaxDepth - 2, below(4));
    }
  } else if (kind.type == Type::record) {
    record(kind.tag);
  } else if (live_ != nullptr && chance(0.3) && live_->pick(argument.key, random_)) {
    identifier(argument.key);
  } else {
    plausibleScalar();
  }
}

GeneratedMessage MessageGenerator::shapedMethodCall(const MethodShape& shape) {
  out_.clear();
  made_up_ids_.clear();
  string(shape.method);
  if (shape.form == "whole") {
    if (shape.arguments.empty()) {
      out_.push_back(0);
    } else {
      shapedArgument(shape.arguments.front());
    }
  } else if (shape.form == "positional") {
    out_.push_back(12);
    size(static_cast<uint32_t>(shape.arguments.size()));
    for (const auto& argument : shape.arguments) shapedArgument(argument);
  } else {
    std::vector<const ArgumentShape*> present;
    for (const auto& argument : shape.arguments) {
      if (chance(0.97)) present.push_back(&argument);
    }
    out_.push_back(13);
    size(static_cast<uint32_t>(present.size()));
    for (const ArgumentShape* argument : present) {
      string(argument->key);
      shapedArgument(*argument);
    }
  }
  if (chance(0.02)) damage();
  return GeneratedMessage{std::move(out_), shape.method};
}

void MessageGenerator::liveReference(bool newest) {
  std::optional<IdValue> live;
  if (live_ != nullptr && newest) {
    live = live_->pick("", random_);
  } else if (live_ != nullptr) {
    // Objects made through message channels are kept under their class's channel prefix.
    live = live_->pickOfAnyKey(random_, true, chance(0.8) ? "dev.flutter.pigeon." : "");
  }
  const auto* integer = live ? std::get_if<Integer>(&*live) : nullptr;
  if (integer != nullptr) {
    idValue(Reference{128, integer->value});
  } else {
    plausibleScalar();
  }
}

Bytes MessageGenerator::shapedMessageArguments(const MethodShape* shape, bool creating,
                                               size_t arity) {
  out_.clear();
  made_up_ids_.clear();
  if (shape != nullptr) {
    out_.push_back(12);
    size(static_cast<uint32_t>(shape->arguments.size()));
    for (const auto& argument : shape->arguments) shapedArgument(argument);
  } else {
    // An object's operation takes the object first, as a reference (type 128 and its
    // identifier); a constructor takes the new object's identifier first. Objects it needs
    // follow as references too.
    // Most operations take the object and one more argument.
    size_t count = arity != 0 && chance(0.7) ? arity : chance(0.4) ? 2 : 1 + below(4);
    out_.push_back(12);
    size(static_cast<uint32_t>(count));
    if (creating) {
      IdValue fresh = Integer{freshIdentifier(), true};
      made_up_ids_.push_back({"", fresh});
      idValue(fresh);
    } else if (chance(0.7)) {
      liveReference(true);
    } else {
      identifier("");
    }
    for (size_t i = 1; i < count; ++i) {
      if (chance(0.6)) {
        liveReference(false);
      } else {
        plausibleScalar();
      }
    }
  }
  if (chance(0.02)) damage();
  return std::move(out_);
}

}  // namespace channel_fuzzer

namespace channel_fuzzer {
namespace {

// What an object kind names when any object will do.
const std::vector<std::string>& anyApi() {
  static const auto* const any = new std::vector<std::string>{"*"};
  return *any;
}

}  // namespace

int64_t freshIdentifier() {
  // Below the host's own identifiers (65536 up); wrapping names live objects again.
  static int64_t next = 0;
  next = next % 65535 + 1;
  return next;
}

void MessageGenerator::newIdentifier(const ArgumentKind& kind) {
  IdValue id = Integer{freshIdentifier(), true};
  // Now and then an identifier in use: a host object's, or a live one of the same kind.
  if (chance(0.02)) {
    id = Integer{65536 + static_cast<int64_t>(below(64)), true};
  } else if (chance(0.02)) {
    if (auto live = liveObject(kind.names)) {
      if (const auto* reference = std::get_if<Reference>(&*live)) {
        id = Integer{reference->identifier, true};
      } else if (std::holds_alternative<Integer>(*live)) {
        id = *live;
      }
    }
  }
  made_up_ids_.push_back({class_prefix_ + kind.detail, id});
  idValue(id);
}

std::optional<IdValue> MessageGenerator::liveObject(const std::vector<std::string>& apis) {
  for (const LiveValues* values : {scope_, live_}) {
    if (values == nullptr) continue;
    if (apis == anyApi()) {
      if (auto any = values->pickOfAnyKey(random_, false, class_prefix_)) return any;
      continue;
    }
    std::vector<std::string> present;
    for (const auto& api : apis) {
      if (values->has(class_prefix_ + api)) present.push_back(api);
    }
    if (!present.empty()) {
      return values->pickExact(class_prefix_ + present[below(present.size())], random_);
    }
  }
  return std::nullopt;
}

void MessageGenerator::objectReference(const std::vector<std::string>& apis) {
  // Mostly an object of the kind asked for; now and then one of another kind.
  std::optional<IdValue> live = liveObject(chance(0.95) ? apis : anyApi());
  if (live && std::holds_alternative<Integer>(*live)) {
    idValue(Reference{128, std::get<Integer>(*live).value});
  } else if (live && std::holds_alternative<Reference>(*live)) {
    idValue(*live);
  } else {
    idValue(Reference{128, static_cast<int64_t>(below(70000))});
  }
}

void MessageGenerator::enumerationCase(int tag) {
  int cases = 1;
  if (shapes_ != nullptr) {
    for (const auto& enumeration : shapes_->enumerations) {
      if (enumeration.tag == tag) cases = enumeration.cases;
    }
  }
  out_.push_back(static_cast<uint8_t>(tag));
  // The first case is the usual answer (allow, none, use the credential...).
  int64_t index = chance(0.4) ? 0 : static_cast<int64_t>(below(static_cast<size_t>(cases)));
  if (chance(0.05)) index = chance(0.5) ? cases : -1;
  if (chance(0.1)) {
    out_.push_back(4);
    raw(index);
  } else {
    out_.push_back(3);
    raw(static_cast<int32_t>(index));
  }
}

void MessageGenerator::enumerationMap(int tag) {
  int cases = 1;
  if (shapes_ != nullptr) {
    for (const auto& enumeration : shapes_->enumerations) {
      if (enumeration.tag == tag) cases = enumeration.cases;
    }
  }
  // Most cases, so that what needs several of them (a cookie's name, value and domain) is
  // often there; the last case (unknown, in these enumerations) seldom.
  std::vector<int> present;
  for (int index = 0; index < cases; ++index) {
    if (chance(index + 1 == cases ? 0.05 : 0.6)) present.push_back(index);
  }
  out_.push_back(13);
  size(static_cast<uint32_t>(present.size()));
  for (int index : present) {
    out_.push_back(static_cast<uint8_t>(tag));
    out_.push_back(3);
    raw(static_cast<int32_t>(index));
    if (chance(0.9)) {
      string(sampleCookieValue(random_));
    } else {
      plausibleScalar();
    }
  }
}

template <typename Element>
void MessageGenerator::listOf(size_t count, const Element& element) {
  out_.push_back(12);
  size(static_cast<uint32_t>(count));
  for (size_t i = 0; i < count; ++i) element();
}

bool MessageGenerator::typedArgument(const ArgumentKind& kind) {
  using Type = ArgumentKind::Type;
  switch (kind.type) {
    case Type::newObject:
      newIdentifier(kind);
      return true;
    case Type::object:
      objectReference(kind.names);
      return true;
    case Type::objects:
      listOf(below(4), [&] { objectReference(kind.names); });
      return true;
    case Type::liveIdentifier: {
      auto live = liveObject(anyApi());
      int64_t id = static_cast<int64_t>(below(70000));
      if (live && std::holds_alternative<Integer>(*live)) id = std::get<Integer>(*live).value;
      if (live && std::holds_alternative<Reference>(*live)) {
        id = std::get<Reference>(*live).identifier;
      }
      idValue(Integer{id, chance(0.8)});
      return true;
    }
    case Type::enumeration:
      enumerationCase(kind.tag);
      return true;
    case Type::enumerations:
      listOf(below(5), [&] { enumerationCase(kind.tag); });
      return true;
    case Type::enumerationMap:
      enumerationMap(kind.tag);
      return true;
    case Type::choice:
      string(chance(0.9) ? kind.names[below(kind.names.size())] : text());
      return true;
    case Type::stringMap: {
      const size_t count = below(4);
      out_.push_back(13);
      size(static_cast<uint32_t>(count));
      for (size_t i = 0; i < count; ++i) {
        string(sampleHeaderName(random_));
        string(chance(0.8) ? word() : text());
      }
      return true;
    }
    case Type::html:
      string(chance(0.9) ? samplePage(random_) : text());
      return true;
    case Type::script:
      string(chance(0.9) ? sampleScript(random_) : text());
      return true;
    case Type::url:
      if (chance(0.8)) {
        string(sampleUrl(random_));
      } else {
        path();
      }
      return true;
    case Type::none:
      out_.push_back(0);
      return true;
    default:
      return false;
  }
}

Bytes MessageGenerator::shapedReply(const ArgumentKind& kind) {
  using Type = ArgumentKind::Type;
  out_.clear();
  made_up_ids_.clear();
  if (!kind.nullable && (kind.type == Type::unspecified || kind.type == Type::none)) {
    // Either is success for a call without a result.
    out_.push_back(12);
    out_.push_back(chance(0.5) ? 0 : 1);
    if (out_.back() == 1) out_.push_back(0);
  } else {
    out_.push_back(12);
    out_.push_back(1);
    shapedArgument(ArgumentShape{"", kind});
  }
  return std::move(out_);
}

}  // namespace channel_fuzzer
