#pragma once
// Reading an SMTP server's replies as they arrive, in pieces of any size. A
// reply is one or more lines; a line whose fourth character is "-" announces
// another. The reply's code and text are those of its last line: the code its
// first three characters (trimmed), the text 64 characters from the fourth
// on (trimmed). A line shorter than four characters has the code "----"
// unless it is three characters alone (a bare "250"), which ends the reply.
// Pure over bytes, so it is fuzzed on its own.
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

struct SmtpReply {
  AnsiString code;   // "250", "----" for a line too short to hold one
  AnsiString text;   // of the last line
  std::vector<AnsiString> lines;  // every line's text (EHLO's extensions)
};

class SmtpReplyReader {
 public:
  // A line longer than this (no line break in sight) makes the reader fail.
  static constexpr size_t kMaxLine = 4096;
  // Nor may one reply run on for ever.
  static constexpr size_t kMaxLines = 1000;

  // Takes received bytes. Complete replies are queued for Next.
  void Feed(std::string_view bytes);
  // The oldest complete reply, if any.
  bool Next(SmtpReply& out);
  // The server sent something no reply can be made of.
  bool Failed() const { return failed_; }
  void Reset() { *this = SmtpReplyReader{}; }

 private:
  void TakeLine(std::string_view line);

  std::string partial_;
  SmtpReply current_;
  std::vector<SmtpReply> ready_;
  bool failed_ = false;
};

// The numeric value of a reply code ("250" -> 250), 0 when it is not one.
int SmtpCodeNumber(std::string_view code);

}  // namespace vl
