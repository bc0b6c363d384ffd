#include "zor/io/line_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "zor/io/messages.h"
#include "zor/platform/file_util.h"

namespace zor {

namespace {

// What the buffer holds before it is written out: large enough that write
// calls are few, small enough not to add to the peak memory of a save.
constexpr size_t kBufferSize = size_t{1} << 20;

// Lines each followed by CR LF. The last line stays in the buffer until the
// next line is known, because a closing tag joins it.
struct SaveBuffer {
  explicit SaveBuffer(const std::string& fileName)
      : File(fileName), Data(std::make_unique_for_overwrite<char[]>(kBufferSize)) {}

  zor::WriteFileAtomicallyStream File;
  std::unique_ptr<char[]> Data;
  size_t Capacity = kBufferSize;
  size_t Size = 0;
  size_t LastStart = 0;  // the last line's text: [LastStart, LastStart + LastSize)
  size_t LastSize = 0;
};

std::unique_ptr<SaveBuffer> g_save;

// Whether text is the closing form of line: line with "/" after its first character.
bool IsClosingFormOf(std::string_view text, std::string_view line) {
  return text.size() == line.size() + 1 && text[0] == line[0] && text[1] == '/' &&
         text.substr(2) == line.substr(1);
}

// Writes out everything before the last line and, for a line longer than the
// buffer, grows it, so that `size` more characters fit.
void MakeRoom(SaveBuffer& save, size_t size) {
  save.File.Write(std::string_view(save.Data.get(), save.LastStart));
  save.Size -= save.LastStart;
  std::memmove(save.Data.get(), save.Data.get() + save.LastStart, save.Size);
  save.LastStart = 0;
  if (save.Capacity - save.Size >= size) return;
  size_t capacity = std::max(save.Capacity * 2, save.Size + size);
  auto data = std::make_unique_for_overwrite<char[]>(capacity);
  std::memcpy(data.get(), save.Data.get(), save.Size);
  save.Data = std::move(data);
  save.Capacity = capacity;
}

// Ends the line of `size` characters at text, the end of the buffer.
void AppendLine(SaveBuffer& save, char* text, size_t size) {
  save.LastStart = save.Size;
  save.LastSize = size;
  text[size] = '\r';
  text[size + 1] = '\n';
  save.Size += size + 2;
}

// As AppendLine, but joins the line to the last one when it closes that
// line's start tag. Kept apart so that the common path stays short.
[[gnu::noinline]] void JoinOrAppend(SaveBuffer& save, char* text, size_t size) {
  if (IsClosingFormOf(std::string_view(text, size),
                      std::string_view(save.Data.get() + save.LastStart, save.LastSize))) {
    // Joins the start tag on its line, in place of that line's CR LF.
    std::memmove(text - 2, text, size);
    text -= 2;
    save.Size -= 2;
  }
  AppendLine(save, text, size);
}

}  // namespace

void BeginSave(const std::string& fileName) {
  g_save.reset();  // removes the temporary file of an earlier save first
  g_save = std::make_unique<SaveBuffer>(fileName);
}

char* BeginLine(size_t maxSize) {
  if (!g_save) return nullptr;
  SaveBuffer& save = *g_save;
  if (save.Capacity - save.Size < maxSize + 2) MakeRoom(save, maxSize + 2);
  return save.Data.get() + save.Size;
}

void EndLine(const char* end) {
  SaveBuffer& save = *g_save;
  char* text = save.Data.get() + save.Size;
  const size_t size = static_cast<size_t>(end - text);
  if (size == save.LastSize + 1 && save.LastSize != 0) [[unlikely]] {
    JoinOrAppend(save, text, size);
    return;
  }
  AppendLine(save, text, size);
}

bool WriteLine(std::string_view text) {
  char* out = BeginLine(text.size());
  if (!out) return false;
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  EndLine(out + text.size());
  return false;
}

bool EndSave() {
  if (!g_save) return true;
  std::unique_ptr<SaveBuffer> save = std::move(g_save);
  save->File.Write(std::string_view(save->Data.get(), save->Size));
  save->Data.reset();
  std::string error;
  if (!save->File.Commit(&error)) {
    zor::ReportError("ZOR save error: " + error);
    return true;
  }
  return false;
}

void AbandonSave() { g_save.reset(); }

}  // namespace zor
