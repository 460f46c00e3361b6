// The kinds of data a website data store keeps, and a record of one site's data.
#pragma once

#include <set>
#include <string>

#include "platform/foundation/ns_object.h"

inline const std::string WKWebsiteDataTypeCookies = "WKWebsiteDataTypeCookies";
inline const std::string WKWebsiteDataTypeMemoryCache = "WKWebsiteDataTypeMemoryCache";
inline const std::string WKWebsiteDataTypeDiskCache = "WKWebsiteDataTypeDiskCache";
inline const std::string WKWebsiteDataTypeOfflineWebApplicationCache =
    "WKWebsiteDataTypeOfflineWebApplicationCache";
inline const std::string WKWebsiteDataTypeLocalStorage = "WKWebsiteDataTypeLocalStorage";
inline const std::string WKWebsiteDataTypeSessionStorage = "WKWebsiteDataTypeSessionStorage";
inline const std::string WKWebsiteDataTypeWebSQLDatabases = "WKWebsiteDataTypeWebSQLDatabases";
inline const std::string WKWebsiteDataTypeIndexedDBDatabases =
    "WKWebsiteDataTypeIndexedDBDatabases";

class WKWebsiteDataRecord : public NSObject {
 public:
  WKWebsiteDataRecord(std::string displayName, std::set<std::string> dataTypes)
      : display_name_(std::move(displayName)), data_types_(std::move(dataTypes)) {}

  // The site, usually its registrable domain.
  const std::string& displayName() const { return display_name_; }
  const std::set<std::string>& dataTypes() const { return data_types_; }

 private:
  std::string display_name_;
  std::set<std::string> data_types_;
};
