#include "image/factory_image.h"

#include <gtest/gtest.h>

#include "image/image_layout.h"
#include "image/section_kinds.h"

namespace veltra::image {
namespace {

TEST(FactoryImage, CarriesIdsStringsVolumesAndBothEqualisers) {
  const auto bytes = BuildFactoryImage(0x5A52, 0x7731, 8192);
  ASSERT_TRUE(bytes.has_value());
  ASSERT_EQ(bytes->size(), 8192u);
  const ImageContents contents = ReadImage(*bytes, 8191);
  ASSERT_TRUE(contents.hasMagic);
  EXPECT_EQ(contents.header[2], 0x52);
  EXPECT_EQ(contents.header[3], 0x5A);
  EXPECT_EQ(contents.header[4], 0x31);
  EXPECT_EQ(contents.header[5], 0x77);
  EXPECT_FALSE(contents.sections[section_index::kMcu].has_value());
  for (size_t index : {1, 2, 3, 4, 10, 11})
    EXPECT_TRUE(contents.sections[index].has_value()) << index;
  EXPECT_EQ(contents.sections[1]->data.size(), 37u);
  ASSERT_TRUE(contents.tailRecords.first.has_value());
  ASSERT_TRUE(contents.tailRecords.second.has_value());
  EXPECT_EQ((*contents.tailRecords.first)[0], 0x81);
  EXPECT_EQ((*contents.tailRecords.second)[0], 0x82);
}

TEST(FactoryImage, ASmallEepromGetsNoEqualisers) {
  const auto bytes = BuildFactoryImage(0x5A52, 0x7731, 256);
  ASSERT_TRUE(bytes.has_value());
  const ImageContents contents = ReadImage(*bytes, 255);
  ASSERT_TRUE(contents.hasMagic);
  EXPECT_TRUE(contents.sections[1].has_value());
  EXPECT_FALSE(contents.sections[10].has_value());
  EXPECT_FALSE(contents.tailRecords.first.has_value());
}

}  // namespace
}  // namespace veltra::image
