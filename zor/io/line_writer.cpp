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
// calls are few, small enough that its fresh pages cost little and the first
// piece reaches the disk early.
constexpr size_t kBufferSize = size_t{256} << 10;

// The storage of the save under way; g_lineCursor points into Data. The lines
// go to a file, or (when Text is set) to the end of a text in memory.
struct SaveBuffer {
  explicit SaveBuffer(const std::string& fileName)
      : File(std::make_unique<zor::WriteFileAtomicallyStream>(fileName)),
        Data(std::make_unique_for_overwrite<char[]>(kBufferSize)) {}
  explicit SaveBuffer(std::string* text) : Text(text), Data(std::make_unique_for_overwrite<char[]>(kBufferSize)) {}

  void Write(std::string_view data) {
    if (Text)
      Text->append(data);
    else
      File->Write(data);
  }

  std::unique_ptr<zor::WriteFileAtomicallyStream> File;
  std::string* Text = nullptr;
  std::unique_ptr<char[]> Data;
};

std::unique_ptr<SaveBuffer> g_save;

// Ends the save under way, if any: the cursor no longer points anywhere.
std::unique_ptr<SaveBuffer> TakeSave() {
  g_lineCursor = TLineCursor();
  return std::move(g_save);
}

// Whether text is the closing form of line: line with "/" after its first character.
bool IsClosingFormOf(std::string_view text, std::string_view line) {
  return text.size() == line.size() + 1 && text[0] == line[0] && text[1] == '/' &&
         text.substr(2) == line.substr(1);
}

}  // namespace

TLineCursor g_lineCursor;

namespace {

void Begin(std::unique_ptr<SaveBuffer> save) {
  TakeSave().reset();  // removes the temporary file of an earlier save first
  g_save = std::move(save);
  g_lineCursor.Data = g_save->Data.get();
  g_lineCursor.Capacity = kBufferSize;
}

}  // namespace

void BeginSave(const std::string& fileName) { Begin(std::make_unique<SaveBuffer>(fileName)); }

void BeginSaveToText(std::string* text) {
  text->clear();
  Begin(std::make_unique<SaveBuffer>(text));
}

// Writes out everything before the last line and, for a line longer than the
// buffer, grows it, so that maxSize characters and the line end fit.
char* BeginLineWithRoom(size_t maxSize) {
  if (!g_save) return nullptr;
  SaveBuffer& save = *g_save;
  TLineCursor& cursor = g_lineCursor;
  const size_t size = maxSize + 2;
  save.Write(std::string_view(cursor.Data, cursor.LastStart));
  cursor.Size -= cursor.LastStart;
  std::memmove(cursor.Data, cursor.Data + cursor.LastStart, cursor.Size);
  cursor.LastStart = 0;
  if (cursor.Capacity - cursor.Size < size) {
    const size_t capacity = std::max(cursor.Capacity * 2, cursor.Size + size);
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(data.get(), cursor.Data, cursor.Size);
    save.Data = std::move(data);
    cursor.Data = save.Data.get();
    cursor.Capacity = capacity;
  }
  return cursor.Data + cursor.Size;
}

// EndLine for a line one character longer than the last: joins it to the
// last line when it closes that line's start tag, in place of its CR LF.
void JoinOrAppendLine(char* text, size_t size) {
  TLineCursor& cursor = g_lineCursor;
  if (IsClosingFormOf(std::string_view(text, size), std::string_view(cursor.Data + cursor.LastStart, cursor.LastSize))) {
    std::memmove(text - 2, text, size);
    text -= 2;
    cursor.Size -= 2;
  }
  AppendLineAt(text, size);
}

bool WriteLine(std::string_view text) {
  char* out = BeginLine(text.size());
  if (!out) return false;
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  EndLine(out + text.size());
  return false;
}

bool EndSave() {
  const size_t size = g_lineCursor.Size;
  std::unique_ptr<SaveBuffer> save = TakeSave();
  if (!save) return true;
  save->Write(std::string_view(save->Data.get(), size));
  save->Data.reset();
  if (save->Text) return false;
  std::string error;
  if (!save->File->Commit(&error)) {
    zor::ReportError("ZOR save error: " + error);
    return true;
  }
  return false;
}

void AbandonSave() { TakeSave().reset(); }

}  // namespace zor
