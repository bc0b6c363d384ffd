#include "zor/interface/line_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "zor/interface/messages.h"
#include "zor/platform/file_util.h"

namespace ZOR_RAM {

namespace {

// Lines joined by CR LF; the last line has no line end yet.
struct SaveBuffer {
  std::string FileName;
  std::string Text;
  std::string LastLine;
  bool HasLines = false;
};

std::unique_ptr<SaveBuffer> g_save;

// Whether text is the closing form of line: line with "/" after its first character.
bool IsClosingFormOf(std::string_view text, std::string_view line) {
  return text.size() == line.size() + 1 && text[0] == line[0] && text[1] == '/' &&
         text.substr(2) == line.substr(1);
}

}  // namespace

void BeginSave(const std::string& fileName) {
  g_save = std::make_unique<SaveBuffer>();
  g_save->FileName = fileName;
}

bool WriteLine(std::string_view text) {
  if (!g_save) return false;
  SaveBuffer& save = *g_save;
  if (!save.LastLine.empty() && IsClosingFormOf(text, save.LastLine)) {
    save.Text += text;  // joins the start tag on its line
  } else {
    if (save.HasLines) save.Text += "\r\n";
    save.Text += text;
    save.HasLines = true;
  }
  save.LastLine.assign(text);
  return false;
}

bool EndSave() {
  if (!g_save) return true;
  std::unique_ptr<SaveBuffer> save = std::move(g_save);
  if (save->HasLines) save->Text += "\r\n";
  std::string error;
  if (!zor::WriteFileAtomically(save->FileName, save->Text, &error)) {
    zor::ReportError("ZOR save error: " + error);
    return true;
  }
  return false;
}

bool IsSaving() { return g_save != nullptr; }

}  // namespace ZOR_RAM
