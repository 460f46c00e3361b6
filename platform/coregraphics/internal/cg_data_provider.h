// What a data provider reads from, for the framework's own readers.
#pragma once

#include "platform/coregraphics/cf_data.h"
#include "platform/coregraphics/cg_data_provider.h"

namespace coregraphics::internal {

// The bytes a reader reads; never null in a provider.
using ByteSource = CFDataRef;

}  // namespace coregraphics::internal

class CGDataProvider {
 public:
  explicit CGDataProvider(coregraphics::internal::ByteSource source) : source_(std::move(source)) {}
  const coregraphics::internal::ByteSource& source() const { return source_; }

 private:
  coregraphics::internal::ByteSource source_;
};
