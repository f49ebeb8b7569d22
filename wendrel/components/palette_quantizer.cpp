#include "wendrel/components/palette_quantizer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>
#include <unordered_map>

namespace {

constexpr int kPaletteSize = 256;
constexpr int kCellBits = 5;
constexpr int kCellsPerChannel = 1 << kCellBits;
constexpr int kCellCount = kCellsPerChannel * kCellsPerChannel * kCellsPerChannel;
constexpr int kRefinementRounds = 2;

uint32_t PixelAt(const uint8_t* pixels, int stride, int x, int y) {
  uint32_t pixel;
  std::memcpy(&pixel, pixels + static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x) * 4, 4);
  return pixel & 0xFFFFFF;
}

PaletteColour ColourOf(uint32_t pixel) {
  return {static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 8), static_cast<uint8_t>(pixel)};
}

int CellOf(uint32_t pixel) {
  int red = static_cast<int>((pixel >> 16) & 0xFF) >> (8 - kCellBits);
  int green = static_cast<int>((pixel >> 8) & 0xFF) >> (8 - kCellBits);
  int blue = static_cast<int>(pixel & 0xFF) >> (8 - kCellBits);
  return (red << (2 * kCellBits)) | (green << kCellBits) | blue;
}

// The picture's colours in order of first appearance, or nothing past 256 of them.
bool CollectExactColours(const uint8_t* pixels, int width, int height, int stride, PaletteImage& image) {
  std::unordered_map<uint32_t, uint8_t> seen;
  image.indexes.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  size_t at = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = PixelAt(pixels, stride, x, y);
      auto [entry, added] = seen.try_emplace(pixel, static_cast<uint8_t>(seen.size()));
      if (added) {
        if (seen.size() > kPaletteSize) return false;
        image.palette[entry->second] = ColourOf(pixel);
      }
      image.indexes[at++] = entry->second;
    }
  }
  image.colours_used = static_cast<int>(seen.size());
  return true;
}

// One histogram cell: how many pixels fell into it and the sum of their colours.
struct Cell {
  uint64_t count = 0;
  uint64_t red = 0;
  uint64_t green = 0;
  uint64_t blue = 0;

  int Channel(int channel) const {
    uint64_t sum = channel == 0 ? red : channel == 1 ? green : blue;
    return static_cast<int>(sum / count);
  }
};

// A box of the median cut: a run of the occupied cells, and the extent of their mean colours.
struct Box {
  size_t first;
  size_t last;  // one past
  uint64_t count = 0;
  int low[3] = {255, 255, 255};
  int high[3] = {0, 0, 0};

  int LongestChannel() const {
    int widest = 0;
    for (int c = 1; c < 3; ++c) {
      if (high[c] - low[c] > high[widest] - low[widest]) widest = c;
    }
    return widest;
  }
  int Extent() const { return high[LongestChannel()] - low[LongestChannel()]; }
};

Box MakeBox(const std::vector<Cell>& cells, size_t first, size_t last) {
  Box box{first, last};
  for (size_t i = first; i < last; ++i) {
    box.count += cells[i].count;
    for (int c = 0; c < 3; ++c) {
      box.low[c] = std::min(box.low[c], cells[i].Channel(c));
      box.high[c] = std::max(box.high[c], cells[i].Channel(c));
    }
  }
  return box;
}

// Splits the box along its widest channel where half of its pixels lie on each side.
std::pair<Box, Box> SplitBox(std::vector<Cell>& cells, const Box& box) {
  int channel = box.LongestChannel();
  std::sort(cells.begin() + static_cast<std::ptrdiff_t>(box.first), cells.begin() + static_cast<std::ptrdiff_t>(box.last),
            [channel](const Cell& a, const Cell& b) { return a.Channel(channel) < b.Channel(channel); });
  uint64_t half = box.count / 2;
  uint64_t running = 0;
  size_t split = box.first + 1;
  for (size_t i = box.first; i + 1 < box.last; ++i) {
    running += cells[i].count;
    split = i + 1;
    if (running >= half) break;
  }
  return {MakeBox(cells, box.first, split), MakeBox(cells, split, box.last)};
}

// Median cut: up to 256 boxes, always splitting the box with the most pixels times extent.
std::vector<Box> CutBoxes(std::vector<Cell>& cells) {
  std::vector<Box> boxes = {MakeBox(cells, 0, cells.size())};
  while (boxes.size() < kPaletteSize) {
    size_t best = boxes.size();
    uint64_t best_score = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
      if (boxes[i].last - boxes[i].first < 2) continue;
      uint64_t score = boxes[i].count * static_cast<uint64_t>(boxes[i].Extent() + 1);
      if (score > best_score) {
        best = i;
        best_score = score;
      }
    }
    if (best == boxes.size()) break;  // every box is a single cell
    auto [low, high] = SplitBox(cells, boxes[best]);
    boxes[best] = low;
    boxes.push_back(high);
  }
  return boxes;
}

