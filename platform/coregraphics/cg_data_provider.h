// Byte sources that CoreGraphics readers take: a data object, or a file named by a URL.
#pragma once

#include <memory>

#include "platform/coregraphics/cf_data.h"
#include "platform/foundation/ns_url.h"

class CGDataProvider;
using CGDataProviderRef = std::shared_ptr<const CGDataProvider>;

// Null for null data.
CGDataProviderRef CGDataProviderCreateWithCFData(const CFDataRef& data);
// A provider that reads the local file `url` names when its bytes are needed; null when the URL
// is not a file URL of this machine or names no readable regular file.
CGDataProviderRef CGDataProviderCreateWithURL(const NSURL& url);
