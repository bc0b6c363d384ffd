#include "zor/QXML/qxml_reader.h"

#include <istream>
#include <sstream>
#include <stdexcept>

TQXMLReader::TQXMLReader(std::istream& stream, PercentEvent onPercent)
    : stream_(&stream), onPercent_(std::move(onPercent)) {
  std::streamoff start = stream.tellg();
  bool seekable = start >= 0 && stream.seekg(0, std::ios::end);
  std::streamoff end = seekable ? static_cast<std::streamoff>(stream.tellg()) : -1;
  if (seekable && end >= start) {
    stream.seekg(start);
    position_ = start;
    size_ = end;
    SkipBom();
    return;
  }
  // No size to measure progress and the end against: read it all first.
  stream.clear();
  auto copy = std::make_unique<std::stringstream>(std::ios::in | std::ios::out | std::ios::binary);
  *copy << stream.rdbuf();
  copy->seekg(0);
  size_ = static_cast<int64_t>(copy->str().size());
  position_ = 0;
  owned_ = std::move(copy);
  stream_ = owned_.get();
  SkipBom();
}

void TQXMLReader::SkipBom() {
  if (position_ != 0 || size_ <= 3) return;
  std::istream& in = *stream_;
  char bom[3] = {};
  in.read(bom, 3);
  if (in.gcount() == 3 && static_cast<unsigned char>(bom[0]) == 0xEF &&
      static_cast<unsigned char>(bom[1]) == 0xBB && static_cast<unsigned char>(bom[2]) == 0xBF) {
    utf8Bom_ = true;
    position_ = 3;
  } else {
    in.clear();
    in.seekg(0);
  }
}

TQXMLReader::~TQXMLReader() = default;

int TQXMLReader::ReadChunk(std::string& out, int maxBytes) {
  std::istream& in = *stream_;
  int64_t want = size_ - position_;
  if (want > maxBytes) want = maxBytes;
  if (want <= 0) return 0;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(want));
  in.read(out.data() + start, want);
  const int64_t got = in.gcount();
  if (got < want) {
    if (in.bad()) throw std::runtime_error("XML error: YY_INPUT() in flex scanner failed");
    size_ = position_ + got;  // the stream ended early: this is the last chunk
  }
  position_ += got;
  size_t kept = static_cast<size_t>(got);
  if (position_ >= size_) {
    // Nothing after the last '>' of the input is ever scanned.
    while (kept > 0 && out[start + kept - 1] != '>') --kept;
  }
  out.resize(start + kept);
  if (got > 0 && onPercent_ && size_ > 0) {
    int percent = static_cast<int>((position_ * 200 + size_) / (size_ * 2));
    if (percent % 5 == 0) onPercent_(percent);
  }
  return static_cast<int>(kept);
}
