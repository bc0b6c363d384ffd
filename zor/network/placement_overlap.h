// Whether the placements of a frame overlap: another placement starts, or has
// its update bit, within a placement's bits, or shares its update bit. Two
// multiplexed placements never overlap (they take turns in the frame).
#pragma once

#include <cstdint>
#include <vector>

#include "zor/network/frame.h"

namespace ZOR_RAM {

// Whether bit lies in [first, first + count); no overflow for any values.
bool BitWithin(int64_t bit, int64_t first, int64_t count);

// Whether a placement of the list other than p (the same pointer listed again
// included) overlaps p's bits [offset, offset + size) or its update bit ub
// (none when negative). Scans the list: for short frames.
bool OverlapsAnotherPlacement(const TZORList<TNetSig>& placements, const TNetSig* p, int64_t offset, int64_t size,
                              int64_t ub);

// The same answers from the placements' bits sorted once, for long frames:
// each question costs a binary search.
class TPlacementOverlaps {
 public:
  explicit TPlacementOverlaps(const TZORList<TNetSig>& placements);
  bool Overlaps(const TNetSig* p, int64_t offset, int64_t size, int64_t ub) const;

 private:
  struct Point {
    int64_t Bit;
    const TNetSig* Sig;
  };
  static bool AnyOtherWithin(const std::vector<Point>& points, int64_t first, int64_t count, const TNetSig* self);

  // Start bits and update bits (those not negative), sorted by bit; [0] of
  // placements that are not multiplexed, [1] of multiplexed ones.
  std::vector<Point> Starts_[2];
  std::vector<Point> UpdateBits_[2];
};

}  // namespace ZOR_RAM
