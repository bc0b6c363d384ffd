#include "zor/platform/version_record.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#include <process.h>
#define getpid _getpid
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "zor/interface/version.h"

namespace zor {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

fs::path TempPath(const std::string& name) {
  return fs::path(::testing::TempDir()) / (std::to_string(::getpid()) + "_" + name);
}


TEST(VersionText, Format) {
  const struct {
    int32_t Major, Minor, Release, Build;
    const char* Text;
  } cases[] = {
      {2, 1, 7, 7, "2.1.7.007"},     {2, 1, 7, 1234, "2.1.7.1234"}, {1, 0, 0, 5, "1.0.0.005"},
      {0, 0, 0, 0, "0.0.0.000"},     {3, 12, 0, 99, "3.12.0.099"},  {65535, 65535, 65535, 65535, "65535.65535.65535.65535"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatVersion(c.Major, c.Minor, c.Release, c.Build), c.Text);
}

#ifndef _WIN32
size_t CountOf(const std::string& haystack, const std::string& needle) {
  size_t count = 0;
  for (size_t pos = haystack.find(needle); pos != std::string::npos; pos = haystack.find(needle, pos + 1)) ++count;
  return count;
}

TEST(VersionRecord, MagicIsNotAPlainConstantOfTheCode) {
  // The program links the core statically, so it carries exactly one record.
  const std::string magic = VersionRecordMagic();
  ASSERT_EQ(magic.size(), 16u);
  EXPECT_EQ(CountOf(ReadFile(OwnModulePath()), magic), 1u);
}

// Records anywhere in the file, also split across the 64 KiB read chunks;
// the first record wins; a cut or missing record is not read.
TEST(VersionRecord, ReadFromFile) {
  const std::string magic = VersionRecordMagic();
  const std::string numbers("\x03\x00\x04\x00\x05\x00\x2C\x01", 8);  // 3.4.5.300, little-endian
  const size_t kChunk = 65536;
  const struct {
    std::string Bytes;
    int Build;  // -1: no record
  } cases[] = {
      {magic + numbers, 300},
      {std::string(kChunk - 10, 'x') + magic + numbers + "y", 300},  // magic split
      {std::string(kChunk - 20, 'x') + magic + numbers, 300},        // numbers split
      {std::string(3 * kChunk + 7, 'x') + magic + numbers, 300},
      {magic + std::string(8, '\x01') + magic + numbers, 0x0101},
      {"", -1},
      {std::string(70000, 'x'), -1},
      {magic.substr(0, 15) + std::string(9, '\0'), -1},
      {std::string(kChunk - 20, 'x') + magic + "\x02\x00\x01", -1},  // numbers cut by the end of file
  };
  const fs::path path = TempPath("record.bin");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Bytes.size());
    WriteFile(path, c.Bytes);
    ModuleVersion v;
    ASSERT_EQ(ReadVersionRecord(path, &v), c.Build >= 0);
    if (c.Build == 300) {
      EXPECT_EQ(v.Major, 3);
      EXPECT_EQ(v.Minor, 4);
      EXPECT_EQ(v.Release, 5);
    }
    if (c.Build >= 0) {
      EXPECT_EQ(v.Build, c.Build);
    }
  }
  fs::remove(path);
  ModuleVersion v;
  EXPECT_FALSE(ReadVersionRecord(path, &v));
}
#else
// On Windows the record is the version resource of a module file.
TEST(VersionRecord, ReadFromFile) {
  ModuleVersion v;
  ASSERT_TRUE(ReadVersionRecord(OwnModulePath(), &v));
  EXPECT_EQ(v.Major, 2);
  EXPECT_EQ(v.Minor, 1);
  EXPECT_EQ(v.Release, 7);
  EXPECT_EQ(v.Build, 7);
  const fs::path path = TempPath("record.bin");
  WriteFile(path, "MZ not a module");
  EXPECT_FALSE(ReadVersionRecord(path.string(), &v));
  fs::remove(path);
  EXPECT_FALSE(ReadVersionRecord(path.string(), &v));
}
#endif

