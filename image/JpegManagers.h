#pragma once
// The program's own libjpeg managers: errors, the source reading a JPEG file
// held in memory, and the destination filling a byte buffer. Internal to the
// JPEG codec.
//
// libjpeg is C: a fatal error inside it must never be a C++ exception. Its
// error_exit leaves the library with longjmp to RunGuarded's frame; the frames
// it jumps over (libjpeg's own and the codec's steps) hold no object with a
// destructor, so nothing is skipped that C++ would have run.

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "core/Error.h"

namespace sw::jpeg {

// The size of the pieces both managers hand over.
constexpr size_t kChunkBytes = 4096;

// libjpeg's working memory is held to the same bound as one pixel store, so a
// hostile header cannot make it allocate without limit.
constexpr long kLibraryMemoryBytes = 1L << 30;

struct ErrorManager {
  jpeg_error_mgr pub;  // first member: libjpeg's pointer is this object's address
  std::jmp_buf jump;
  bool streamGrowthFailed;  // the destination's buffer could not grow
};

// Every fatal error jumps back; warnings and traces are ignored and nothing
// of the library's own text is ever formatted.
void InitErrorManager(ErrorManager& errors);

// Runs step(context) so that a fatal library error inside it returns false
// instead of unwinding through C frames. `step` may throw C++ exceptions of
// its own only outside library calls.
bool RunGuarded(ErrorManager& errors, void (*step)(void*), void* context);

// The program's error for a failure that ended RunGuarded: "Out of memory"
// inside the library, "Out of memory while expanding memory stream" when the
// encoded bytes could not grow, else "JPEG error #%d".
Error LibraryFailure(const ErrorManager& errors);

// The number shown for a library message: the codes a user meets are given
// as libjpeg 6a numbered them; every other code is the linked library's own.
int ShownMessageCode(int code);

// Behaves as libjpeg's file source manager reading the bytes as a file.
struct SourceManager {
  jpeg_source_mgr pub;  // first member
  const uint8_t* data;
  size_t size;
  size_t position;
  bool startOfFile;  // no byte delivered yet
};

void InitSourceManager(SourceManager& source, const uint8_t* data, size_t size);

// From here on the source behaves as if the data ended where it has got to.
void EndSourceEarly(SourceManager& source);

struct DestinationManager {
  jpeg_destination_mgr pub;  // first member
  std::vector<uint8_t>* bytes;
  ErrorManager* errors;
  JOCTET chunk[kChunkBytes];
};

void InitDestinationManager(DestinationManager& destination, std::vector<uint8_t>& bytes, ErrorManager& errors);

}  // namespace sw::jpeg
