// Helpers shared by the library's tests: capturing what reaches the sinks,
// parsing XML text, capturing what the line writer writes, reading items
// from XML text and golden files of the testdata folders.
#pragma once

#include <cstdio>
#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "zor/QXML/QXMLDocument.h"
#include "zor/QXML/qxml_text.h"
#include "zor/check/findings.h"
#include "zor/io/line_writer.h"
#include "zor/io/messages.h"
#include "zor/model/ram.h"

namespace zortest {

// Collects every error, warning and progress report while alive; restores the
// earlier sinks afterwards. Captures nest: each one alive sees every message.
class MessageCapture {
 public:
  MessageCapture() : Saved_(zor::GetSinks()), Outer_(Current()) {
    Current() = this;
    zor::SetSinks({&OnError, &OnWarning, 0, &OnProgress});
  }
  ~MessageCapture() {
    zor::SetSinks(Saved_);
    Current() = Outer_;
  }
  MessageCapture(const MessageCapture&) = delete;
  MessageCapture& operator=(const MessageCapture&) = delete;

  std::vector<std::string> Errors;
  std::vector<std::string> Warnings;
  std::vector<std::pair<int, std::string>> Progress;

  void Clear() {
    Errors.clear();
    Warnings.clear();
    Progress.clear();
  }

 private:
  static MessageCapture*& Current() {
    static MessageCapture* current = nullptr;
    return current;
  }
  // Every capture alive sees the message, the innermost first.
  static void OnError(const char* text) {
    for (MessageCapture* c = Current(); c; c = c->Outer_) c->Errors.emplace_back(text);
  }
  static void OnWarning(const char* text) {
    for (MessageCapture* c = Current(); c; c = c->Outer_) c->Warnings.emplace_back(text);
  }
  static void OnProgress(int32_t percent, const char* text) {
    for (MessageCapture* c = Current(); c; c = c->Outer_) c->Progress.emplace_back(percent, text);
  }
  zor::Sinks Saved_;
  MessageCapture* Outer_;
};

// Records the code and text of every finding while alive; the sinks are
// captured as well, so nothing reaches the host's.
class FindingLog {
 public:
  FindingLog() {
    ZOR_RAM::SetFindingObserver([this](int code, int, const std::string& text) {
      Codes.push_back(code);
      Texts.push_back(text);
    });
  }
  ~FindingLog() { ZOR_RAM::SetFindingObserver({}); }
  FindingLog(const FindingLog&) = delete;
  FindingLog& operator=(const FindingLog&) = delete;

  int Count(int code) const { return static_cast<int>(std::count(Codes.begin(), Codes.end(), code)); }
  void Clear() {
    Codes.clear();
    Texts.clear();
    Sinks.Clear();
  }

  std::vector<int> Codes;
  std::vector<std::string> Texts;
  MessageCapture Sinks;
};

// Collects the UTF-8 diagnostics of the XML library instead of printing them.
class WarnCapture {
 public:
  WarnCapture() {
    Lines().clear();
    Old_ = SetUtf8WarnHandler([](const char* line) { Lines().push_back(line); });
  }
  ~WarnCapture() { SetUtf8WarnHandler(Old_); }
  WarnCapture(const WarnCapture&) = delete;
  WarnCapture& operator=(const WarnCapture&) = delete;
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }

 private:
  Utf8WarnHandler Old_;
};

// A document parsed from text; fails the test through the returned flag.
inline std::unique_ptr<TQXMLDocument> ParseXml(const std::string& text) {
  auto doc = std::make_unique<TQXMLDocument>(nullptr);
  doc->AutoValidate = true;
  std::istringstream in(text);
  if (doc->LoadFromStream(in)) return nullptr;
  return doc;
}

// A file name in the temporary folder, unique to this process and name.
inline std::string TempPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/zor_test_" + std::to_string(::getpid()) + "_" + name;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
}

// What `write` hands to the line writer, as the saved file would hold it
// (lines ended by CR LF).
inline std::string CaptureLines(const std::function<void()>& write) {
  std::string path = TempPath("lines.xml");
  zor::BeginSave(path);
  write();
  zor::EndSave();
  std::string text = ReadFile(path);
  std::remove(path.c_str());
  return text;
}

// Joins lines with CR LF after each, the form the saver writes.
inline std::string Lines(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* line : lines) {
    out += line;
    out += "\r\n";
  }
  return out;
}

// What item writes as its element; fails the test when writing fails.
inline std::string Written(ZOR_RAM::TItemData* item) {
  return CaptureLines([&] { EXPECT_FALSE(item->WriteXml(/*withElement=*/true)); });
}

// Reads the root element of xml into a new item of list. The document stays
// alive in *doc because items keep their source elements. A failed read
// fails the test unless failed is given to receive the result.
template <class T>
T* ReadItem(ZOR_RAM::TZOR_RAM& ram, ZOR_RAM::TZORList<T>& list, const std::string& xml,
            std::unique_ptr<TQXMLDocument>* doc, bool* failed = nullptr) {
  *doc = ParseXml(xml);
  if (!*doc) {
    ADD_FAILURE() << "XML did not parse";
    return nullptr;
  }
  T* item = ram.NewItem(list);
  bool result = item->ReadXml((*doc)->GetRoot());
  if (failed) *failed = result;
  else EXPECT_FALSE(result);
  return item;
}

// A golden file below the source folder (path relative to it), stored with
// LF line ends, returned with CR LF ones as the saver writes them.
inline std::string Golden(const std::string& path) {
  std::string text = ReadFile(std::string(ZOR_SOURCE_DIR) + "/" + path);
  if (text.empty()) ADD_FAILURE() << "golden file missing or empty: " << path;
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The direct paths of the XML reader give what its general path gives:
// result(text, direct) is compared both ways on every prefix of each input.
inline void ExpectSameOnEveryPrefix(const std::vector<std::string>& inputs,
                                    const std::function<std::string(const std::string&, bool)>& result) {
  for (const std::string& text : inputs) {
    for (size_t n = 0; n <= text.size(); ++n) {
      const std::string prefix = text.substr(0, n);
      ASSERT_EQ(result(prefix, true), result(prefix, false)) << prefix;
    }
  }
}

}  // namespace zortest
