// Byte sources that CoreGraphics readers take: a data object, or a file named by a URL.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/coregraphics/cf_data.h"
#include "platform/foundation/ns_url.h"

class CGDataProvider;
using CGDataProviderRef = std::shared_ptr<const CGDataProvider>;

// Null for null data.
CGDataProviderRef CGDataProviderCreateWithCFData(const CFDataRef& data);
// The largest file a provider made from a URL reads.
inline constexpr uint64_t kCGDataProviderMaxFileBytes = uint64_t{512} << 20;

// A provider of the bytes of the local file `url` names, read when the provider is made (opened
// without waiting); null when the URL is not a file URL of this machine or names no readable
// regular file of at most kCGDataProviderMaxFileBytes.
CGDataProviderRef CGDataProviderCreateWithURL(const NSURL& url);
// The bytes the provider reads; null for a null provider.
CFDataRef CGDataProviderCopyData(const CGDataProviderRef& provider);
