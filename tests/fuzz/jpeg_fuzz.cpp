// libFuzzer target: any bytes as a JPEG file, through the load's header check
// and the copy's decode into a working image, as Browse reads a picture.

#include <cstddef>
#include <cstdint>

#include "core/Error.h"
#include "image/jpeg/JpegCodec.h"
#include "image/picture/Picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    uint64_t pixels = 0;
    if (size > 0) {
      const sw::jpeg::HeaderInfo header = sw::jpeg::ReadHeader(data, size);
      pixels = uint64_t{header.width} * header.height;
      // Decoding time grows with the size a header claims; big pictures and
      // the pixel store limit are covered by the unit tests.
      if (pixels > (uint64_t{1} << 22)) return 0;
    }
    sw::Picture work;
    work = sw::jpeg::Decode(data, size, false);
    if (pixels <= 65536) {
      // The 8-bit paths (quantizers, palettes) and a save of what came out.
      const sw::Picture quantized = sw::jpeg::Decode(data, size, true);
      (void)sw::jpeg::Encode(&quantized, (size & 1) != 0);
      (void)sw::jpeg::Encode(&work, false);
    }
  } catch (const sw::Error&) {
    // A clean failure is the expected outcome for most inputs.
  }
  return 0;
}
