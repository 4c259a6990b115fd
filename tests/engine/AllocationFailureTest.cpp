// Resizes whose working memory the platform refuses: each ends with the
// out-of-memory error, on every thread it started, and leaves the picture as
// it was. The refusal comes from this test program's own operator new, which
// fails every request from a given size while a test asks it to.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>

#include "QuietHost.h"
#include "core/Error.h"
#include "image/picture/Picture.h"
#include "image/resize/Resampler.h"

namespace {

std::atomic<std::size_t> refusedFrom{std::numeric_limits<std::size_t>::max()};

}  // namespace

void* operator new(std::size_t size) {
  if (size >= refusedFrom.load(std::memory_order_relaxed)) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace sw {
namespace {

// Requests of `bytes` and more fail while it lives.
class RefusedAllocations {
 public:
  explicit RefusedAllocations(std::size_t bytes) { refusedFrom.store(bytes); }
  ~RefusedAllocations() { refusedFrom.store(std::numeric_limits<std::size_t>::max()); }
};

Picture Striped(int32_t width, int32_t height) {
  Picture picture = Picture::CreateDisplayCompatible(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) picture.WritePixel(x, y, static_cast<uint32_t>(x * 7 + y * 131) & 0xFFFFFF);
  return picture;
}

TEST(AllocationFailure, TablesRefusedAreOutOfMemoryWhateverTheDestinationsSize) {
  // The destinations: one small, one large enough for its pages to be
  // brought in ahead of the rows on a thread of their own; the column tables
  // of either need more than the refused size.
  for (int32_t height : {1, 8}) {
    SCOPED_TRACE(height);
    Picture picture = Striped(12000, height);
    const ColorValue corner = picture.ReadPixel(0, 0);
    test::QuietHost host;
    ErrorKind kind{};
    std::string text;
    {
      RefusedAllocations refused(64 * 1024);
      try {
        ResizeBitmap(picture, 2.0f, 2.0f, host);
      } catch (const Error& error) {
        kind = error.Kind();
        text = error.Text();
      }
    }
    EXPECT_EQ(text, "Out of memory");
    EXPECT_EQ(kind, ErrorKind::Memory);
    EXPECT_EQ(picture.Width(), 12000);
    EXPECT_EQ(picture.ReadPixel(0, 0), corner);

    // The same resize with the memory granted.
    ResizeBitmap(picture, 2.0f, 2.0f, host);
    EXPECT_EQ(picture.Width(), 24000);
  }
}

}  // namespace
}  // namespace sw
