// Feeds arbitrary bytes to the XML document loader, then saves and reloads
// what was accepted.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <stdexcept>
#include <string>

#include "zor/QXML/QXMLDocument.h"
#include "zor/QXML/qxml_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUtf8WarnHandler([](const char*) {});
  std::string text(reinterpret_cast<const char*>(data), size);
  for (int autoValidate = 0; autoValidate < 2; ++autoValidate) {
    TQXMLDocument doc(nullptr);
    doc.AutoValidate = autoValidate != 0;
    try {
      std::istringstream in(text);
      if (doc.LoadFromStream(in)) continue;
      std::ostringstream out;
      doc.SaveToStream(out);
      TQXMLDocument again(nullptr);
      again.AutoValidate = doc.AutoValidate;
      std::istringstream in2(out.str());
      again.LoadFromStream(in2);
    } catch (const std::exception&) {
    }
  }
  TQXMLDocument doc(nullptr);
  try {
    std::istringstream in(text);
    doc.FindNodeInStream(in, "a;b", size % 2 == 0);
  } catch (const std::exception&) {
  }
  return 0;
}
