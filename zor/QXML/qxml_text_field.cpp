#include "zor/QXML/qxml_text_field.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <ostream>

#ifdef _WIN32
#include <malloc.h>
#else
#include <sys/mman.h>
#endif

// ---------------------------------------------------------------------------
// Pages

namespace {

constexpr size_t kPageSize = 256 * 1024;

// Pages come straight from the system and go straight back, so that a
// released document returns its memory whatever the heap around it holds.
// Sanitizer builds take pages from the heap, where leaks and stray accesses are seen.
#if defined(_WIN32) || defined(__SANITIZE_ADDRESS__)
#define QXML_PAGES_FROM_HEAP 1
#endif

void* MapPage(size_t bytes) {
#ifdef QXML_PAGES_FROM_HEAP
#ifdef _WIN32
  void* p = _aligned_malloc(bytes, kPageSize);
#else
  void* p = std::aligned_alloc(kPageSize, bytes);
#endif
  if (!p) throw std::bad_alloc();
  return p;
#else
  void* raw = mmap(nullptr, bytes + kPageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) throw std::bad_alloc();
  const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kPageSize - 1) & ~(uintptr_t{kPageSize} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  if (const size_t tail = start + kPageSize - aligned; tail > 0)
    munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  // Pages are filled front to back right away: map them in one call rather
  // than one fault per 4 KiB.
  void* p = mmap(reinterpret_cast<void*>(aligned), bytes, PROT_READ | PROT_WRITE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_POPULATE, -1, 0);
  if (p == MAP_FAILED) {
    munmap(reinterpret_cast<void*>(aligned), bytes);
    throw std::bad_alloc();
  }
  return p;
#endif
}

void UnmapPage(void* page, size_t bytes) {
#ifdef QXML_PAGES_FROM_HEAP
  (void)bytes;
#ifdef _WIN32
  _aligned_free(page);
#else
  std::free(page);
#endif
#else
  munmap(page, bytes);
#endif
}

// The count holds one reference per live allocation plus one for the thread
// that still hands out memory from the page; whoever drops the last one frees it.
struct alignas(16) PageHeader {
  std::atomic<int> refs{1};
  bool arena = false;  // the page belongs to an arena: releases do nothing
  size_t bytes = kPageSize;
};

void Unref(PageHeader* page) {
  if (page->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    const size_t bytes = page->bytes;
    page->~PageHeader();
    UnmapPage(page, bytes);
  }
}

struct PageCursor {
  PageHeader* page = nullptr;
  size_t used = 0;
  void Retire() {
    if (page) Unref(page);
    page = nullptr;
  }
  ~PageCursor() { Retire(); }
};

thread_local PageCursor t_cursor;
thread_local qxml_pages::Arena* t_arena = nullptr;

PageHeader* NewPage(size_t bytes) {
  PageHeader* page = new (MapPage(bytes)) PageHeader;
  page->bytes = bytes;
  return page;
}

}  // namespace

void* qxml_pages::Allocate(size_t size) {
  if (Arena* arena = t_arena) return arena->Allocate(size);
  size = (size + 15) & ~size_t{15};
  const size_t header = sizeof(PageHeader);
  if (header + size > kPageSize / 4) {
    // Large: a page of its own, referenced by this allocation only.
    PageHeader* page = NewPage((header + size + kPageSize - 1) / kPageSize * kPageSize);
    return reinterpret_cast<char*>(page) + header;
  }
  PageCursor& c = t_cursor;
  if (!c.page || c.used + size > kPageSize) {
    c.Retire();
    c.page = NewPage(kPageSize);
    c.used = header;
  }
  void* p = reinterpret_cast<char*>(c.page) + c.used;
  c.used += size;
  c.page->refs.fetch_add(1, std::memory_order_relaxed);
  return p;
}

void qxml_pages::Release(void* p) noexcept {
  if (!p) return;
  PageHeader* page = reinterpret_cast<PageHeader*>(reinterpret_cast<uintptr_t>(p) & ~(uintptr_t{kPageSize} - 1));
  if (!page->arena) Unref(page);
}

// An arena maps regions of whole pages, each page with a header that marks it
// as the arena's; a region's first page also links the regions. Ordinary
// regions grow from one page to kMaxRegionPages, so that a small document maps
// little and a large one makes few calls.
struct qxml_pages::Arena::Region {
  Region* next;
};

namespace {

constexpr size_t kMaxRegionPages = 8;
constexpr size_t kRegionBytes = kMaxRegionPages * kPageSize;
constexpr size_t kRegionHeader = (sizeof(PageHeader) + sizeof(qxml_pages::Arena::Region) + 15) & ~size_t{15};

PageHeader* ArenaPage(void* at, size_t bytes) {
  auto* header = new (at) PageHeader;
  header->arena = true;
  header->bytes = bytes;
  return header;
}

}  // namespace

void qxml_pages::RegionStock::Fill() noexcept {
  if (region_.load() != nullptr) return;
  void* region = nullptr;
  try {
    region = MapPage(kRegionBytes);
  } catch (const std::bad_alloc&) {
    return;  // the arena's thread maps its own
  }
  void* none = nullptr;
  if (!region_.compare_exchange_strong(none, region)) UnmapPage(region, kRegionBytes);
}

qxml_pages::RegionStock::~RegionStock() {
  if (void* region = region_.load()) UnmapPage(region, kRegionBytes);
}

char* qxml_pages::Arena::NewRegion(size_t bytes) {
  void* at = bytes == kRegionBytes && stock_ ? stock_->Take() : nullptr;
  PageHeader* header = ArenaPage(at ? at : MapPage(bytes), bytes);
  regions_ = new (header + 1) Region{regions_};
  return reinterpret_cast<char*>(header);
}

