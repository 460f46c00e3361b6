// Shared pieces of the database plug-in's tests: a temporary folder that every user directory
// points at, and map building.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>

#include "platform/flutter/value.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace litedb::testing {

class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "litedb-test-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
    foundation::testing::setUserDirectoriesRoot(path_);
  }
  ~TemporaryFolder() {
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline flutter::Value map(std::initializer_list<std::pair<const char*, flutter::Value>> entries) {
  flutter::ValueMap result;
  for (const auto& [key, value] : entries) result.append(flutter::Value(key), value);
  return flutter::Value(std::move(result));
}

inline flutter::Value list(std::initializer_list<flutter::Value> values) {
  return flutter::Value(flutter::ValueList(values));
}

}  // namespace litedb::testing