int Distance(const Cell& cell, const PaletteColour& colour) {
  int red = cell.Channel(0) - colour.red;
  int green = cell.Channel(1) - colour.green;
  int blue = cell.Channel(2) - colour.blue;
  return red * red + green * green + blue * blue;
}

uint8_t NearestEntry(const Cell& cell, const PaletteImage& image) {
  int best = 0;
  int best_distance = std::numeric_limits<int>::max();
  for (int i = 0; i < image.colours_used; ++i) {
    int distance = Distance(cell, image.palette[static_cast<size_t>(i)]);
    if (distance < best_distance) {
      best = i;
      best_distance = distance;
    }
  }
  return static_cast<uint8_t>(best);
}

// Moves every palette colour to the mean of the cells nearest to it.
void RefinePalette(const std::vector<Cell>& cells, PaletteImage& image) {
  for (int round = 0; round < kRefinementRounds; ++round) {
    std::vector<Cell> sums(static_cast<size_t>(image.colours_used));
    for (const Cell& cell : cells) {
      Cell& sum = sums[NearestEntry(cell, image)];
      sum.count += cell.count;
      sum.red += cell.red;
      sum.green += cell.green;
      sum.blue += cell.blue;
    }
    for (size_t i = 0; i < sums.size(); ++i) {
      if (sums[i].count == 0) continue;
      image.palette[i] = {static_cast<uint8_t>(sums[i].Channel(0)), static_cast<uint8_t>(sums[i].Channel(1)),
                          static_cast<uint8_t>(sums[i].Channel(2))};
    }
  }
}

std::vector<Cell> BuildHistogram(const uint8_t* pixels, int width, int height, int stride) {
  std::vector<Cell> histogram(kCellCount);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = PixelAt(pixels, stride, x, y);
      Cell& cell = histogram[static_cast<size_t>(CellOf(pixel))];
      ++cell.count;
      cell.red += (pixel >> 16) & 0xFF;
      cell.green += (pixel >> 8) & 0xFF;
      cell.blue += pixel & 0xFF;
    }
  }
  return histogram;
}

// The mean colour of each box's pixels.
void PaletteFromBoxes(const std::vector<Cell>& cells, const std::vector<Box>& boxes, PaletteImage& image) {
  image.palette.fill({});
  image.colours_used = static_cast<int>(boxes.size());
  for (size_t i = 0; i < boxes.size(); ++i) {
    Cell mean;
    for (size_t c = boxes[i].first; c < boxes[i].last; ++c) {
      mean.count += cells[c].count;
      mean.red += cells[c].red;
      mean.green += cells[c].green;
      mean.blue += cells[c].blue;
    }
    image.palette[i] = {static_cast<uint8_t>(mean.Channel(0)), static_cast<uint8_t>(mean.Channel(1)),
                        static_cast<uint8_t>(mean.Channel(2))};
  }
}

void ReduceByMedianCut(const uint8_t* pixels, int width, int height, int stride, PaletteImage& image) {
  std::vector<Cell> histogram = BuildHistogram(pixels, width, height, stride);
  std::vector<Cell> cells;
  for (const Cell& cell : histogram) {
    if (cell.count > 0) cells.push_back(cell);
  }
  std::vector<Box> boxes = CutBoxes(cells);
  PaletteFromBoxes(cells, boxes, image);
  RefinePalette(cells, image);
  // Each occupied cell is mapped to its nearest colour once; pixels look their cell up.
  std::vector<uint8_t> cell_entry(kCellCount, 0);
  for (size_t i = 0; i < histogram.size(); ++i) {
    if (histogram[i].count > 0) cell_entry[i] = NearestEntry(histogram[i], image);
  }
  size_t at = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.indexes[at++] = cell_entry[static_cast<size_t>(CellOf(PixelAt(pixels, stride, x, y)))];
    }
  }
}

}  // namespace

PaletteImage QuantizeToPalette(const uint8_t* pixels, int width, int height, int stride) {
  PaletteImage image;
  image.width = width;
  image.height = height;
  if (width <= 0 || height <= 0) return image;
  if (CollectExactColours(pixels, width, height, stride, image)) return image;
  ReduceByMedianCut(pixels, width, height, stride, image);
  return image;
}
