#include "wendrel/components/png_encoder.h"

#include <png.h>

#include <string>
#include <vector>

#include "wendrel/logging/event_log.h"

namespace {

void WriteToStream(png_structp png, png_bytep data, png_size_t length) {
  auto* stream = static_cast<IStream*>(png_get_io_ptr(png));
  ULONG written = 0;
  if (length > 0xFFFFFFFFu || FAILED(stream->Write(data, static_cast<ULONG>(length), &written)) ||
      written != length) {
    png_error(png, "Can't write to the IStream!");
  }
}

void FlushStream(png_structp) {}

void ReportError(png_structp png, png_const_charp message) {
  EventLog::Error(std::string("PNG lib error: ") + message);
  png_longjmp(png, 1);
}

void ReportWarning(png_structp, png_const_charp message) {
  WriteEventLog(EventLogType::Information, std::string("PNG lib warning: ") + message);
}

// The libpng calls, alone in a function with nothing to destroy: an error leaves through
// longjmp back to the setjmp here, past no C++ object.
bool WriteImage(png_structp png, png_infop info, const PaletteImage& image, const png_color* palette,
                png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_PLTE(png, info, palette, PNG_MAX_PALETTE_LENGTH);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

bool WritePalettePng(IStream* stream, const PaletteImage& image) {
  if (image.width <= 0 || image.height <= 0) return false;
  if (FAILED(stream->Seek(0, STREAM_SEEK_SET, nullptr)) || FAILED(stream->SetSize(0))) return false;
  std::vector<png_color> palette(PNG_MAX_PALETTE_LENGTH);
  for (size_t i = 0; i < palette.size(); ++i) {
    palette[i] = {image.palette[i].red, image.palette[i].green, image.palette[i].blue};
  }
  std::vector<png_bytep> rows(static_cast<size_t>(image.height));
  for (size_t y = 0; y < rows.size(); ++y) {
    rows[y] = const_cast<png_bytep>(image.indexes.data() + y * static_cast<size_t>(image.width));
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ReportError, ReportWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  bool written = false;
  if (info != nullptr) {
    png_set_write_fn(png, stream, WriteToStream, FlushStream);
    written = WriteImage(png, info, image, palette.data(), rows.data());
  }
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  return written;
}
