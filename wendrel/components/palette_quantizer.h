#pragma once
// Colour reduction of a 32-bit picture to an 8-bit palette image, for PNG capture. Pictures of
// at most 256 colours (forms, charts, text: what hosts capture) keep their colours exactly.
// Others are reduced by median cut over a 5-bit-per-channel histogram, refined by two rounds
// of k-means, each pixel taking the palette colour nearest to its histogram cell; there is no
// dithering, which would speckle the flat areas and text of captured windows.

#include <array>
#include <cstdint>
#include <vector>

struct PaletteColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  bool operator==(const PaletteColour&) const = default;
};

struct PaletteImage {
  int width = 0;
  int height = 0;
  /// 256 entries; those past `colours_used` are black.
  std::array<PaletteColour, 256> palette{};
  int colours_used = 0;
  /// One palette index per pixel, rows top first.
  std::vector<uint8_t> indexes;
};

/// Reduces a picture of `width` × `height` pixels, rows top first `stride` bytes apart, each
/// pixel 32 bits in native order with red in bits 16-23, green 8-15 and blue 0-7 (the top byte
/// is ignored), as cairo's RGB24 surfaces hold them.
PaletteImage QuantizeToPalette(const uint8_t* pixels, int width, int height, int stride);
