#pragma once
// The program's own libjpeg managers: errors, the source reading a JPEG file
// (held in memory, or read from the file as the library asks) and the
// destination handing the encoded bytes to a sink (a byte buffer, or a file).
// Internal to the JPEG codec.
//
// libjpeg is C: a fatal error inside it must never be a C++ exception. Its
// error_exit leaves the library with longjmp to RunGuarded's frame; the frames
// it jumps over (libjpeg's own and the codec's steps) hold no object with a
// destructor, so nothing is skipped that C++ would have run.

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE and size_t declared first
#include <exception>

#include <jerror.h>
#include <jpeglib.h>

#include "core/ByteStream.h"
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
  // A failure of the program's own inside a manager (a file that can't be
  // read or written, a buffer that can't grow): it ends the library's work as
  // a fatal error does, and is the one raised.
  std::exception_ptr managerFailure;
};

// Every fatal error jumps back; warnings and traces are ignored and nothing
// of the library's own text is ever formatted.
void InitErrorManager(ErrorManager& errors);

// Runs step(context) so that a fatal library error inside it returns false
// instead of unwinding through C frames. `step` may throw C++ exceptions of
// its own only outside library calls.
bool RunGuarded(ErrorManager& errors, void (*step)(void*), void* context);

// Raises the failure that ended RunGuarded, taken from the error manager
// before the library object went: a manager's own failure as it was, "Out of
// memory" inside the library, else "JPEG error #%d" for the message code.
[[noreturn]] void RaiseLibraryFailure(const std::exception_ptr& managerFailure, int messageCode);

// The number shown for a library message: the codes a user meets are given
// as libjpeg 6a numbered them; every other code is the linked library's own.
int ShownMessageCode(int code);

// Behaves as libjpeg's file source manager reading the `size` bytes of
// `source`, in chunks of kChunkBytes: a file held in memory and a file read
// as the library goes decode alike. A source that gives fewer bytes than its
// size is a read error.
struct SourceManager {
  jpeg_source_mgr pub;  // first member
  ByteSource* source;
  ErrorManager* errors;
  uint64_t remaining;
  bool startOfFile;  // no byte delivered yet
  JOCTET chunk[kChunkBytes];
};

void InitSourceManager(SourceManager& manager, ByteSource& source, uint64_t size, ErrorManager& errors);

// From here on the source behaves as if the data ended where it has got to.
void EndSourceEarly(SourceManager& manager);

// Hands the encoded bytes to `sink` in chunks of kChunkBytes, the last one
// shorter. A sink that can't take them (a full disk) ends the encoding with
// its own error; a buffer that can't grow, with "Out of memory while
// expanding memory stream".
struct DestinationManager {
  jpeg_destination_mgr pub;  // first member
  ByteSink* sink;
  ErrorManager* errors;
  JOCTET chunk[kChunkBytes];
};

void InitDestinationManager(DestinationManager& destination, ByteSink& sink, ErrorManager& errors);

}  // namespace sw::jpeg
