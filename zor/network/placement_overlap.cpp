#include "zor/network/placement_overlap.h"

#include <algorithm>

#include "zor/model/enums.h"

namespace ZOR_RAM {

bool BitWithin(int64_t bit, int64_t first, int64_t count) {
  // bit - first is not negative once bit >= first, and fits an unsigned number.
  return count > 0 && bit >= first &&
         static_cast<uint64_t>(bit) - static_cast<uint64_t>(first) < static_cast<uint64_t>(count);
}

namespace {

bool Multiplexed(const TNetSig* sig) { return sig->Multiplexed == kMuxMultiplexed; }

}  // namespace

bool OverlapsAnotherPlacement(const TZORList<TNetSig>& placements, const TNetSig* p, int64_t offset, int64_t size,
                              int64_t ub) {
  for (const TNetSig* g : placements) {
    if (!g || g == p) continue;
    if (Multiplexed(p) && Multiplexed(g)) continue;
    const int64_t gub = g->UpdateBitOffset;
    if (BitWithin(g->Offset, offset, size) || (gub >= 0 && BitWithin(gub, offset, size)) || (gub >= 0 && gub == ub))
      return true;
  }
  return false;
}

TPlacementOverlaps::TPlacementOverlaps(const TZORList<TNetSig>& placements) {
  for (const TNetSig* g : placements) {
    if (!g) continue;
    const int kind = Multiplexed(g) ? 1 : 0;
    Starts_[kind].push_back(Point{g->Offset, g});
    if (g->UpdateBitOffset >= 0) UpdateBits_[kind].push_back(Point{g->UpdateBitOffset, g});
  }
  const auto byBit = [](const Point& a, const Point& b) { return a.Bit < b.Bit; };
  for (int kind = 0; kind < 2; ++kind) {
    std::sort(Starts_[kind].begin(), Starts_[kind].end(), byBit);
    std::sort(UpdateBits_[kind].begin(), UpdateBits_[kind].end(), byBit);
  }
}

// Whether a point of another placement than self lies in [first, first + count).
// Points of self are passed over; they are few (one per listing of self).
bool TPlacementOverlaps::AnyOtherWithin(const std::vector<Point>& points, int64_t first, int64_t count,
                                        const TNetSig* self) {
  if (count <= 0) return false;
  auto it = std::lower_bound(points.begin(), points.end(), first,
                             [](const Point& point, int64_t bit) { return point.Bit < bit; });
  for (; it != points.end() && BitWithin(it->Bit, first, count); ++it)
    if (it->Sig != self) return true;
  return false;
}

bool TPlacementOverlaps::Overlaps(const TNetSig* p, int64_t offset, int64_t size, int64_t ub) const {
  // A multiplexed placement is compared with the others only.
  for (int kind = 0; kind < (Multiplexed(p) ? 1 : 2); ++kind) {
    if (AnyOtherWithin(Starts_[kind], offset, size, p) || AnyOtherWithin(UpdateBits_[kind], offset, size, p) ||
        (ub >= 0 && AnyOtherWithin(UpdateBits_[kind], ub, 1, p)))
      return true;
  }
  return false;
}

}  // namespace ZOR_RAM
