// Checks of frames, frame holders, signal placements and transmit timings:
// the packing rules of signals in frames.
#include "zor/check/findings.h"
#include "zor/model/ram.h"
#include "zor/network/frame.h"

namespace ZOR_RAM {

bool TNetFrame::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  return err;
}

bool TFrameHolder::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  return err;
}

bool TNetSig::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  return err;
}

bool TTxFrameTiming::Check(uint64_t flags) {
  bool err = false;
  if (flags & kCheckAll) CheckBase(&err, flags);
  return err;
}

}  // namespace ZOR_RAM
