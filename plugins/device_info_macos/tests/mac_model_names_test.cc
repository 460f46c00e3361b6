// The model-name table: exact matches only.
#include "plugins/device_info_macos/mac_model_names.h"

#include <gtest/gtest.h>

#include <set>

namespace device_info_macos {
namespace {

TEST(MacModelNamesTest, TableHoldsUniqueIdentifiers) {
  std::set<std::string_view> identifiers;
  std::set<std::string_view> names;
  for (const auto& [identifier, name] : macModelTable()) {
    identifiers.insert(identifier);
    names.insert(name);
  }
  EXPECT_EQ(macModelTable().size(), 109u);
  EXPECT_EQ(identifiers.size(), 109u);
  EXPECT_EQ(names.size(), 72u);
}

TEST(MacModelNamesTest, SharedNamesAndExactMatches) {
  for (const char* identifier : {"Mac14,5", "Mac14,9", "Mac14,6", "Mac14,10"}) {
    EXPECT_EQ(marketingName(identifier), "MacBook Pro (14-inch, 2023)") << identifier;
  }
  EXPECT_EQ(marketingName("MacBookPro11,4"), "MacBook Pro (15-inch, 2015)");
  EXPECT_EQ(marketingName("MacBookPro11,5"), "MacBook Pro (15-inch, 2015)");
  EXPECT_EQ(marketingName("iMacPro1,1"), "iMac Pro (2017)");
  EXPECT_EQ(marketingName("Mac17,5").rfind("MacBook ", 0), 0u);
}

TEST(MacModelNamesTest, NearMissesAreUnknown) {
  for (const char* identifier : {"macbook8,1", "MacBook8,1 ", " MacBook8,1", "MacBook8", "Mac14",
                                 "MacBook8,10", ""}) {
    EXPECT_EQ(marketingName(identifier), "Unknown Model") << '"' << identifier << '"';
  }
}

}  // namespace
}  // namespace device_info_macos
