// libFuzzer target for the BMP reader: any bytes end in a picture or a clean
// catalogue error. A picture read is written again, and that file must read
// back to the same pixels and write out to the same bytes.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/Error.h"
#include "image/bmp/Bmp.h"

namespace {

// Pictures whose pixel store would take more than this are passed over: a
// legal picture of megabytes costs a tenth of a second or more per run under
// the sanitizers (one near the 1 GiB limit, seconds) and crowds out
// everything else. Sizes above the limit still run, since the reader refuses
// them before allocating anything.
constexpr uint64_t kLargestFuzzedStore = uint64_t{64} << 10;

uint32_t Get(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
  return value;
}

// The store the header asks for, as far as the first bytes tell.
uint64_t ClaimedStoreBytes(const uint8_t* data, size_t size) {
  if (size < 26) return 0;
  uint64_t width = 0, height = 0, bits = 0;
  if (Get(data + 14, 4) == 12) {
    width = Get(data + 18, 2);
    height = Get(data + 20, 2);
    bits = Get(data + 24, 2);
  } else {
    if (size < 34) return 0;
    width = static_cast<uint64_t>(std::llabs(static_cast<int32_t>(Get(data + 18, 4))));
    height = static_cast<uint64_t>(std::llabs(static_cast<int32_t>(Get(data + 22, 4))));
    bits = Get(data + 28, 2);
    const uint32_t compression = Get(data + 30, 4);
    if (compression == sw::kBiRle8 || compression == sw::kBiRle4) bits = 32;  // decoded to display pixels
  }
  const uint64_t stride = (width * bits + 31) / 32 * 4;
  if (height != 0 && stride > UINT64_MAX / height) return UINT64_MAX;
  return stride * height;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint64_t claimed = ClaimedStoreBytes(data, size);
  if (claimed > kLargestFuzzedStore && claimed <= sw::kMaxPixelStoreBytes) return 0;

  sw::Picture picture;
  try {
    sw::MemorySource source(data, size);
    sw::ReadBmp(picture, source, size);
  } catch (const sw::Error&) {
    return 0;  // a clean refusal
  }
  // Bit fields without a red mask are written with the default masks, which
  // changes what the pixels mean; everything else keeps its colours.
  const bool masksCompleted =
      picture.IsDib() && picture.Compression() == sw::kBiBitfields && picture.Masks()[0] == 0;

  sw::MemorySink first;
  sw::WriteBmp(picture, first);
  if (picture.IsEmpty()) {
    Check(first.Bytes().empty());
    return 0;
  }
  const std::vector<uint8_t>& bytes = first.Bytes();
  Check(bytes.size() >= 54 && Get(bytes.data() + 2, 4) == bytes.size());

  sw::Picture back;
  sw::MemorySource again(bytes);
  sw::ReadBmp(back, again, bytes.size());  // an error here escapes and is reported
  Check(back.Width() == picture.Width() && back.Height() == picture.Height());
  if (!masksCompleted && static_cast<uint64_t>(picture.Width()) * picture.Height() <= (1u << 16)) {
    for (int32_t y = 0; y < picture.Height(); ++y)
      for (int32_t x = 0; x < picture.Width(); ++x) Check(back.ReadPixel(x, y) == picture.ReadPixel(x, y));
  }
  sw::MemorySink second;
  sw::WriteBmp(back, second);
  Check(second.Bytes() == bytes);
  return 0;
}
