// Bundles: a directory laid out as Contents/MacOS/<executable>, Contents/Info.plist and
// Contents/Resources. The main bundle is the one that holds the running executable.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/property_list.h"

class NSBundle {
 public:
  static std::shared_ptr<NSBundle> mainBundle();
  static std::shared_ptr<NSBundle> bundleWithPath(const std::string& path);

  explicit NSBundle(std::string bundlePath);

  const std::string& bundlePath() const { return bundle_path_; }
  std::string resourcePath() const;
  std::optional<std::string> bundleIdentifier() const;
  // Empty when the bundle has no readable Info.plist.
  const PropertyList::Dictionary& infoDictionary() const { return info_; }
  const PropertyList* objectForInfoDictionaryKey(const std::string& key) const;
  // The path of Resources/<name>.<extension> when that file exists.
  std::optional<std::string> pathForResource(const std::string& name,
                                             const std::string& extension) const;

 private:
  std::string bundle_path_;
  PropertyList::Dictionary info_;
};
