#include "plugins/pdf_pages/pdf_arguments.h"

#include <variant>

#include "plugins/pdf_pages/pdf_errors.h"

namespace pdf_pages {

namespace {

std::optional<std::span<const uint8_t>> typedDataBytes(const flutter::Value& value) {
  return std::visit(
      [](const auto& stored) -> std::optional<std::span<const uint8_t>> {
        using Stored = std::decay_t<decltype(stored)>;
        if constexpr (std::is_same_v<Stored, std::vector<uint8_t>> ||
                      std::is_same_v<Stored, std::vector<int32_t>> ||
                      std::is_same_v<Stored, std::vector<int64_t>> ||
                      std::is_same_v<Stored, std::vector<float>> ||
                      std::is_same_v<Stored, std::vector<double>>) {
          return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(stored.data()),
                                          stored.size() * sizeof(typename Stored::value_type));
        } else {
          return std::nullopt;
        }
      },
      value.storage());
}

// `key` in quotes, then `rest`.
std::string about(std::string_view key, std::string_view rest) {
  std::string text;
  text.reserve(key.size() + rest.size() + 2);
  text += '"';
  text += key;
  text += '"';
  text += rest;
  return text;
}

}  // namespace

std::optional<std::string> PdfArguments::asString() {
  if (const std::string* text = arguments_.asString()) return *text;
  fail("The arguments must be a document id (a string)");
  return std::nullopt;
}

std::optional<std::string> PdfArguments::string(std::string_view key) {
  const flutter::Value* value = entry(key);
  if (value == nullptr) return std::nullopt;
  if (const std::string* text = value->asString()) return *text;
  fail(about(key, " must be a string"));
  return std::nullopt;
}

std::optional<int64_t> PdfArguments::integer(std::string_view key) {
  const flutter::Value* value = entry(key);
  if (value == nullptr) return std::nullopt;
  if (auto number = value->asInteger()) return number;
  fail(about(key, " must be an integer"));
  return std::nullopt;
}

std::optional<double> PdfArguments::floatingPoint(std::string_view key) {
  const flutter::Value* value = entry(key);
  if (value == nullptr) return std::nullopt;
  if (const double* number = value->getIf<double>()) return *number;
  fail(about(key, " must be a double"));
  return std::nullopt;
}

std::optional<std::span<const uint8_t>> PdfArguments::bytes(std::string_view key) {
  const flutter::Value* value = entry(key);
  if (value == nullptr) return std::nullopt;
  if (auto bytes = typedDataBytes(*value)) return bytes;
  fail(about(key, " must be typed data"));
  return std::nullopt;
}

std::optional<std::string> PdfArguments::optionalString(std::string_view key) const {
  const flutter::Value* value = arguments_.find(key);
  if (value == nullptr || value->asString() == nullptr) return std::nullopt;
  return *value->asString();
}

const flutter::Value* PdfArguments::entry(std::string_view key) {
  if (error_) return nullptr;
  if (arguments_.asMap() == nullptr) {
    fail("The arguments must be a map");
    return nullptr;
  }
  const flutter::Value* value = arguments_.find(key);
  if (value == nullptr) fail(about(key, " is missing"));
  return value;
}

void PdfArguments::fail(std::string message) {
  if (!error_) error_ = pdfError(kInvalidArgumentsCode, std::move(message));
}

}  // namespace pdf_pages
