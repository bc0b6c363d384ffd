// Compact text and text-list fields of the XML node tree, and the page
// allocator behind nodes and loaded texts.
//
// A node of a large document carries several texts and lists that are mostly
// short or empty, so each field is one pointer wide: TQXMLString keeps up to
// six characters inside itself and longer texts in a shared, immutable,
// reference-counted block; TQXMLStrings creates its list on first use.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "zor/zor.h"

// Memory handed out from 256 KiB pages. A page returns to the system when its
// last allocation is released, so building and freeing large trees costs no
// general-purpose allocation per node or text. Any thread may release.
namespace qxml_pages {
ZOR_API void* Allocate(size_t size);
ZOR_API void Release(void* p) noexcept;

// Regions of an arena mapped ahead by another thread, so that the thread that
// fills the arena does not wait for the system to supply their pages. Holds
// at most one region; what it holds when destroyed is unmapped.
class ZOR_API RegionStock {
 public:
  RegionStock() = default;
  RegionStock(const RegionStock&) = delete;
  RegionStock& operator=(const RegionStock&) = delete;
  ~RegionStock();

  // Maps a full-size region unless one is waiting; for the one other thread.
  // Without memory to be had, does nothing.
  void Fill() noexcept;
  // The waiting region, or null; for the arena's thread.
  void* Take() noexcept { return region_.exchange(nullptr); }

 private:
  std::atomic<void*> region_{nullptr};
};

// Pages that are let go all at once. While an arena is installed on a thread,
// Allocate on that thread takes memory from it without counting allocations,
// and Release of that memory does nothing: the arena returns its pages to the
// system when it is destroyed, so nothing may use its memory after that.
class ZOR_API Arena {
 public:
  Arena() = default;
  Arena(const Arena&) = delete;
  Arena& operator=(const Arena&) = delete;
  ~Arena();

  // Installs an arena (or, with null, none) on this thread for the scope's life.
  class ZOR_API Scope {
   public:
    explicit Scope(Arena* arena) noexcept;
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope();

   private:
    Arena* previous_;
  };

  // Full-size regions are taken from stock while it holds one (null: none).
  void SetStock(RegionStock* stock) noexcept { stock_ = stock; }

  void* Allocate(size_t size) {
    size = (size + 15) & ~size_t{15};
    if (size > static_cast<size_t>(end_ - next_)) return AllocateSlow(size);
    void* p = next_;
    next_ += size;
    return p;
  }

  struct Region;

 private:
  void* AllocateSlow(size_t size);
  char* NewRegion(size_t bytes);

  char* nextPage_ = nullptr;  // next unused page of the newest region
  char* regionEnd_ = nullptr;
  size_t regionBytes_ = 0;    // size of the newest ordinary region
  Region* regions_ = nullptr;  // newest first
  char* next_ = nullptr;       // free space in the current page
  char* end_ = nullptr;
  RegionStock* stock_ = nullptr;
};
}  // namespace qxml_pages

// Text field: behaves as a read-only std::string that can be reassigned.
class ZOR_API TQXMLString {
 public:
  TQXMLString() noexcept = default;
  TQXMLString(const TQXMLString& other) noexcept;  // shares the block
  TQXMLString& operator=(const TQXMLString& other) noexcept;
  TQXMLString& operator=(std::string_view text) {
    assign(text);
    return *this;
  }
  TQXMLString& operator=(const std::string& text) { return *this = std::string_view(text); }
  TQXMLString& operator=(const char* text) { return *this = std::string_view(text ? text : ""); }
  ~TQXMLString() { Drop(); }

  size_t size() const noexcept { return IsInline() ? static_cast<size_t>(u_.bytes[0] >> 1) : block_ ? block_->size : 0; }
  size_t length() const noexcept { return size(); }
  bool empty() const noexcept { return block_ == nullptr; }
  // Zero-terminated.
  const char* data() const noexcept { return IsInline() ? u_.bytes + 1 : block_ ? block_->text : ""; }
  const char* c_str() const noexcept { return data(); }
  const char* begin() const noexcept { return data(); }
  const char* end() const noexcept { return data() + size(); }
  char operator[](size_t i) const noexcept { return data()[i]; }

