#include "zor/QXML/qxml_types.h"

const char* const EncodingTexts[3] = {"gb2312", "UTF-8", ""};

std::string TQXMLOptions::GetEncodingText() const {
  if (Encoding == QXMLEncAuto) return std::string();
  return std::string("encoding=\"") + EncodingTexts[Encoding] + "\"";
}

std::string TQXMLOptions::GetVersionText() const { return "version=\"" + Version + "\""; }
