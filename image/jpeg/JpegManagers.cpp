#include "image/jpeg/JpegManagers.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "core/Messages.h"

namespace sw::jpeg {
namespace {

// Called by libjpeg, so it must leave by longjmp and never return.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void EmitMessage(j_common_ptr, int) {}
void OutputMessage(j_common_ptr) {}
void FormatNothing(j_common_ptr, char* buffer) { buffer[0] = '\0'; }

void ResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->num_warnings = 0;
  cinfo->err->msg_code = 0;
}

// A manager's own failure ends the library's work as its fatal errors do.
// The failure is kept in the error manager before this is called, so no frame
// that the jump leaves holds anything with a destructor.
[[noreturn]] void ManagerFailed(j_common_ptr cinfo, int code) {
  cinfo->err->msg_code = code;
  ErrorExit(cinfo);
}

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = true; }

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

// The next chunk into the manager's buffer: its byte count, 0 at the end, or
// -1 when the source failed, its failure kept in the error manager. Reading
// can fail only in the source, which is reported, never thrown, since the
// caller is libjpeg.
long NextChunk(SourceManager& manager) noexcept {
  const size_t count = static_cast<size_t>(std::min<uint64_t>(kChunkBytes, manager.remaining));
  try {
    if (count > 0) manager.source->ReadExact(manager.chunk, count);
  } catch (...) {
    manager.errors->managerFailure = std::current_exception();
    return -1;
  }
  manager.remaining -= count;
  return static_cast<long>(count);
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* manager = reinterpret_cast<SourceManager*>(cinfo->src);
  const long count = NextChunk(*manager);
  if (count < 0) ManagerFailed(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_READ);
  if (count == 0) {
    if (manager->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // A cut-off file ends in a made-up end-of-image marker; the library fills
    // what is missing and the warning is ignored.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    manager->pub.next_input_byte = kEndOfImage;
    manager->pub.bytes_in_buffer = sizeof kEndOfImage;
  } else {
    manager->pub.next_input_byte = manager->chunk;
    manager->pub.bytes_in_buffer = static_cast<size_t>(count);
  }
  manager->startOfFile = false;
  return TRUE;
}

// As the file source manager skips: refill by refill, so a skip past the end
// runs into the substitute end markers exactly as it would there.
void SkipInputData(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* source = cinfo->src;
  if (count <= 0) return;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    FillInputBuffer(cinfo);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// Hands `count` bytes of the chunk to the sink; false when it failed, its
// failure kept in the error manager. Handing bytes on can fail only in the
// sink, which is reported, never thrown, since the caller is libjpeg. A
// buffer that can't grow fails as a memory stream does.
bool HandOn(DestinationManager& destination, size_t count) noexcept {
  try {
    destination.sink->Write(destination.chunk, count);
    return true;
  } catch (const std::bad_alloc&) {
    destination.errors->managerFailure = std::make_exception_ptr(msg::OutOfMemoryExpandingStream());
  } catch (...) {
    destination.errors->managerFailure = std::current_exception();
  }
  return false;
}

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<DestinationManager*>(cinfo->dest);
  destination->pub.next_output_byte = destination->chunk;
  destination->pub.free_in_buffer = kChunkBytes;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  // libjpeg calls this with the whole chunk filled, whatever free_in_buffer says.
  auto* destination = reinterpret_cast<DestinationManager*>(cinfo->dest);
  if (!HandOn(*destination, kChunkBytes)) ManagerFailed(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_WRITE);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<DestinationManager*>(cinfo->dest);
  if (!HandOn(*destination, kChunkBytes - destination->pub.free_in_buffer))
    ManagerFailed(reinterpret_cast<j_common_ptr>(cinfo), JERR_FILE_WRITE);
}

}  // namespace

void InitErrorManager(ErrorManager& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.emit_message = EmitMessage;
  errors.pub.output_message = OutputMessage;
  errors.pub.format_message = FormatNothing;
  errors.pub.reset_error_mgr = ResetErrorManager;
  errors.managerFailure = nullptr;
}

bool RunGuarded(ErrorManager& errors, void (*step)(void*), void* context) {
  // Nothing in this frame changes between setjmp and a longjmp back here.
  if (setjmp(errors.jump) != 0) return false;
  step(context);
  return true;
}

int ShownMessageCode(int code) {
  switch (code) {
    case JERR_ARITH_NOTIMPL: return 1;
    case JERR_BAD_PRECISION: return 13;
    case JERR_IMAGE_TOO_BIG: return 40;
    case JERR_INPUT_EMPTY: return 41;
    case JERR_NO_IMAGE: return 50;
    case JERR_NO_SOI: return 52;
    case JERR_SOF_NO_SOS: return 58;
    case JERR_SOF_UNSUPPORTED: return 59;
    case JERR_UNKNOWN_MARKER: return 67;
    default: return code;
  }
}

void RaiseLibraryFailure(const std::exception_ptr& managerFailure, int messageCode) {
  if (managerFailure) std::rethrow_exception(managerFailure);
  // Without temporary files a request above the memory bound ends as "no
  // backing store": for the user that is running out of memory too.
  if (messageCode == JERR_OUT_OF_MEMORY || messageCode == JERR_NO_BACKING_STORE) throw msg::OutOfMemory();
  throw msg::Jpeg(ShownMessageCode(messageCode));
}

void InitSourceManager(SourceManager& manager, ByteSource& source, uint64_t size, ErrorManager& errors) {
  manager.pub.init_source = InitSource;
  manager.pub.fill_input_buffer = FillInputBuffer;
  manager.pub.skip_input_data = SkipInputData;
  manager.pub.resync_to_restart = jpeg_resync_to_restart;
  manager.pub.term_source = TermSource;
  manager.pub.next_input_byte = nullptr;
  manager.pub.bytes_in_buffer = 0;
  manager.source = &source;
  manager.errors = &errors;
  manager.remaining = size;
  manager.startOfFile = true;
}

void EndSourceEarly(SourceManager& manager) {
  manager.remaining = 0;
  manager.pub.bytes_in_buffer = 0;
}

void InitDestinationManager(DestinationManager& destination, ByteSink& sink, ErrorManager& errors) {
  destination.pub.init_destination = InitDestination;
  destination.pub.empty_output_buffer = EmptyOutputBuffer;
  destination.pub.term_destination = TermDestination;
  destination.pub.next_output_byte = nullptr;
  destination.pub.free_in_buffer = 0;
  destination.sink = &sink;
  destination.errors = &errors;
}

}  // namespace sw::jpeg