  std::string_view view() const noexcept { return std::string_view(data(), size()); }
  operator std::string_view() const noexcept { return view(); }
  operator std::string() const { return std::string(view()); }
  std::string str() const { return std::string(view()); }

  void clear() noexcept {
    Drop();
    block_ = nullptr;
  }
  void assign(std::string_view text);
  void assign(const char* text, size_t size) { assign(std::string_view(text, size)); }
  TQXMLString& operator+=(std::string_view text);
  TQXMLString& operator+=(char c) { return *this += std::string_view(&c, 1); }

  // Stores text in a block taken from the pages; for the reader, whose texts
  // are written once and released with the tree.
  void AssignPaged(std::string_view text);

  friend bool operator==(const TQXMLString& a, std::string_view b) noexcept { return a.view() == b; }
  friend bool operator==(const TQXMLString& a, const TQXMLString& b) noexcept { return a.view() == b.view(); }
  friend std::string operator+(const TQXMLString& a, std::string_view b) { return Concat(a.view(), b); }
  friend std::string operator+(const TQXMLString& a, const char* b) { return Concat(a.view(), b); }
  friend std::string operator+(const TQXMLString& a, const std::string& b) { return Concat(a.view(), b); }
  friend std::string operator+(std::string_view a, const TQXMLString& b) { return Concat(a, b.view()); }
  friend std::string operator+(const char* a, const TQXMLString& b) { return Concat(a, b.view()); }
  friend std::string operator+(const std::string& a, const TQXMLString& b) { return Concat(a, b.view()); }

 private:
  static constexpr size_t kInlineMax = 6;  // one tag byte, six characters, a zero

  struct Block {
    std::atomic<uint32_t> refs;
    uint32_t size : 31;
    uint32_t paged : 1;
    char text[1];
  };

  static std::string Concat(std::string_view a, std::string_view b);
  bool IsInline() const noexcept { return (u_.bytes[0] & 1) != 0; }
  void Drop() noexcept;
  void Assign(std::string_view text, bool paged);

  // Little-endian layout: an inline text sets the lowest bit of the first
  // byte (a block pointer is 8-aligned and never does).
  union {
    Block* block_ = nullptr;
    struct {
      char bytes[8];
    } u_;
  };
};

ZOR_API std::ostream& operator<<(std::ostream& out, const TQXMLString& text);

// List-of-texts field: behaves as a std::vector<std::string> that holds no
// storage while it is empty.
class ZOR_API TQXMLStrings {
 public:
  using value_type = std::string;
  using const_iterator = std::vector<std::string>::const_iterator;
  using iterator = const_iterator;

  TQXMLStrings() noexcept = default;
  TQXMLStrings(const TQXMLStrings& other) { *this = other; }
  TQXMLStrings& operator=(const TQXMLStrings& other);
  TQXMLStrings& operator=(const std::vector<std::string>& lines);
  TQXMLStrings& operator=(std::initializer_list<std::string> lines);

  size_t size() const noexcept { return list_ ? list_->size() : 0; }
  bool empty() const noexcept { return !list_ || list_->empty(); }
  const std::string& operator[](size_t i) const { return (*list_)[i]; }
  std::string& operator[](size_t i) { return (*list_)[i]; }
  const_iterator begin() const noexcept { return Get().begin(); }
  const_iterator end() const noexcept { return Get().end(); }
  const std::string& back() const { return list_->back(); }
  void push_back(std::string line) { Use().push_back(std::move(line)); }
  template <class... Args>
  std::string& emplace_back(Args&&... args) {
    return Use().emplace_back(std::forward<Args>(args)...);
  }
  void erase(const_iterator at) { list_->erase(at); }
  // Releases the storage.
  void clear() noexcept { list_.reset(); }
  void swap(std::vector<std::string>& lines);

  const std::vector<std::string>& Get() const noexcept { return list_ ? *list_ : Empty(); }
  operator const std::vector<std::string>&() const noexcept { return Get(); }
  friend bool operator==(const TQXMLStrings& a, const std::vector<std::string>& b) { return a.Get() == b; }

 private:
  static const std::vector<std::string>& Empty() noexcept;
  std::vector<std::string>& Use() {
    if (!list_) list_ = std::make_unique<std::vector<std::string>>();
    return *list_;
  }

  std::unique_ptr<std::vector<std::string>> list_;
};
