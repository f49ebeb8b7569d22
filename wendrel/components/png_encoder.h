#pragma once
// Palette images encoded as PNG into a stream: 8 bits per pixel, colour type palette with all
// 256 entries, no interlacing, only the "none" row filter, rows top first. libpng's errors and
// warnings go to the event log ("PNG lib error: %s", "PNG lib warning: %s"), where a desktop
// build showed them in message boxes captioned "PNG Encoder".

#include "platform/com/stream.h"
#include "wendrel/components/palette_quantizer.h"

/// Empties the stream (rewound, size 0) and writes the image into it; false after a libpng
/// error (a stream that takes fewer bytes than offered is one: "Can't write to the IStream!").
bool WritePalettePng(IStream* stream, const PaletteImage& image);
