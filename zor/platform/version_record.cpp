#include "zor/platform/version_record.h"

#include <dlfcn.h>
#include <link.h>

#include <array>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "zor/platform/version_numbers.h"

namespace zor {
namespace {

// The file version of this build.
constexpr uint16_t kMajor = ZOR_FILE_VERSION_MAJOR;
constexpr uint16_t kMinor = ZOR_FILE_VERSION_MINOR;
constexpr uint16_t kRelease = ZOR_FILE_VERSION_RELEASE;
constexpr uint16_t kBuild = ZOR_FILE_VERSION_BUILD;

constexpr std::size_t kMagicSize = 16;
constexpr unsigned char kMaskByte = 0x5A;

using MagicBytes = std::array<unsigned char, kMagicSize>;

constexpr MagicBytes Masked(const char (&text)[kMagicSize + 1]) {
  MagicBytes out{};
  for (std::size_t i = 0; i < kMagicSize; ++i) out[i] = static_cast<unsigned char>(text[i]) ^ kMaskByte;
  return out;
}

// The magic, masked. Only the record below holds it in plain form; the
// search pattern is unmasked at run time through a volatile key, so the
// compiler cannot fold it into a second plain copy in the program text.
constexpr MagicBytes kMaskedMagic = Masked("\x7FZORversion\x01\xA5\r\n\x1A");
volatile unsigned char g_maskKey = kMaskByte;

// Magic, then the four numbers as 16-bit little-endian values.
struct Record {
  unsigned char Magic[kMagicSize];
  unsigned char Numbers[8];
};
constexpr std::size_t kRecordSize = sizeof(Record);
static_assert(kRecordSize == kMagicSize + 8);

constexpr Record MakeRecord() {
  Record r{};
  for (std::size_t i = 0; i < kMagicSize; ++i) r.Magic[i] = kMaskedMagic[i] ^ kMaskByte;
  const uint16_t numbers[4] = {kMajor, kMinor, kRelease, kBuild};
  for (std::size_t i = 0; i < 4; ++i) {
    r.Numbers[2 * i] = static_cast<unsigned char>(numbers[i] & 0xFF);
    r.Numbers[2 * i + 1] = static_cast<unsigned char>(numbers[i] >> 8);
  }
  return r;
}

// Kept in its own section and marked used: nothing refers to it in memory,
// it is only ever read from the file. Not const: the debug information of a
// constant carries its value, which would be a second copy of the magic.
[[gnu::used, gnu::section(".zor_version")]] constinit Record g_versionRecord = MakeRecord();

constexpr std::size_t kChunkSize = 64 * 1024;

uint16_t ReadLittleEndian16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void AddressInThisModule() {}

}  // namespace

std::string VersionRecordMagic() {
  const unsigned char key = g_maskKey;
  std::string magic(kMagicSize, '\0');
  for (std::size_t i = 0; i < kMagicSize; ++i) magic[i] = static_cast<char>(kMaskedMagic[i] ^ key);
  return magic;
}

bool ReadVersionRecord(const std::string& path, ModuleVersion* version) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return false;
  const std::string magic = VersionRecordMagic();

  // Scan the file in chunks; the window keeps the bytes that may still begin
  // a record: a partial magic at its end, or a magic whose numbers have not
  // been read yet.
  std::vector<char> window;
  std::vector<char> chunk(kChunkSize);
  for (;;) {
    const std::size_t n = std::fread(chunk.data(), 1, chunk.size(), file.get());
    if (n == 0) return false;  // end of file or read error
    window.insert(window.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
    const std::size_t pos = std::string_view(window.data(), window.size()).find(magic);
    if (pos != std::string_view::npos) {
      if (window.size() - pos >= kRecordSize) {
        const auto* numbers = reinterpret_cast<const unsigned char*>(window.data() + pos + kMagicSize);
        version->Major = ReadLittleEndian16(numbers);
        version->Minor = ReadLittleEndian16(numbers + 2);
        version->Release = ReadLittleEndian16(numbers + 4);
        version->Build = ReadLittleEndian16(numbers + 6);
        return true;
      }
      window.erase(window.begin(), window.begin() + static_cast<std::ptrdiff_t>(pos));
    } else if (window.size() >= kMagicSize) {
      window.erase(window.begin(), window.end() - static_cast<std::ptrdiff_t>(kMagicSize - 1));
    }
  }
}

std::string OwnModulePath() {
  Dl_info info{};
  link_map* map = nullptr;
  if (!dladdr1(reinterpret_cast<void*>(&AddressInThisModule), &info, reinterpret_cast<void**>(&map),
               RTLD_DL_LINKMAP)) {
    return {};
  }
  // The program itself has an empty name in the link map; its file is
  // reached through /proc rather than argv[0], which may be relative.
  if (map && map->l_name && map->l_name[0] == '\0') return "/proc/self/exe";
  return info.dli_fname ? info.dli_fname : "";
}

bool ReadOwnVersionRecord(ModuleVersion* version) {
  const std::string path = OwnModulePath();
  return !path.empty() && ReadVersionRecord(path, version);
}

}  // namespace zor
