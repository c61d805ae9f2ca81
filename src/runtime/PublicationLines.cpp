#include "runtime/PublicationLines.h"

#include <cstring>

namespace vl {

TPublicationLines::Result TPublicationLines::Next(std::string_view& line) {
  for (;;) {
    const size_t size = buf_.size();
    if (scan_ < start_) scan_ = start_;
    if (size >= 2 && scan_ < size - 1) {
      const char* base = buf_.data();
      const char* p = base + scan_;
      const char* last = base + size - 1;  // a CR here may pair with the next chunk
      while (p < last) {
        const void* cr = std::memchr(p, '\r', static_cast<size_t>(last - p));
        if (!cr) break;
        p = static_cast<const char*>(cr);
        if (p[1] == '\n') {
          line = std::string_view(base + start_, static_cast<size_t>(p - (base + start_)));
          start_ = static_cast<size_t>(p - base) + 2;
          scan_ = start_;
          ++lineNo_;
          return kLine;
        }
        ++p;
      }
      scan_ = size - 1;
    }
    if (eof_) {
      if (start_ >= buf_.size()) return kEnd;
      line = std::string_view(buf_.data() + start_, buf_.size() - start_);
      start_ = buf_.size();
      ++lineNo_;
      return kLine;
    }
    // Drop what was handed out before reading more.
    if (start_ > 0) {
      buf_.erase(0, start_);
      scan_ -= start_;
      start_ = 0;
    }
    const size_t old = buf_.size();
    buf_.resize(old + chunk_);
    const int64_t n = src_.Read(buf_.data() + old, static_cast<int64_t>(chunk_));
    if (n < 0) {
      buf_.resize(old);
      return kError;
    }
    buf_.resize(old + static_cast<size_t>(n));
    if (n == 0) {
      eof_ = true;
    } else {
      read_ += n;
      if (read_ > maxTotal_) {
        tooBig_ = true;
        return kError;
      }
      if (progress_) {
        int64_t pct = total_ > 0 ? read_ * 100 / total_ : 100;
        progress_(static_cast<int>(pct > 100 ? 100 : pct));
      }
    }
  }
}

}  // namespace vl
