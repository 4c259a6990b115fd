#pragma once
// BMP files: reading every common variant into the working image, writing a
// picture as the BMP file of its own layout.

#include <cstdint>
#include <string>

#include "core/ByteStream.h"
#include "image/picture/Picture.h"

namespace sw {

// Reads the file at `path`. "Cannot open file %s" when it can't be opened;
// the picture is untouched on any failure.
void LoadBmpFile(Picture& picture, const std::string& path);

// Reads `count` bytes (from the source's position to its end) as a BMP file.
// On success `picture` holds the picture read; on failure it is unchanged.
void ReadBmp(Picture& picture, ByteSource& source, uint64_t count);

// Writes the picture to `path`, replacing an existing file only by a complete
// new one. "Cannot create file %s" when the file can't be made.
void SaveBmpFile(Picture& picture, const std::string& path);

// Writes the whole file; an empty picture writes nothing.
void WriteBmp(Picture& picture, ByteSink& sink);

}  // namespace sw
