#include "platform/foundation/ns_bundle.h"

#include <filesystem>
#include <mutex>

#include "platform/foundation/file_system_path.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace fs = std::filesystem;

namespace {

// Contents/MacOS/<executable> inside a bundle; a bare executable is its own directory's bundle.
std::string bundlePathOfExecutable() {
  std::error_code error;
  fs::path executable = fs::read_symlink("/proc/self/exe", error);
  if (error) return fs::current_path().string();
  fs::path directory = executable.parent_path();
  if (directory.filename() == "MacOS" && directory.parent_path().filename() == "Contents") {
    return directory.parent_path().parent_path().string();
  }
  return directory.string();
}

}  // namespace

std::shared_ptr<NSBundle> NSBundle::mainBundle() {
  static std::mutex mutex;
  static std::shared_ptr<NSBundle> cached;
  std::lock_guard lock(mutex);
  std::string path =
      foundation::testing::mainBundlePathOverride().value_or(bundlePathOfExecutable());
  if (!cached || cached->bundlePath() != path) cached = std::make_shared<NSBundle>(path);
  return cached;
}

std::shared_ptr<NSBundle> NSBundle::bundleWithPath(const std::string& path) {
  std::error_code error;
  if (!foundation::isFileSystemPath(path) || !fs::is_directory(path, error)) return nullptr;
  return std::make_shared<NSBundle>(path);
}

NSBundle::NSBundle(std::string bundlePath) : bundle_path_(std::move(bundlePath)) {
  auto info = PropertyList::readFile(bundle_path_ + "/Contents/Info.plist");
  if (info && info->asDictionary() != nullptr) info_ = *info->asDictionary();
}

std::string NSBundle::resourcePath() const { return bundle_path_ + "/Contents/Resources"; }

std::optional<std::string> NSBundle::bundleIdentifier() const {
  const PropertyList* identifier = objectForInfoDictionaryKey("CFBundleIdentifier");
  if (identifier == nullptr || identifier->asString() == nullptr) return std::nullopt;
  return *identifier->asString();
}

const PropertyList* NSBundle::objectForInfoDictionaryKey(const std::string& key) const {
  auto found = info_.find(key);
  return found == info_.end() ? nullptr : &found->second;
}

std::optional<std::string> NSBundle::pathForResource(const std::string& name,
                                                     const std::string& extension) const {
  std::string path = resourcePath() + "/" + name + (extension.empty() ? "" : "." + extension);
  std::error_code error;
  if (!foundation::isFileSystemPath(path) || !fs::exists(path, error)) return std::nullopt;
  return path;
}
