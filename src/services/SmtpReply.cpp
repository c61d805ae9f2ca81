#include "services/SmtpReply.h"

#include "runtime/Global.h"

namespace vl {

void SmtpReplyReader::Feed(std::string_view bytes) {
  if (failed_) return;
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t lf = bytes.find('\n', pos);
    if (lf == std::string_view::npos) {
      partial_.append(bytes.substr(pos));
      if (partial_.size() > kMaxLine) failed_ = true;
      return;
    }
    partial_.append(bytes.substr(pos, lf - pos));
    pos = lf + 1;
    if (partial_.size() > kMaxLine) {
      failed_ = true;
      return;
    }
    if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
    TakeLine(partial_);
    partial_.clear();
    if (failed_) return;
  }
}

void SmtpReplyReader::TakeLine(std::string_view line) {
  const bool more = line.size() >= 4 && line[3] == '-';
  if (line.size() < 4 && line.size() != 3) {
    current_.code = "----";
    current_.text.clear();
  } else {
    current_.code = AnsiString(TrimView(line.substr(0, 3)));
    current_.text = line.size() > 3 ? AnsiString(TrimView(line.substr(3, 64))) : AnsiString();
  }
  current_.lines.push_back(line.size() > 4 ? AnsiString(TrimView(line.substr(4))) : AnsiString());
  if (current_.lines.size() > kMaxLines) {
    failed_ = true;
    return;
  }
  // "----" lines (too short) go on like continuation lines: only a line with
  // a code ends the reply.
  if (more || current_.code == "----") return;
  ready_.push_back(std::move(current_));
  current_ = SmtpReply{};
}

bool SmtpReplyReader::Next(SmtpReply& out) {
  if (ready_.empty()) return false;
  out = std::move(ready_.front());
  ready_.erase(ready_.begin());
  return true;
}

int SmtpCodeNumber(std::string_view code) {
  if (code.size() != 3) return 0;
  int v = 0;
  for (char ch : code) {
    if (ch < '0' || ch > '9') return 0;
    v = v * 10 + (ch - '0');
  }
  return v;
}

}  // namespace vl