void* qxml_pages::Arena::AllocateSlow(size_t size) {
  if (kRegionHeader + size > kPageSize / 4) {
    // Large: a region of its own; the current page stays in use.
    char* base = NewRegion((kRegionHeader + size + kPageSize - 1) / kPageSize * kPageSize);
    return base + kRegionHeader;
  }
  if (nextPage_ < regionEnd_) {
    next_ = reinterpret_cast<char*>(ArenaPage(nextPage_, kPageSize) + 1);
    end_ = nextPage_ + kPageSize;
    nextPage_ += kPageSize;
  } else {
    regionBytes_ = regionBytes_ == 0 ? kPageSize : std::min(regionBytes_ * 2, kRegionBytes);
    char* base = NewRegion(regionBytes_);
    next_ = base + kRegionHeader;
    end_ = base + kPageSize;
    nextPage_ = base + kPageSize;
    regionEnd_ = base + regionBytes_;
  }
  void* p = next_;
  next_ += size;
  return p;
}

qxml_pages::Arena::~Arena() {
  for (Region* r = regions_; r;) {
    PageHeader* header = reinterpret_cast<PageHeader*>(r) - 1;
    r = r->next;
    UnmapPage(header, header->bytes);
  }
}

qxml_pages::Arena::Scope::Scope(Arena* arena) noexcept : previous_(t_arena) { t_arena = arena; }

qxml_pages::Arena::Scope::~Scope() { t_arena = previous_; }

// ---------------------------------------------------------------------------
// TQXMLString

static_assert(sizeof(TQXMLString) == 8, "a text field is one pointer wide");

// Blocks in an arena go with it and are not counted: sharing such a block
// (the element names of a load) then only reads it, so a thread that reads
// the tree while the parser shares the names does not fight it for the line.
constexpr uint32_t kUncounted = 0x80000000u;

TQXMLString::TQXMLString(const TQXMLString& other) noexcept : block_(other.block_) {
  if (!IsInline() && block_ && block_->refs.load(std::memory_order_relaxed) < kUncounted)
    block_->refs.fetch_add(1, std::memory_order_relaxed);
}

TQXMLString& TQXMLString::operator=(const TQXMLString& other) noexcept {
  if (this != &other) {
    TQXMLString copy(other);
    Drop();
    block_ = copy.block_;
    copy.block_ = nullptr;
  }
  return *this;
}

void TQXMLString::Drop() noexcept {
  if (IsInline() || !block_) return;
  if (block_->refs.load(std::memory_order_relaxed) >= kUncounted) return;
  if (block_->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  if (block_->paged)
    qxml_pages::Release(block_);
  else
    std::free(block_);
}

void TQXMLString::Assign(std::string_view text, bool paged) {
  // Build the new value first: text may point into the current one.
  TQXMLString next;
  if (text.size() > 0x7FFFFFFF) throw std::length_error("text too long");
  if (text.empty()) {
  } else if (text.size() <= kInlineMax) {
    std::memset(next.u_.bytes, 0, sizeof next.u_.bytes);
    next.u_.bytes[0] = static_cast<char>((text.size() << 1) | 1);
    std::memcpy(next.u_.bytes + 1, text.data(), text.size());
  } else {
    const size_t bytes = offsetof(Block, text) + text.size() + 1;
    void* p = paged ? qxml_pages::Allocate(bytes) : std::malloc(bytes);
    if (!p) throw std::bad_alloc();
    Block* b = static_cast<Block*>(p);
    new (&b->refs) std::atomic<uint32_t>(paged && t_arena ? kUncounted : 1);
    b->size = static_cast<uint32_t>(text.size()) & 0x7FFFFFFF;
    b->paged = paged ? 1 : 0;
    std::memcpy(b->text, text.data(), text.size());
    b->text[text.size()] = '\0';
    next.block_ = b;
  }
  Drop();
  block_ = next.block_;
  next.block_ = nullptr;
}

void TQXMLString::assign(std::string_view text) { Assign(text, /*paged=*/false); }

void TQXMLString::AssignPaged(std::string_view text) { Assign(text, /*paged=*/true); }

TQXMLString& TQXMLString::operator+=(std::string_view text) {
  if (!text.empty()) assign(Concat(view(), text));
  return *this;
}

std::string TQXMLString::Concat(std::string_view a, std::string_view b) {
  std::string out;
  out.reserve(a.size() + b.size());
  out.append(a);
  out.append(b);
  return out;
}

std::ostream& operator<<(std::ostream& out, const TQXMLString& text) { return out << text.view(); }

// ---------------------------------------------------------------------------
// TQXMLStrings

const std::vector<std::string>& TQXMLStrings::Empty() noexcept {
  static const std::vector<std::string> empty;
  return empty;
}

TQXMLStrings& TQXMLStrings::operator=(const TQXMLStrings& other) {
  if (this != &other) *this = other.Get();
  return *this;
}

TQXMLStrings& TQXMLStrings::operator=(const std::vector<std::string>& lines) {
  if (lines.empty())
    clear();
  else
    Use() = lines;
  return *this;
}

TQXMLStrings& TQXMLStrings::operator=(std::initializer_list<std::string> lines) {
  return *this = std::vector<std::string>(lines);
}

void TQXMLStrings::swap(std::vector<std::string>& lines) {
  if (lines.empty() && !list_) return;
  Use().swap(lines);
  if (list_->empty()) clear();
}
