#pragma once
// Reading the PNG images the capture makes, with libpng, into plain RGB pixels.

#include <png.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

struct DecodedPng {
  int width = 0;
  int height = 0;
  bool palette = false;    // colour type palette
  int bit_depth = 0;
  int palette_entries = 0;
  std::vector<uint8_t> rgb;  // 3 bytes per pixel, rows top first

  uint32_t At(int x, int y) const {
    size_t at = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return (uint32_t{rgb[at]} << 16) | (uint32_t{rgb[at + 1]} << 8) | rgb[at + 2];
  }
};

struct PngReadState {
  std::string_view bytes;
  size_t position = 0;
};

inline void ReadPngBytes(png_structp png, png_bytep out, png_size_t length) {
  auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
  if (state->position + length > state->bytes.size()) png_error(png, "short image");
  std::copy_n(state->bytes.data() + state->position, length, out);
  state->position += length;
}

// Everything libpng reads lives in the caller: an error longjmps past nothing to destroy.
inline bool ReadPngInto(png_structp png, png_infop info, DecodedPng& out, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  out.bit_depth = png_get_bit_depth(png, info);
  out.palette = png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE;
  png_colorp palette = nullptr;
  int entries = 0;
  if (png_get_PLTE(png, info, &palette, &entries) != 0) out.palette_entries = entries;
  png_set_expand(png);  // palette to RGB
  png_set_strip_alpha(png);
  png_read_update_info(png, info);
  out.rgb.resize(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * 3);
  rows.resize(static_cast<size_t>(out.height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = out.rgb.data() + y * static_cast<size_t>(out.width) * 3;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return true;
}

inline std::optional<DecodedPng> DecodePng(std::string_view bytes) {
  if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8) != 0) return std::nullopt;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  PngReadState state{bytes, 0};
  png_set_read_fn(png, &state, ReadPngBytes);
  DecodedPng decoded;
  std::vector<png_bytep> rows;
  bool read = ReadPngInto(png, info, decoded, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!read) return std::nullopt;
  return decoded;
}

/// The largest difference of one channel between two colours.
inline int ChannelDistance(uint32_t a, uint32_t b) {
  int most = 0;
  for (int shift : {16, 8, 0}) {
    int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    most = std::max(most, difference < 0 ? -difference : difference);
  }
  return most;
}
