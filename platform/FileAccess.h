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

// A new file that takes the place of `path` only once it is complete: it is
// filled in a temporary file in the target's folder, in order or at any
// offset, and Commit() gives that file the target's name in one step, so a
// reader (or a second writer of the same target) sees the old file or the
// new one, never a mix. Unless committed, the temporary file is removed when
// this goes, and any earlier target stays as it was.
class ReplacementFile {
 public:
  // "Cannot create file %s" with the path as given when the temporary file
  // can't be made or the target could not be replaced: a folder, a
  // read-only file, on Windows a file another program holds open without
  // letting it be deleted.
  explicit ReplacementFile(const std::string& path);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  RandomAccessSink& Sink();
  // Puts the data on the disk ("Stream write error" when it can't be), then
  // gives the file the target's name ("Cannot create file %s" when the
  // target can't be replaced).
  void Commit();

  class Temporary;  // per platform

 private:
  const std::string path_;
  std::unique_ptr<Temporary> temporary_;
};

// The same for a writer that fills the file in one call.
inline void ReplaceFileWith(const std::string& path, const std::function<void(RandomAccessSink&)>& write) {
  ReplacementFile file(path);
  write(file.Sink());
  file.Commit();
}

}  // namespace sw
