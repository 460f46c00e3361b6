// What a data provider reads from, for the framework's own readers.
#pragma once

#include <string>
#include <variant>

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_data_provider.h"

namespace coregraphics::internal {

// A data object, or the path of a file read each time the bytes are needed.
using ByteSource = std::variant<CFDataRef, std::string>;

}  // namespace coregraphics::internal

class CGDataProvider {
 public:
  explicit CGDataProvider(coregraphics::internal::ByteSource source) : source_(std::move(source)) {}
  const coregraphics::internal::ByteSource& source() const { return source_; }

 private:
  coregraphics::internal::ByteSource source_;
};
