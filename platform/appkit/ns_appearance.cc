#include "platform/appkit/ns_appearance.h"

std::shared_ptr<NSAppearance> NSAppearance::appearanceNamed(const NSAppearanceName& name) {
  for (const auto* known : {&NSAppearanceNameAqua, &NSAppearanceNameDarkAqua,
                            &NSAppearanceNameVibrantLight, &NSAppearanceNameVibrantDark}) {
    if (name == *known) return std::shared_ptr<NSAppearance>(new NSAppearance(name));
  }
  return nullptr;
}
