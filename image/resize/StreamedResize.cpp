#include "image/resize/StreamedResize.h"

#include "image/resize/DecodedRows.h"

namespace sw {

bool ResizeStream(RowStream& stream, const ResizePlan& sizes, OutputRows rows, RowSink& sink, ResizeHost& host) {
  constexpr ResizeCore::Company company = ResizeCore::Company::kBesideCodecs;
  DecodedRows source(stream, sizes, ResizeCore::RowsInFlight(sizes, company));
  {
    // The core goes first: its threads read the decoded rows.
    ResizeCore core(sizes, source.Rows(), rows, company);
    if (!DriveRows(core, &sink, host)) return false;
  }
  source.Finish();
  return true;
}

}  // namespace sw
