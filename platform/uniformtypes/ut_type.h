// Uniform type identifiers: named kinds of content ("public.png"), arranged in a conformance
// hierarchy ("public.png" conforms to "public.image", which conforms to "public.data"), with the
// filename extensions and MIME types that tag them.
//
// The types come from a built-in table of the common ones. A lookup that the table cannot answer
// gives no type; the system's dynamic types are not modelled.
#pragma once

#include <optional>
#include <string>
#include <vector>

class UTType {
 public:
  static std::optional<UTType> typeWithIdentifier(const std::string& identifier);
  // The type tagged with the extension (without its dot, in any letter case) that conforms to
  // `supertype`.
  static std::optional<UTType> typeWithFilenameExtension(const std::string& filenameExtension,
                                                         const UTType& supertype = data());
  static std::optional<UTType> typeWithMIMEType(const std::string& mimeType,
                                                const UTType& supertype = data());

  // The abstract types.
  static UTType item();
  static UTType data();
  static UTType content();
  static UTType text();
  static UTType image();
  static UTType audiovisualContent();
  static UTType movie();
  static UTType video();
  static UTType audio();
  static UTType folder();
  static UTType pdf();

  const std::string& identifier() const { return identifier_; }
  std::optional<std::string> preferredFilenameExtension() const;
  std::optional<std::string> preferredMIMEType() const;
  // Whether the type is `other` or descends from it; every type conforms to itself.
  bool conformsToType(const UTType& other) const;
  bool isSubtypeOfType(const UTType& other) const { return *this != other && conformsToType(other); }
  bool isSupertypeOfType(const UTType& other) const { return other.isSubtypeOfType(*this); }

  friend bool operator==(const UTType& a, const UTType& b) { return a.identifier_ == b.identifier_; }

 private:
  explicit UTType(std::string identifier) : identifier_(std::move(identifier)) {}
  static UTType known(const char* identifier);

  std::string identifier_;
};
