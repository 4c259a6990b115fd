#pragma once
// The file access the codecs need, implemented once per platform
// (FileAccessPosix.cpp natively, FileAccessWin32.cpp on Windows).
// Paths are UTF-8; on Windows they reach the wide-character API.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/ByteStream.h"

namespace sw {

// A file open for reading, read in order or at any offset.
class InputFile : public RandomAccessSource {};

// Opens for reading, letting other programs read but not write while it is
// open. Raises "Cannot open file %s" with the path exactly as given.
std::unique_ptr<InputFile> OpenInputFile(const std::string& path);

// Whether both paths name one existing file (through links, or in different
// spellings).
bool IsSameFile(const std::string& first, const std::string& second);

// Writes a file so that an existing one is replaced only by a complete new
// file: `write` fills a temporary file in the target's folder, in order or at
// any offset, which then takes the target's name in one step, so a reader
// (or a second writer of the same target) sees the old file or the new one,
// never a mix. If the temporary file can't be made, or the target can't be
// replaced (a folder, a read-only file, on Windows a file another program
// holds open without letting it be deleted): "Cannot create file %s" with
// the path as given; if `write` or the replacement fails, the temporary file
// is removed and any earlier target is untouched.
void ReplaceFileWith(const std::string& path, const std::function<void(RandomAccessSink&)>& write);

}  // namespace sw
