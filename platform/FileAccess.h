#pragma once
// The file access the codecs need, implemented once per platform
// (FileAccessPosix.cpp natively, desktop/FileAccessWin32.cpp on Windows).
// Paths are UTF-8; on Windows they reach the wide-character API.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/ByteStream.h"

namespace sw {

class InputFile : public ByteSource {
 public:
  virtual uint64_t Size() const = 0;
};

// Opens for reading, letting other programs read but not write while it is
// open. Raises "Cannot open file %s" with the path exactly as given.
std::unique_ptr<InputFile> OpenInputFile(const std::string& path);

// Writes a file so that an existing one is replaced only by a complete new
// file: `write` fills a temporary file in the target's folder, which then
// takes the target's name. If the temporary file can't be made: "Cannot
// create file %s" with the path as given; if `write` or the replacement
// fails, the temporary file is removed and any earlier target is untouched.
void ReplaceFileWith(const std::string& path, const std::function<void(ByteSink&)>& write);

}  // namespace sw
