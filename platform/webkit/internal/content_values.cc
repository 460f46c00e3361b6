#include "platform/webkit/internal/content_values.h"

#include "platform/webkit/content_process/content_limits.h"
#include "platform/webkit/internal/text_encoding.h"

namespace webkit::content {
namespace {

// Deeper than any copy the content process makes (64 levels).
constexpr int kMaxDepth = 128;

struct ReadBudget {
  size_t values_left;
};

std::optional<AnyValue> readValue(ProtocolReader& in, int depth, ReadBudget& budget) {
  if (depth > kMaxDepth || budget.values_left == 0) return std::nullopt;
  --budget.values_left;
  switch (static_cast<ValueTag>(in.byte())) {
    case ValueTag::kUndefined:
      return AnyValue();
    case ValueTag::kNull:
      return AnyValue(NSNull{});
    case ValueTag::kFalse:
      return AnyValue(false);
    case ValueTag::kTrue:
      return AnyValue(true);
    case ValueTag::kInteger:
      return AnyValue(static_cast<int64_t>(in.u64()));
    case ValueTag::kDouble:
      return AnyValue(in.f64());
    case ValueTag::kString:
      return AnyValue(withValidUtf8(in.string()));
    case ValueTag::kArray: {
      uint32_t count = in.u32();
      // Every value takes at least its tag.
      if (count > in.remaining()) return std::nullopt;
      AnyValue::Array array;
      array.reserve(count);
      for (uint32_t i = 0; i < count; ++i) {
        auto element = readValue(in, depth + 1, budget);
        if (!element) return std::nullopt;
        array.push_back(std::move(*element));
      }
      return AnyValue(std::move(array));
    }
    case ValueTag::kDictionary: {
      uint32_t count = in.u32();
      if (count > in.remaining() / 5) return std::nullopt;
      AnyValue::Dictionary dictionary;
      dictionary.reserve(count);
      for (uint32_t i = 0; i < count; ++i) {
        std::string key = withValidUtf8(in.string());
        auto element = readValue(in, depth + 1, budget);
        if (!element) return std::nullopt;
        dictionary.emplace_back(std::move(key), std::move(*element));
      }
      return AnyValue(std::move(dictionary));
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<AnyValue> readScriptValue(ProtocolReader& in) {
  ReadBudget budget{kMaxScriptValues};
  auto value = readValue(in, 0, budget);
  if (!in.ok()) return std::nullopt;
  return value;
}

}  // namespace webkit::content
