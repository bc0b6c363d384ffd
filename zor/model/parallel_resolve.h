// Resolution of a list's items on two threads, with the result and the reports
// of resolving them one after another.
#pragma once

#include <span>

#include "zor/model/item.h"

namespace ZOR_RAM {

// Resolves every item of items, as ResolveChildren does, with a second thread
// taking items too. First the two threads index the identifiers of homes, the
// distinct lists the items look up (TList::IndexIds), so that look-ups only read those
// indexes. When a home cannot be indexed in full, or a look-up would build an
// index after all, the items are resolved in order on this thread instead.
// What each item reports is held and handed on in item order; when an item
// throws, the items before it keep their reports and its exception is thrown
// again, as in order.
void ResolveChildrenInParallel(const TList& items, std::span<TList* const> homes);

}  // namespace ZOR_RAM
