#pragma once
// Splits a byte source into the lines of a publication text: CR LF ends a
// line (a lone CR or LF does not), the last line may lack it. Reads in chunks
// of a given size and keeps only the unread rest of the text in memory.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "runtime/Stream.h"

namespace vl {

class TPublicationLines {
 public:
  enum Result { kLine, kEnd, kError };

  TPublicationLines(ByteSource& src, int64_t total, std::function<void(int)> progress, size_t chunk,
                    int64_t maxTotal)
      : src_(src), total_(total), progress_(std::move(progress)), chunk_(chunk), maxTotal_(maxTotal) {}

  // The next line; its view stays valid until the next call. kError when the
  // source failed or delivered more than `maxTotal` bytes (see TooBig()).
  Result Next(std::string_view& line);
  bool TooBig() const { return tooBig_; }
  int LineNumber() const { return lineNo_; }
  int64_t BytesRead() const { return read_; }

 private:
  ByteSource& src_;
  int64_t total_;
  std::function<void(int)> progress_;
  size_t chunk_;
  int64_t maxTotal_;
  std::string buf_;
  size_t start_ = 0;  // first byte of the unread rest
  size_t scan_ = 0;   // CR LF cannot start before this
  int64_t read_ = 0;
  int lineNo_ = 0;
  bool eof_ = false;
  bool tooBig_ = false;
};

}  // namespace vl
