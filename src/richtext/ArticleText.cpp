#include "richtext/ArticleText.h"

#include <algorithm>
#include <string>

namespace vl {

namespace {

constexpr const char* kHeader =
    "{\\rtf1\\ansi\\ansicpg1252\\deflang1033"
    "{\\colortbl\\red0\\green0\\blue0;\\red128\\green0\\blue0;\\red0\\green128\\blue0;\\red128\\green128\\blue0;"
    "\\red0\\green0\\blue128;\\red128\\green0\\blue128;\\red0\\green128\\blue128;\\red128\\green128\\blue128;"
    "\\red192\\green192\\blue192;\\red255\\green0\\blue0;\\red0\\green255\\blue0;\\red0\\green0\\blue255;"
    "\\red255\\green0\\blue255;\\red0\\green255\\blue255;\\red255\\green255\\blue0;\\red255\\green255\\blue255;}"
    "\\tx1440\\tx2880\\tx4320\\tx5760\\tx7200\\tx8640\\tx10080 ";

// Font sizes are kept where a word processor can show them (half points).
constexpr int kMinSize = 2, kMaxSize = 3276;

class Converter {
 public:
  explicit Converter(bool wordWrap) : wrap_(wordWrap) { out_ = kHeader; }

  void Line(std::string_view line) {
    Prefix();
    if (line.empty()) {
      out_ += "\\par\r\n";
      align_ = pending_;
      written_ = false;
      return;
    }
    if (line.find('^') == std::string_view::npos) {
      for (char c : line) Escaped(c);
    } else {
      Coded(line);
    }
    // A bookmark or link left open does not swallow the lines after it.
    if (bookmark_) {
      out_ += '}';
      bookmark_ = false;
    }
    link_ = 0;
    quote_ = false;
    if (wrap_) out_ += ' ';
    else out_ += "\\par\r\n";
  }

  AnsiString Finish() {
    out_ += '}';
    return std::move(out_);
  }

 private:
  void Prefix() {
    out_ += align_ == 1 ? "\\qc" : align_ == 2 ? "\\qr" : "\\ql";
    out_ += "\\li0\\fi0\\ri0\\sb0\\sl\\sa0 ";
    Plain();
  }
  void Plain() { out_ += "\\plain\\f0\\fs" + std::to_string(size_) + " "; }

  void Escaped(char c) {
    if (c == '\\' || c == '{' || c == '}') out_ += '\\';
    out_ += c;
    written_ = true;
  }

  static bool Digit(char c) { return c >= '0' && c <= '9'; }

  // Reads an optional number at `i` (a leading "-" allowed when `sign`);
  // true when digits were there.
  static bool Number(std::string_view line, size_t& i, bool sign, long long& value) {
    size_t j = i;
    bool neg = false;
    if (sign && j < line.size() && line[j] == '-') {
      neg = true;
      ++j;
    }
    if (j >= line.size() || !Digit(line[j])) return false;
    long long v = 0;
    while (j < line.size() && Digit(line[j])) {
      if (v < 1000000) v = v * 10 + (line[j] - '0');
      ++j;
    }
    i = j;
    value = neg ? -v : v;
    return true;
  }

  void Coded(std::string_view line) {
    for (size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c == '^' && i + 1 < line.size()) {
        char code = line[++i];
        size_t next = i + 1;
        Code(code, line, next);
        i = next - 1;
        continue;
      }
      if (link_ == 1 && c == '=') {
        out_ += "\\v ";
        link_ = 2;
        continue;
      }
      if (link_ == 2) {
        if (c == '"') {
          quote_ = !quote_;
          out_ += c;
          continue;
        }
        if (c == '|' && !quote_) {
          out_ += "\\'b6";
          continue;
        }
      }
      if (bookmark_) {
        // Bookmark names keep RTF's own characters escaped, so a brace in
        // a name cannot end the document early.
        Escaped(c);
        name_ += c;
        continue;
      }
      Escaped(c);
    }
  }

  void Code(char code, std::string_view line, size_t& i) {
    long long n = 0;
    switch (code) {
      case 'B': out_ += "\\b "; break;
      case 'b': out_ += "\\b0 "; break;
      case 'I': out_ += "\\i "; break;
      case 'i': out_ += "\\i0 "; break;
      case 'U': out_ += "\\ul "; break;
      case 'u': out_ += "\\ulnone "; break;
      case 'X': out_ += "\\strike "; break;
      case 'x': out_ += "\\strike0 "; break;
      case 'C': align_ = pending_ = 1; break;
      case 'G': align_ = pending_ = 2; break;
      case 'c': case 'g':
        pending_ = 0;
        if (!written_) align_ = 0;
        break;
      case 'F':
        if (Number(line, i, true, n)) {
          size_ = static_cast<int>(std::clamp<long long>(2 * n, kMinSize, kMaxSize));
          out_ += "\\fs" + std::to_string(size_);
        }
        break;
      case 'f':
        size_ = 20;
        out_ += "\\fs20";
        break;
      case 'P':
        if (Number(line, i, false, n)) out_ += "\\cf" + std::to_string(n) + " ";
        else out_ += "\\cf0 ";
        break;
      case 'p': out_ += "\\cf0 "; break;
      case 'S': case 'T': case 's': case 't':
        Number(line, i, false, n);
        out_ += "\\tab ";
        break;
      case 'L':
        if (link_ == 0) {
          out_ += "\\uldb ";
          link_ = 1;
        }
        break;
      case 'l':
        if (link_ != 0) {
          Plain();
          link_ = 0;
          quote_ = false;
        }
        break;
      case 'M':
        if (!bookmark_) {
          bookmark_ = true;
          out_ += "{\\*\\bkmkstart ";
          name_.clear();
        }
        break;
      case 'm':
        if (bookmark_) {
          bookmark_ = false;
          out_ += "}{\\*\\bkmkend ";
          for (char ch : name_) {
            if (ch == '\\' || ch == '{' || ch == '}') out_ += '\\';
            out_ += ch;
          }
          out_ += "}";
          Plain();
        }
        break;
      case '^': Escaped('^'); break;
      default: break;
    }
  }

  bool wrap_;
  AnsiString out_;
  int size_ = 20;
  int align_ = 0, pending_ = 0;
  bool written_ = false;
  int link_ = 0;
  bool quote_ = false;
  bool bookmark_ = false;
  std::string name_;
};

}  // namespace

AnsiString ConvertArticleText(std::string_view text, bool wordWrap) {
  Converter conv(wordWrap);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    size_t stop = end == std::string_view::npos ? text.size() : end;
    std::string_view line = text.substr(start, stop - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    while (line.size() > kMaxArticleLine) {
      conv.Line(line.substr(0, kMaxArticleLine));
      line.remove_prefix(kMaxArticleLine);
    }
    conv.Line(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return conv.Finish();
}

}  // namespace vl