TEST(Version, OwnFile) {
  ZorVersion record;
  std::memset(&record, 0xEE, sizeof record);
  ASSERT_EQ(GetDllVersion(&record), &record);
  EXPECT_TRUE(record.valid);
  EXPECT_EQ(record.major, 2);
  EXPECT_EQ(record.minor, 1);
  EXPECT_EQ(record.release, 7);
  EXPECT_EQ(record.build, 7);
  EXPECT_EQ(record.reserved[0] | record.reserved[1] | record.reserved[2], 0);
  EXPECT_EQ(GetDllVersion(nullptr), nullptr);
  EXPECT_STREQ(GetVerStr(), "2.1.7.007");
  EXPECT_STREQ(GetCurrentFileVerStr(), "2.000");
}

#ifdef ZOR_SHARED_LIB_PATH
// Calls the exports of one library file, loaded on its own.
#ifdef _WIN32
struct LoadedLibrary {
  explicit LoadedLibrary(const std::string& path) : Handle(LoadLibraryW(fs::path(path).c_str())) {}
  ~LoadedLibrary() {
    if (Handle) FreeLibrary(Handle);
  }
  template <class F>
  F Get(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(Handle, name)));
  }
  HMODULE Handle;
};
std::string LoadError() { return "error " + std::to_string(GetLastError()); }
// The file's version record: the fixed part of its version resource.
size_t RecordPosition(const std::string& bytes) {
  const std::string key("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0", 30);
  const size_t pos = bytes.find(key);
  return pos == std::string::npos ? pos : bytes.find("\xBD\x04\xEF\xFE", pos);
}
#else
struct LoadedLibrary {
  explicit LoadedLibrary(const std::string& path) : Handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {}
  ~LoadedLibrary() {
    if (Handle) dlclose(Handle);
  }
  template <class F>
  F Get(const char* name) {
    return reinterpret_cast<F>(dlsym(Handle, name));
  }
  void* Handle;
};
std::string LoadError() { return dlerror(); }
size_t RecordPosition(const std::string& bytes) {
  const std::string magic = VersionRecordMagic();
  const size_t pos = bytes.find(magic);
  EXPECT_EQ(bytes.find(magic, pos + 1), std::string::npos) << "the magic must occur only in the record";
  return pos;
}
#endif

void ExpectVersionOf(const std::string& path, bool valid, int32_t build, const char* text) {
  LoadedLibrary lib(path);
  ASSERT_NE(lib.Handle, nullptr) << LoadError();
  auto getDllVersion = lib.Get<ZorVersion* (*)(ZorVersion*)>("_GetDllVersion");
  auto getVerStr = lib.Get<const char* (*)()>("_GetVerStr");
  ASSERT_NE(getDllVersion, nullptr);
  ASSERT_NE(getVerStr, nullptr);
  ZorVersion record;
  std::memset(&record, 0xEE, sizeof record);
  EXPECT_EQ(getDllVersion(&record), &record);
  EXPECT_EQ(record.valid, valid);
  EXPECT_EQ(record.major, valid ? 2 : 0);
  EXPECT_EQ(record.minor, valid ? 1 : 0);
  EXPECT_EQ(record.release, valid ? 7 : 0);
  EXPECT_EQ(record.build, build);
  EXPECT_STREQ(getVerStr(), text);
}

TEST(VersionSharedLibrary, ReportsItsRecord) { ExpectVersionOf(ZOR_SHARED_LIB_PATH, true, 7, "2.1.7.007"); }

TEST(VersionSharedLibrary, FileWithoutRecordIsUnknown) {
  std::string bytes = ReadFile(ZOR_SHARED_LIB_PATH);
  const size_t pos = RecordPosition(bytes);
  ASSERT_NE(pos, std::string::npos);
  bytes[pos] = static_cast<char>(bytes[pos] ^ 0xFF);
  const fs::path copy = TempPath(fs::path(ZOR_SHARED_LIB_PATH).filename().string() + ".norecord");
  WriteFile(copy, bytes);
  ExpectVersionOf(copy.string(), false, 0, "unknown");
  fs::remove(copy);
}
#endif

}  // namespace
}  // namespace zor
