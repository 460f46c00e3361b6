// Appearances: the named looks (light, dark, vibrant) that a window draws its controls with.
#pragma once

#include <memory>
#include <string>

using NSAppearanceName = std::string;

inline const NSAppearanceName NSAppearanceNameAqua = "NSAppearanceNameAqua";
inline const NSAppearanceName NSAppearanceNameDarkAqua = "NSAppearanceNameDarkAqua";
inline const NSAppearanceName NSAppearanceNameVibrantLight = "NSAppearanceNameVibrantLight";
inline const NSAppearanceName NSAppearanceNameVibrantDark = "NSAppearanceNameVibrantDark";

class NSAppearance {
 public:
  // The appearance of that name, or null for a name the system does not know.
  static std::shared_ptr<NSAppearance> appearanceNamed(const NSAppearanceName& name);

  const NSAppearanceName& name() const { return name_; }

 private:
  explicit NSAppearance(NSAppearanceName name) : name_(std::move(name)) {}

  NSAppearanceName name_;
};
