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
// Appends a line; a line that closes the previous start tag joins it
// ("<Name>" then "</Name>" gives "<Name></Name>"). Lines written without a
// save under way are dropped. Always false (success).
bool WriteLine(std::string_view text);
// For writers that format a line in place: room for a line of at most
// maxSize characters. Write the line at the returned pointer, then pass its
// end to EndLine, which appends it as WriteLine does. Null (drop the line)
// when no save is under way.
char* BeginLine(size_t maxSize);
void EndLine(const char* end);
// Writes out the rest of the lines, each followed by CR LF, and puts the file
// in place. True on failure, after reporting "ZOR save error: " and the reason.
bool EndSave();
// Ends a save without touching the target (removes the temporary file).
void AbandonSave();

}  // namespace zor
