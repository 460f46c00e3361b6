#include "platform/uniformtypes/ut_type.h"

#include <gtest/gtest.h>

namespace {

TEST(UTTypeTest, LooksTypesUpByIdentifierExtensionAndMimeType) {
  EXPECT_EQ(UTType::typeWithIdentifier("public.png")->identifier(), "public.png");
  EXPECT_FALSE(UTType::typeWithIdentifier("com.example.unknown"));
  EXPECT_EQ(UTType::typeWithFilenameExtension("JPG")->identifier(), "public.jpeg");
  EXPECT_EQ(UTType::typeWithFilenameExtension("pdf"), UTType::pdf());
  EXPECT_FALSE(UTType::typeWithFilenameExtension("nosuchext"));
  EXPECT_FALSE(UTType::typeWithFilenameExtension(""));
  EXPECT_EQ(UTType::typeWithMIMEType("video/mp4")->identifier(), "public.mpeg-4");
  EXPECT_FALSE(UTType::typeWithMIMEType("application/x-unknown"));
  // The supertype narrows the lookup.
  EXPECT_FALSE(UTType::typeWithFilenameExtension("png", UTType::audio()));
  EXPECT_EQ(UTType::pdf().preferredFilenameExtension(), "pdf");
  EXPECT_EQ(UTType::typeWithIdentifier("public.jpeg")->preferredMIMEType(), "image/jpeg");
}

TEST(UTTypeTest, ConformanceFollowsTheHierarchy) {
  auto png = *UTType::typeWithFilenameExtension("png");
  EXPECT_TRUE(png.conformsToType(UTType::image()));
  EXPECT_TRUE(png.conformsToType(UTType::data()));
  EXPECT_TRUE(png.conformsToType(UTType::item()));
  EXPECT_TRUE(png.conformsToType(png));
  EXPECT_FALSE(png.conformsToType(UTType::movie()));
  EXPECT_TRUE(UTType::video().isSubtypeOfType(UTType::movie()));
  EXPECT_FALSE(UTType::movie().isSubtypeOfType(UTType::movie()));
  EXPECT_TRUE(UTType::audiovisualContent().isSupertypeOfType(UTType::audio()));
  EXPECT_FALSE(UTType::folder().conformsToType(UTType::data()));
  EXPECT_NE(UTType::movie(), UTType::video());
}

}  // namespace
