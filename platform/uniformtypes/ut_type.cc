#include "platform/uniformtypes/ut_type.h"

#include <algorithm>

#include "platform/foundation/ascii_case.h"
#include "platform/uniformtypes/ut_type_table.h"

namespace {

using uniformtypes::findType;
using uniformtypes::TypeRecord;

bool conforms(std::string_view identifier, std::string_view target) {
  if (identifier == target) return true;
  const TypeRecord* record = findType(identifier);
  if (record == nullptr) return false;
  return std::any_of(record->parents.begin(), record->parents.end(),
                     [&](std::string_view parent) { return conforms(parent, target); });
}

template <typename Tags>
const TypeRecord* findTagged(Tags TypeRecord::*tags, const std::string& tag,
                             std::string_view supertype) {
  std::string wanted = foundation::asciiLowercased(tag);
  for (const auto& record : uniformtypes::typeTable()) {
    const auto& list = record.*tags;
    if (std::find(list.begin(), list.end(), wanted) != list.end() &&
        conforms(record.identifier, supertype)) {
      return &record;
    }
  }
  return nullptr;
}

}  // namespace

UTType UTType::known(const char* identifier) { return UTType(identifier); }

std::optional<UTType> UTType::typeWithIdentifier(const std::string& identifier) {
  if (findType(identifier) == nullptr) return std::nullopt;
  return UTType(identifier);
}

std::optional<UTType> UTType::typeWithFilenameExtension(const std::string& filenameExtension,
                                                        const UTType& supertype) {
  const TypeRecord* record =
      findTagged(&TypeRecord::extensions, filenameExtension, supertype.identifier());
  if (record == nullptr) return std::nullopt;
  return UTType(std::string(record->identifier));
}

std::optional<UTType> UTType::typeWithMIMEType(const std::string& mimeType,
                                               const UTType& supertype) {
  const TypeRecord* record = findTagged(&TypeRecord::mimeTypes, mimeType, supertype.identifier());
  if (record == nullptr) return std::nullopt;
  return UTType(std::string(record->identifier));
}

UTType UTType::item() { return known("public.item"); }
UTType UTType::data() { return known("public.data"); }
UTType UTType::content() { return known("public.content"); }
UTType UTType::text() { return known("public.text"); }
UTType UTType::image() { return known("public.image"); }
UTType UTType::audiovisualContent() { return known("public.audiovisual-content"); }
UTType UTType::movie() { return known("public.movie"); }
UTType UTType::video() { return known("public.video"); }
UTType UTType::audio() { return known("public.audio"); }
UTType UTType::folder() { return known("public.folder"); }
UTType UTType::pdf() { return known("com.adobe.pdf"); }

std::optional<std::string> UTType::preferredFilenameExtension() const {
  const TypeRecord* record = findType(identifier_);
  if (record == nullptr || record->extensions.empty()) return std::nullopt;
  return std::string(record->extensions.front());
}

std::optional<std::string> UTType::preferredMIMEType() const {
  const TypeRecord* record = findType(identifier_);
  if (record == nullptr || record->mimeTypes.empty()) return std::nullopt;
  return std::string(record->mimeTypes.front());
}

bool UTType::conformsToType(const UTType& other) const {
  return conforms(identifier_, other.identifier_);
}
