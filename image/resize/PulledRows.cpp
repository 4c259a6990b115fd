#include "image/resize/PulledRows.h"

#include <algorithm>
#include <stdexcept>

namespace sw {

PulledRows::PulledRows(RowStream& stream, const ResizePlan& sizes, RowSpan span)
    : stream_(stream),
      sizes_(sizes),
      read_(sizes, span),
      // Not cleared: every row is decoded into its place before it is read.
      places_(new uint8_t[kPlaces * std::max<size_t>(stream.Form().bytes, 1)]) {}

uint8_t* PulledRows::PlaceOf(int32_t row) const {
  const size_t bytes = std::max<size_t>(stream_.Form().bytes, 1);
  for (size_t i = 0; i < kPlaces; ++i)
    if (rowIn_[i] == row) return places_.get() + i * bytes;
  for (size_t i = 0; i < kPlaces; ++i) {
    if (rowIn_[i] < released_) {
      rowIn_[i] = row;
      return places_.get() + i * bytes;
    }
  }
  throw std::logic_error("more source rows kept than a row reads");
}

const uint8_t* PulledRows::StoredRow(int32_t row) const {
  while (stream_.RowsRead() <= row) {
    const int32_t next = stream_.RowsRead();
    if (next == row || read_.Includes(next)) {
      stream_.NextRow(PlaceOf(next));
    } else if (stream_.PassesOverFree()) {
      stream_.PassOverTo(static_cast<int32_t>(std::min<int64_t>(read_.NextFrom(next), row)));
    } else {
      stream_.NextRow(nullptr);
    }
  }
  for (size_t i = 0; i < kPlaces; ++i)
    if (rowIn_[i] == row) return places_.get() + i * std::max<size_t>(stream_.Form().bytes, 1);
  throw std::logic_error("a source row read that was passed over");
}

void PulledRows::ReadRow(int32_t row, ColorValue* colors) const {
  stream_.Form().Decode(StoredRow(row), 0, Width(), colors);
}

ColorValue PulledRows::ReadPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return kColorOutside;
  ColorValue color;
  stream_.Form().Decode(StoredRow(y), x, 1, &color);
  return color;
}

}  // namespace sw
