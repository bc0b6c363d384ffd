// The line writer every item's WriteXml goes through. One save at a time
// (process-wide). Lines are gathered in a bounded buffer that goes, one write
// call at a time, to a temporary file renamed over the target at EndSave, so
// a failed save never harms an existing file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zor {

// Starts a save: drops any buffer (and temporary file) left by an earlier
// failed or abandoned save.
void BeginSave(const std::string& fileName);
// Starts a save whose lines replace the contents of *text (no file involved);
// text must outlive the save.
void BeginSaveToText(std::string* text);
// Appends a line; a line that closes the previous start tag joins it
// ("<Name>" then "</Name>" gives "<Name></Name>"). Lines written without a
// save under way are dropped. Always false (success).
bool WriteLine(std::string_view text);
// For writers that format a line in place: room for a line of at most
// maxSize characters. Write the line at the returned pointer, then pass its
// end to EndLine, which appends it as WriteLine does. Null (drop the line)
// when no save is under way.
inline char* BeginLine(size_t maxSize);
inline void EndLine(const char* end);
// Writes out the rest of the lines, each followed by CR LF, and puts the file
// in place. True on failure, after reporting "ZOR save error: " and the reason.
bool EndSave();
// Ends a save without touching the target (removes the temporary file).
void AbandonSave();

// The save buffer as the per-line calls see it (all zero when no save is
// under way). Lines each end in CR LF; the last one stays in the buffer until
// the next is known, because a closing tag joins it. BeginLine and EndLine
// run once per line of a save, so their common paths are inline.
struct TLineCursor {
  char* Data = nullptr;
  size_t Size = 0;  // characters in Data
  size_t Capacity = 0;
  size_t LastStart = 0;  // the last line's text: [LastStart, LastStart + LastSize)
  size_t LastSize = 0;
};
extern TLineCursor g_lineCursor;

// The uncommon paths: writing out a full buffer, joining a closing tag.
char* BeginLineWithRoom(size_t maxSize);
void JoinOrAppendLine(char* text, size_t size);

// Ends the line of size characters at text, the end of the buffer.
inline void AppendLineAt(char* text, size_t size) {
  TLineCursor& cursor = g_lineCursor;
  text[size] = '\r';
  text[size + 1] = '\n';
  cursor.LastStart = cursor.Size;
  cursor.LastSize = size;
  cursor.Size += size + 2;
}

inline char* BeginLine(size_t maxSize) {
  TLineCursor& cursor = g_lineCursor;
  if (cursor.Capacity - cursor.Size >= maxSize + 2) return cursor.Data + cursor.Size;
  return BeginLineWithRoom(maxSize);
}

inline void EndLine(const char* end) {
  TLineCursor& cursor = g_lineCursor;
  char* text = cursor.Data + cursor.Size;
  const size_t size = static_cast<size_t>(end - text);
  if (size == cursor.LastSize + 1 && cursor.LastSize != 0) [[unlikely]] {
    JoinOrAppendLine(text, size);
    return;
  }
  AppendLineAt(text, size);
}

}  // namespace zor
