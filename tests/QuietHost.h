#pragma once
// A resize host that shows nothing and never stops: for the tests, the fuzz
// targets and the benchmarks that only want the resized picture.

#include "image/resize/ResizeHost.h"

namespace sw::test {

class QuietHost : public ResizeHost {
 public:
  void RowDone(int) override {}
  bool ShouldStop() override { return false; }
  void RowsDone() override {}
};

}  // namespace sw::test
