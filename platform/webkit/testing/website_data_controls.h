// Test controls of website data stores: data that pages would have left behind, and what a
// store holds now.
#pragma once

#include <string>
#include <vector>

#include "platform/webkit/wk_website_data_store.h"

namespace webkit::testing {

// Records data of `dataType` for `site`, modified at `modified`, replacing that site's earlier
// data of the type.
void addWebsiteData(WKWebsiteDataStore& store, const std::string& dataType, const std::string& site,
                    const NSDate& modified);
// The data other than cookies, in the order it was recorded.
std::vector<WKWebsiteDataStore::Entry> websiteData(const WKWebsiteDataStore& store);

}  // namespace webkit::testing
