#pragma once
// Which reader a picture file goes to, by its name alone.

#include <string>

#include "image/jpeg/Jpeg.h"
#include "image/picture/Picture.h"

namespace sw {

// The extension runs from the last of ".", "\" and ":" when that is a ".".
// Exactly ".bmp" or ".BMP" is a BMP file; every other path is a JPEG file.
bool IsBmpPath(const std::string& path);

// BMP: read straight into `picture`; JPEG: load with `jpeg`, then copy its
// decoded picture into `picture`.
void ReadPictureByType(const std::string& path, Picture& picture, WorkJpeg& jpeg);

}  // namespace sw
