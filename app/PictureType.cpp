#include "app/PictureType.h"

#include "image/bmp/Bmp.h"

namespace sw {

bool IsBmpPath(const std::string& path) {
  const size_t last = path.find_last_of(".\\:");
  if (last == std::string::npos || path[last] != '.') return false;
  const std::string extension = path.substr(last);
  return extension == ".bmp" || extension == ".BMP";  // case matters: ".Bmp" is a JPEG file
}

void ReadPictureByType(const std::string& path, Picture& picture, WorkJpeg& jpeg) {
  if (IsBmpPath(path)) {
    LoadBmpFile(picture, path);
  } else {
    jpeg.LoadFromFile(path);
    jpeg.CopyInto(picture);
  }
}

}  // namespace sw
