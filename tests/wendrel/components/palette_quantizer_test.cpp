// Colour reduction: pictures of up to 256 colours keep them exactly, larger ones get a palette
// whose colours stay close to every pixel.
#include "wendrel/components/palette_quantizer.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/wendrel/components/png_test_support.h"

namespace {

struct Picture {
  int width;
  int height;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top first
};

PaletteImage Quantize(const Picture& picture) {
  return QuantizeToPalette(reinterpret_cast<const uint8_t*>(picture.pixels.data()), picture.width, picture.height,
                           picture.width * 4);
}

uint32_t ColourAt(const PaletteImage& image, size_t index) {
  const PaletteColour& colour = image.palette[image.indexes[index]];
  return (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) | colour.blue;
}

Picture Distinct(int count) {
  Picture picture{count, 1, {}};
  for (int i = 0; i < count; ++i) {
    auto n = static_cast<uint32_t>(i);
    picture.pixels.push_back(((n & 0xFF) << 16) | (((n * 7) & 0xFF) << 8) | (n >> 8));  // all differ
  }
  return picture;
}

TEST(PaletteQuantizer, UpTo256ColoursAreKeptExactly) {
  for (int count : {1, 2, 255, 256}) {
    SCOPED_TRACE(count);
    Picture picture = Distinct(count);
    PaletteImage image = Quantize(picture);
    EXPECT_EQ(image.colours_used, count);
    for (size_t i = 0; i < picture.pixels.size(); ++i) EXPECT_EQ(ColourAt(image, i), picture.pixels[i]);
  }
}

TEST(PaletteQuantizer, TheUnusedTopByteDoesNotCount) {
  Picture picture{2, 1, {0xFF112233, 0x00112233}};
  PaletteImage image = Quantize(picture);
  EXPECT_EQ(image.colours_used, 1);
  EXPECT_EQ(ColourAt(image, 1), 0x112233u);
  EXPECT_EQ(image.palette[1], PaletteColour{});  // unused entries are black
}

TEST(PaletteQuantizer, MoreColoursGetAPaletteCloseToEveryPixel) {
  struct Case {
    const char* name;
    Picture picture;
    int worst;
  } cases[] = {
      {"257 colours", Distinct(257), 8},
      {"grey ramp", {}, 4},
      {"colour cube", {}, 40},
  };
  for (int i = 0; i < 1024; ++i) cases[1].picture.pixels.push_back(static_cast<uint32_t>(i / 4) * 0x010101u);
  cases[1].picture.width = 1024;
  cases[1].picture.height = 1;
  for (uint32_t r = 0; r < 32; ++r) {
    for (uint32_t g = 0; g < 32; ++g) {
      for (uint32_t b = 0; b < 16; ++b) cases[2].picture.pixels.push_back((r * 8 << 16) | (g * 8 << 8) | (b * 16));
    }
  }
  cases[2].picture.width = 128;
  cases[2].picture.height = 128;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PaletteImage image = Quantize(c.picture);
    EXPECT_LE(image.colours_used, 256);
    EXPECT_GT(image.colours_used, 200);  // the palette is used, not a few colours for all
    int worst = 0;
    for (size_t i = 0; i < c.picture.pixels.size(); ++i) {
      worst = std::max(worst, ChannelDistance(ColourAt(image, i), c.picture.pixels[i] & 0xFFFFFF));
    }
    EXPECT_LE(worst, c.worst);
  }
}

TEST(PaletteQuantizer, EmptyPictureGivesNoPixels) {
  PaletteImage image = QuantizeToPalette(nullptr, 0, 0, 0);
  EXPECT_TRUE(image.indexes.empty());
  EXPECT_EQ(image.colours_used, 0);
}

}  // namespace
