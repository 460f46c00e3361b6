// Media selection: an item's choice per group, the group's default, and the options' metadata.
#include "platform/avfoundation/av_media_selection.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

std::shared_ptr<const AVMediaSelectionOption> option(const std::string& name) {
  return std::make_shared<const AVMediaSelectionOption>(AVMediaSelectionOption{name});
}

TEST(AVMediaSelectionTest, ChoicesArePerGroupAndFallBackToTheDefault) {
  auto english = option("English"), french = option("French"), commentary = option("Commentary");
  AVMediaSelectionGroup languages{{english, french}, english};
  AVMediaSelectionGroup extras{{commentary}, nullptr};
  AVMediaSelection selection;
  EXPECT_EQ(selection.selectedMediaOptionInMediaSelectionGroup(languages), english);
  EXPECT_EQ(selection.selectedMediaOptionInMediaSelectionGroup(extras), nullptr);

  selection.select(languages, french);
  EXPECT_EQ(selection.selectedMediaOptionInMediaSelectionGroup(languages), french);
  EXPECT_EQ(selection.selectedMediaOptionInMediaSelectionGroup(extras), nullptr);

  // Options compare by identity: an equal-looking copy is not the chosen one.
  AVMediaSelectionGroup lookalike{{option("English"), option("French")}, nullptr};
  EXPECT_EQ(selection.selectedMediaOptionInMediaSelectionGroup(lookalike), nullptr);
}

TEST(AVMediaSelectionTest, AnOptionFromAnotherGroupIsNotSelected) {
  auto english = option("English"), stray = option("Stray");
  AVMediaSelectionGroup languages{{english}, english};
  AVMediaSelection selection;
  selection.select(languages, stray);
  EXPECT_EQ(selection.selectedMediaOptionInMediaSelectionGroup(languages), english);
}

TEST(AVMediaSelectionTest, AChoiceDoesNotOutliveItsGroup) {
  auto english = option("English"), french = option("French");
  AVMediaSelection selection;
  // The second group lives exactly where the first one did.
  std::optional<AVMediaSelectionGroup> storage(AVMediaSelectionGroup{{english, french}, english});
  selection.select(*storage, french);
  storage.reset();
  auto german = option("German");
  storage.emplace(AVMediaSelectionGroup{{german}, german});
  EXPECT_EQ(selection.selectedMediaOptionInMediaSelectionGroup(*storage), german);
}

TEST(AVMetadataItemTest, ItemsAreFoundByKeyAndKeySpace) {
  std::vector<AVMetadataItem> items = {
      {"id3/TIT2", std::string("Other space"), "title", "org.id3"},
      {"common/title", int64_t{7}, "title", AVMetadataKeySpaceCommon},
      {"common/title", std::string("Main"), "title", AVMetadataKeySpaceCommon},
  };
  auto titles = AVMetadataItem::metadataItemsFromArray(items, AVMetadataCommonKeyTitle,
                                                       AVMetadataKeySpaceCommon);
  ASSERT_EQ(titles.size(), 2u);
  EXPECT_EQ(titles[0].stringValue(), std::nullopt);  // not a string
  EXPECT_EQ(titles[1].stringValue(), "Main");
  EXPECT_TRUE(
      AVMetadataItem::metadataItemsFromArray(items, "artist", AVMetadataKeySpaceCommon).empty());
}

}  // namespace
