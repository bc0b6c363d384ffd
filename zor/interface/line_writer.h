// The line writer every item's WriteXml goes through. One save at a time
// (process-wide). Lines are kept in memory and reach the file only at EndSave,
// through a temporary file renamed over the target, so a failed save never
// harms an existing file.
#pragma once

#include <string>
#include <string_view>

namespace ZOR_RAM {

// Starts a save: drops any buffer left by an earlier failed save.
void BeginSave(const std::string& fileName);
// Appends a line; a line that closes the previous start tag joins it
// ("<Name>" then "</Name>" gives "<Name></Name>"). Lines written without a
// buffer are dropped. Always false (success).
bool WriteLine(std::string_view text);
// Writes the lines, each followed by CR LF, and releases the buffer.
// True on failure, after reporting "ZOR save error: " and the reason.
bool EndSave();
// Whether a save is under way (BeginSave called, EndSave not yet).
bool IsSaving();

}  // namespace ZOR_RAM
