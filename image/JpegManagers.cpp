#include "image/JpegManagers.h"

#include <algorithm>
#include <cstdlib>

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

void InitSource(j_decompress_ptr cinfo) { reinterpret_cast<SourceManager*>(cinfo->src)->startOfFile = true; }

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<SourceManager*>(cinfo->src);
  const size_t count = std::min(kChunkBytes, source->size - source->position);
  if (count == 0) {
    if (source->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    // A cut-off file ends in a made-up end-of-image marker; the library fills
    // what is missing and the warning is ignored.
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->pub.next_input_byte = kEndOfImage;
    source->pub.bytes_in_buffer = sizeof kEndOfImage;
  } else {
    source->pub.next_input_byte = source->data + source->position;
    source->pub.bytes_in_buffer = count;
    source->position += count;
  }
  source->startOfFile = false;
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

// Appending can fail only for want of memory; that is reported, never thrown,
// since the caller is libjpeg.
bool Append(std::vector<uint8_t>& bytes, const JOCTET* data, size_t count) noexcept {
  try {
    bytes.insert(bytes.end(), data, data + count);
    return true;
  } catch (...) {
    return false;
  }
}

[[noreturn]] void GrowthFailed(j_compress_ptr cinfo) {
  reinterpret_cast<DestinationManager*>(cinfo->dest)->errors->streamGrowthFailed = true;
  ERREXIT(cinfo, JERR_FILE_WRITE);
  std::abort();  // ERREXIT does not return
}

void InitDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<DestinationManager*>(cinfo->dest);
  destination->pub.next_output_byte = destination->chunk;
  destination->pub.free_in_buffer = kChunkBytes;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<DestinationManager*>(cinfo->dest);
  // libjpeg calls this with the whole chunk filled, whatever free_in_buffer says.
  if (!Append(*destination->bytes, destination->chunk, kChunkBytes)) GrowthFailed(cinfo);
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* destination = reinterpret_cast<DestinationManager*>(cinfo->dest);
  const size_t count = kChunkBytes - destination->pub.free_in_buffer;
  if (!Append(*destination->bytes, destination->chunk, count)) GrowthFailed(cinfo);
}

}  // namespace

void InitErrorManager(ErrorManager& errors) {
  jpeg_std_error(&errors.pub);
  errors.pub.error_exit = ErrorExit;
  errors.pub.emit_message = EmitMessage;
  errors.pub.output_message = OutputMessage;
  errors.pub.format_message = FormatNothing;
  errors.pub.reset_error_mgr = ResetErrorManager;
  errors.streamGrowthFailed = false;
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

Error LibraryFailure(const ErrorManager& errors) {
  if (errors.streamGrowthFailed) return msg::OutOfMemoryExpandingStream();
  const int code = errors.pub.msg_code;
  // Without temporary files a request above the memory bound ends as "no
  // backing store": for the user that is running out of memory too.
  if (code == JERR_OUT_OF_MEMORY || code == JERR_NO_BACKING_STORE) return msg::OutOfMemory();
  return msg::Jpeg(ShownMessageCode(code));
}

void InitSourceManager(SourceManager& source, const uint8_t* data, size_t size) {
  source.pub.init_source = InitSource;
  source.pub.fill_input_buffer = FillInputBuffer;
  source.pub.skip_input_data = SkipInputData;
  source.pub.resync_to_restart = jpeg_resync_to_restart;
  source.pub.term_source = TermSource;
  source.pub.next_input_byte = nullptr;
  source.pub.bytes_in_buffer = 0;
  source.data = data;
  source.size = data == nullptr ? 0 : size;
  source.position = 0;
  source.startOfFile = true;
}

void EndSourceEarly(SourceManager& source) {
  source.position = source.size;
  source.pub.bytes_in_buffer = 0;
}

void InitDestinationManager(DestinationManager& destination, std::vector<uint8_t>& bytes, ErrorManager& errors) {
  destination.pub.init_destination = InitDestination;
  destination.pub.empty_output_buffer = EmptyOutputBuffer;
  destination.pub.term_destination = TermDestination;
  destination.pub.next_output_byte = nullptr;
  destination.pub.free_in_buffer = 0;
  destination.bytes = &bytes;
  destination.errors = &errors;
}

}  // namespace sw::jpeg
