// The RTF reader: RTF as word processors write it, into a QTextDocument.
//
// One pass over the bytes with a stack of group states (character and
// paragraph properties and the destination). Text is gathered in a run and
// inserted when a property changes or a group ends. Untrusted input: the
// group depth is capped (deeper groups share the state of the deepest kept
// one, their text still shown), numbers are clamped, \bin lengths are held
// to the data, indexes beyond the font and colour tables mean "default",
// pictures go through our own decoders and their size caps.
#include <QImage>
#include <QPainter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>
#include <map>
#include <memory>
#include <unordered_map>

#include "images/Decoders.h"
#include "images/MetaCanvas.h"
#include "images/VL_ImageLib.h"
#include "platform/FontMap.h"
#include "richtext/RichFormat.h"
#include "richtext/RichText.h"

namespace vl {
namespace {

using namespace rich;

constexpr double kTwipsPerPx = 15.0;  // 1440 twips an inch, 96 pixels an inch
// A table grows a row at a time, each costing time in its size: a hostile
// table stops growing here (what follows goes into its last row).
constexpr long long kMaxTableCells = 10000;

enum class Dest { Normal, Skip, FontTbl, ColorTbl, Pict, FldInst, BkmkStart, BkmkEnd };

struct CharState {
  bool bold = false, italic = false, strike = false, strikeDouble = false, hidden = false;
  int underline = ulNone;
  int fs = 0;     // half points; 0 = not given
  int font = -1;  // font table number; -1 = not given
  int cf = 0, cb = 0, highlight = 0;
  int vertical = 0;  // 1 super, -1 sub
  QString href;      // inside a hyperlink field result
};

struct ParaState {
  int align = 0;  // 0 left, 1 centre, 2 right, 3 justify
  int li = 0, ri = 0, fi = 0, sb = 0, sa = 0, sl = 0;
  bool slmult = false;
  bool intbl = false;
  QList<QTextOption::Tab> tabs;
  int pendingTabKind = 0;  // 0 left, 1 centre, 2 right, 3 decimal
};

struct Group {
  CharState ch;
  ParaState pa;
  Dest dest = Dest::Normal;
  int uc = 1;
  bool star = false;  // "\*" seen: the next word must be known or the group is skipped
  bool firstWord = true;
};

struct FontEntry {
  QString name;
  int charset = 0;
  int codepage = 0;  // from \cpg, else from the charset
};

struct CellDef {
  int right = 0;  // twips
  int shading = -1;
  bool border = false;
};

struct PictState {
  enum Kind { None, Png, Jpeg, Wmf, Emf, Dib, Bitmap } kind = None;
  int picw = 0, pich = 0, goalw = 0, goalh = 0, scalex = 100, scaley = 100;
  std::string data;
  int nibble = -1;
  bool overflow = false;
};

int CodepageOfCharset(int charset) {
  switch (charset) {
    case 0: case 1: return 1252;
    case 2: return 42;  // symbol
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    default: return 1252;
  }
}

bool IsLeadByte(int codepage, unsigned char b) {
  switch (codepage) {
    case 932: return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    case 936: case 949: case 950: case 1361: return b >= 0x81 && b <= 0xFE;
    default: return false;
  }
}

class Reader {
 public:
  Reader(std::string_view in, QTextDocument& doc) : in_(in), doc_(doc), cursor_(&doc) {}

  void Run() {
    doc_.clear();
    cursor_ = QTextCursor(&doc_);
    // One edit block for the whole reading: outside one, every insertion
    // measures the cursor's place in its paragraph, which makes a long
    // paragraph quadratic.
    QTextCursor edit(&doc_);
    edit.beginEditBlock();
    stack_.push_back(Group{});
    // What comes before the document's group (a byte-order mark, blanks) is
    // not text of it.
    size_t open = in_.find('{');
    if (open != std::string_view::npos) pos_ = open;
    size_t n = in_.size();
    while (pos_ < n && !done_) {
      unsigned char c = static_cast<unsigned char>(in_[pos_]);
      if (c == '{') {
        ++pos_;
        OpenGroup();
      } else if (c == '}') {
        ++pos_;
        CloseGroup();
      } else if (c == '\\') {
        ++pos_;
        ControlSymbolOrWord();
      } else if (c == '\r' || c == '\n' || c == 0) {
        ++pos_;
      } else {
        ++pos_;
        TextByte(c);
      }
    }
    Flush();
    while (stack_.size() > 1) CloseGroup();
    FinishParagraph(false);
    edit.endEditBlock();
  }

 private:
  Group& G() { return stack_.back(); }

  // ---- groups
  void OpenGroup() {
    Flush();
    skipChars_ = 0;
    if (static_cast<int>(stack_.size()) >= kMaxRtfDepth) {
      ++overflowDepth_;
      return;
    }
    Group g = G();
    g.star = false;
    g.firstWord = true;
    stack_.push_back(std::move(g));
  }

  void CloseGroup() {
    Flush();
    skipChars_ = 0;
    if (overflowDepth_ > 0) {
      --overflowDepth_;
      return;
    }
    if (stack_.size() <= 1) {
      // The root group is closed: what follows is not part of the document.
      done_ = true;
      return;
    }
    Group closing = std::move(stack_.back());
    stack_.pop_back();
    switch (closing.dest) {
      case Dest::FontTbl: CommitFont(); break;
      case Dest::Pict: if (G().dest != Dest::Pict) FinishPicture(); break;
      case Dest::FldInst:
        if (G().dest != Dest::FldInst) {
          G().ch.href = HyperlinkTarget(fldinst_);
          fldinst_.clear();
        }
        break;
      case Dest::BkmkStart:
        if (G().dest != Dest::BkmkStart && !bookmark_.isEmpty()) pendingBookmarks_ << bookmark_.trimmed();
        bookmark_.clear();
        break;
      case Dest::BkmkEnd: bookmark_.clear(); break;
      default: break;
    }
  }

  // ---- control words
  void ControlSymbolOrWord() {
    if (pos_ >= in_.size()) return;
    unsigned char c = static_cast<unsigned char>(in_[pos_]);
    if (!IsAlpha(c)) {
      ++pos_;
      ControlSymbol(c);
      return;
    }
    size_t start = pos_;
    while (pos_ < in_.size() && IsAlpha(static_cast<unsigned char>(in_[pos_])) && pos_ - start < 32) ++pos_;
    std::string_view word = in_.substr(start, pos_ - start);
    while (pos_ < in_.size() && IsAlpha(static_cast<unsigned char>(in_[pos_]))) ++pos_;  // overlong word
    bool hasParam = false;
    bool neg = false;
    long long param = 0;
    if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && IsDigit(in_[pos_ + 1])) {
      neg = true;
      ++pos_;
    }
    int digits = 0;
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      if (digits < 12) param = param * 10 + (in_[pos_] - '0');
      ++digits;
      ++pos_;
      hasParam = true;
    }
    if (neg) param = -param;
    if (param > INT32_MAX) param = INT32_MAX;
    if (param < INT32_MIN) param = INT32_MIN;
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    Word(word, hasParam, static_cast<int>(param));
  }

  static bool IsAlpha(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  void ControlSymbol(unsigned char c) {
    switch (c) {
      case '\'': {
        int v = 0;
        int got = 0;
        while (got < 2 && pos_ < in_.size()) {
          int h = Hex(in_[pos_]);
          if (h < 0) break;
          v = v * 16 + h;
          ++pos_;
          ++got;
        }
        if (got == 0) return;
        if (G().dest == Dest::Pict) return;
        if (skipChars_ > 0) {
          --skipChars_;
          return;
        }
        TextByteRaw(static_cast<unsigned char>(v));
        return;
      }
      case '*': G().star = true; return;
      case '~': TextChar(QChar(0x00A0)); return;
      case '-': TextChar(QChar(0x00AD)); return;
      case '_': TextChar(QChar(0x2011)); return;
      case '\\': case '{': case '}': TextByte(c); return;
      case '\r': case '\n': Word("par", false, 0); return;
      case '\t': Word("tab", false, 0); return;
      default: return;  // \| \: and others: index and formula marks
    }
  }

  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  bool SetDest(Dest d) {
    Flush();
    G().dest = d;
    return true;
  }

  void Word(std::string_view w, bool hasParam, int p) {
    Group& g = G();
    bool first = g.firstWord;
    g.firstWord = false;
    bool star = g.star;
    g.star = false;

    // \bin is honoured everywhere: its bytes are not RTF.
    if (w == "bin") {
      size_t len = hasParam && p > 0 ? static_cast<size_t>(p) : 0;
      len = std::min(len, in_.size() - pos_);
      if (g.dest == Dest::Pict) AppendPictBytes(in_.substr(pos_, len));
      pos_ += len;
      return;
    }
    if (w == "ud" && g.dest == Dest::Skip) {  // the Unicode form inside \upr
      g.dest = Dest::Normal;
      return;
    }
    if (g.dest == Dest::Skip) return;

    // Destinations.
    if (first || star) {
      if (w == "fonttbl") { SetDest(Dest::FontTbl); fontNum_ = -1; return; }
      if (w == "colortbl") { SetDest(Dest::ColorTbl); colorPending_ = false; return; }
      if (w == "pict") { SetDest(Dest::Pict); pict_ = PictState{}; return; }
      if (w == "fldinst") { SetDest(Dest::FldInst); fldinst_.clear(); return; }
      if (w == "bkmkstart") { SetDest(Dest::BkmkStart); bookmark_.clear(); return; }
      if (w == "bkmkend") { SetDest(Dest::BkmkEnd); return; }
      if (w == "fldrslt" || w == "shppict" || w == "ud" || w == "listtext" || w == "pntext" ||
          w == "field" || w == "result" || w == "shprslt" || w == "upr") {
        if (w == "upr") SetDest(Dest::Skip);
        return;
      }
      static const char* const kSkip[] = {
          "stylesheet", "info", "header", "headerl", "headerr", "headerf", "footer", "footerl",
          "footerr", "footerf", "footnote", "listtable", "listoverridetable", "revtbl", "rsidtbl",
          "generator", "xmlnstbl", "pgdsctbl", "nonshppict", "objdata", "themedata",
          "colorschememapping", "latentstyles", "datastore", "filetbl", "annotation", "atnid",
          "atnauthor", "comment", "txe", "xe", "tc", "pn", "shpinst", "object", "fldtype",
          "private", "userprops", "docvar", "template", "mmathPr", "defchp", "defpap", "listpicture",
          "pgptbl", "panose", "falt", "fname"};
      for (const char* s : kSkip) {
        if (w == s) {
          if (w == "object") return;  // its \result is shown, \objdata skipped by name
          SetDest(Dest::Skip);
          return;
        }
      }
      if (star) {
        SetDest(Dest::Skip);
        return;
      }
    }

    switch (g.dest) {
      case Dest::FontTbl: FontWord(w, hasParam, p); return;
      case Dest::ColorTbl: ColorWord(w, p); return;
      case Dest::Pict: PictWord(w, hasParam, p); return;
      case Dest::FldInst: case Dest::BkmkStart: case Dest::BkmkEnd: return;
      default: break;
    }
    NormalWord(w, hasParam, p);
  }

  void FontWord(std::string_view w, bool hasParam, int p) {
    if (w == "f") {
      CommitFont();
      fontNum_ = p;
      fontEntry_ = FontEntry{};
      fontName_.clear();
    } else if (w == "fcharset") {
      fontEntry_.charset = p;
    } else if (w == "cpg" && hasParam) {
      fontEntry_.codepage = p;
    }
  }

  void CommitFont() {
    if (fontNum_ < 0) return;
    QString name = fontName_.trimmed();
    if (name.endsWith(';')) name.chop(1);
    fontEntry_.name = name.trimmed();
    if (fontEntry_.codepage == 0) fontEntry_.codepage = CodepageOfCharset(fontEntry_.charset);
    if (fonts_.size() < 4096) fonts_[fontNum_] = fontEntry_;
    fontNum_ = -1;
    fontName_.clear();
  }

  void ColorWord(std::string_view w, int p) {
    int v = std::clamp(p, 0, 255);
    if (w == "red") { color_.setRed(v); colorPending_ = true; }
    else if (w == "green") { color_.setGreen(v); colorPending_ = true; }
    else if (w == "blue") { color_.setBlue(v); colorPending_ = true; }
  }

  void PictWord(std::string_view w, bool hasParam, int p) {
    if (w == "pngblip") pict_.kind = PictState::Png;
    else if (w == "jpegblip") pict_.kind = PictState::Jpeg;
    else if (w == "emfblip") pict_.kind = PictState::Emf;
    else if (w == "wmetafile") pict_.kind = PictState::Wmf;
    else if (w == "dibitmap") pict_.kind = PictState::Dib;
    else if (w == "wbitmap") pict_.kind = PictState::Bitmap;
    else if (w == "picw") pict_.picw = p;
    else if (w == "pich") pict_.pich = p;
    else if (w == "picwgoal") pict_.goalw = p;
    else if (w == "pichgoal") pict_.goalh = p;
    else if (w == "picscalex" && hasParam) pict_.scalex = p;
    else if (w == "picscaley" && hasParam) pict_.scaley = p;
  }

  void NormalWord(std::string_view w, bool hasParam, int p) {
    Group& g = G();
    CharState& ch = g.ch;
    ParaState& pa = g.pa;
    auto on = [&] { return !hasParam || p != 0; };
    // Special characters first (they do not change the state).
    if (w == "par" || w == "sect" || w == "page" || w == "column") { Flush(); FinishParagraph(true); return; }
    if (w == "line") { TextChar(QChar(0x2028)); return; }
    if (w == "tab") { TextChar(QChar('\t')); return; }
    if (w == "cell" || w == "nestcell") { Flush(); EndCell(); return; }
    if (w == "row" || w == "nestrow") { Flush(); EndRow(); return; }
    if (w == "u") {
      int v = p;
      if (v < 0) v += 65536;
      QChar q = (v < 0 || v > 0xFFFF || v == 0) ? QChar(0xFFFD) : QChar(static_cast<char16_t>(v));
      TextChar(q);
      skipChars_ = g.uc;
      return;
    }
    static const std::pair<const char*, char16_t> kChars[] = {
        {"emdash", 0x2014}, {"endash", 0x2013}, {"bullet", 0x2022}, {"lquote", 0x2018},
        {"rquote", 0x2019}, {"ldblquote", 0x201C}, {"rdblquote", 0x201D}, {"emspace", 0x2003},
        {"enspace", 0x2002}, {"qmspace", 0x2005}, {"zwj", 0x200D}, {"zwnj", 0x200C}};
    for (const auto& [name, code] : kChars) {
      if (w == name) {
        TextChar(QChar(code));
        return;
      }
    }

    Flush();
    if (w == "ansicpg") { if (p > 0) codepage_ = p; return; }
    if (w == "deff") { if (stack_.size() <= 2) { deff_ = p; for (auto& s : stack_) s.ch.font = p; } return; }
    if (w == "uc") { g.uc = std::clamp(p, 0, 10); return; }
    if (w == "plain") {
      QString href = ch.href;
      ch = CharState{};
      ch.font = deff_;
      ch.href = href;
      return;
    }
    if (w == "b") { ch.bold = on(); return; }
    if (w == "i") { ch.italic = on(); return; }
    if (w == "strike") { ch.strike = on(); ch.strikeDouble = false; return; }
    if (w == "striked") { ch.strike = on(); ch.strikeDouble = on(); return; }
    if (w == "v") { ch.hidden = on(); return; }
    if (w == "ul") { ch.underline = on() ? ulSingle : ulNone; return; }
    if (w == "ulnone") { ch.underline = ulNone; return; }
    if (w == "uldb") { ch.underline = on() ? ulDouble : ulNone; return; }
    if (w == "uld" || w == "uldash" || w == "uldashd" || w == "uldashdd" || w == "ulldash" ||
        w == "ulthd" || w == "ulthdash" || w == "ulthdashd" || w == "ulthdashdd" || w == "ulthldash") {
      ch.underline = on() ? (w == "uld" || w == "ulthd" ? ulDotted : ulDash) : ulNone;
      return;
    }
    if (w == "ulwave" || w == "ulhwave" || w == "ululdbwave") { ch.underline = on() ? ulWave : ulNone; return; }
    if (w == "ulw") { ch.underline = on() ? ulWord : ulNone; return; }
    if (w == "ulth") { ch.underline = on() ? ulThick : ulNone; return; }
    if (w == "fs") { ch.fs = (p > 0) ? std::clamp(p, 2, 3276) : 0; return; }
    if (w == "f") { ch.font = p; return; }
    if (w == "cf") { ch.cf = p; return; }
    if (w == "cb" || w == "chcbpat") { ch.cb = p; return; }
    if (w == "highlight") { ch.highlight = p; return; }
    if (w == "super") { ch.vertical = 1; return; }
    if (w == "sub") { ch.vertical = -1; return; }
    if (w == "nosupersub") { ch.vertical = 0; return; }
    if (w == "up") { ch.vertical = on() ? 1 : 0; return; }
    if (w == "dn") { ch.vertical = on() ? -1 : 0; return; }

    if (w == "pard") {
      pa = ParaState{};
      return;
    }
    if (w == "ql") { pa.align = 0; return; }
    if (w == "qc") { pa.align = 1; return; }
    if (w == "qr") { pa.align = 2; return; }
    if (w == "qj" || w == "qd") { pa.align = 3; return; }
    if (w == "li" || w == "lin") { pa.li = ClampTwips(p); return; }
    if (w == "ri" || w == "rin") { pa.ri = ClampTwips(p); return; }
    if (w == "fi") { pa.fi = ClampTwips(p); return; }
    if (w == "sb") { pa.sb = std::clamp(p, 0, 31680); return; }
    if (w == "sa") { pa.sa = std::clamp(p, 0, 31680); return; }
    if (w == "sl") { pa.sl = ClampTwips(p); return; }
    if (w == "slmult") { pa.slmult = on(); return; }
    if (w == "intbl") { pa.intbl = true; return; }
    if (w == "tqr") { pa.pendingTabKind = 2; return; }
    if (w == "tqc") { pa.pendingTabKind = 1; return; }
    if (w == "tqdec") { pa.pendingTabKind = 3; return; }
    if (w == "tx" || w == "tb") {
      if (pa.tabs.size() < 64 && p > 0) {
        QTextOption::Tab t;
        t.position = std::clamp(p, 0, 31680) / kTwipsPerPx;
        t.type = pa.pendingTabKind == 2 ? QTextOption::RightTab
                 : pa.pendingTabKind == 1 ? QTextOption::CenterTab
                 : pa.pendingTabKind == 3 ? QTextOption::DelimiterTab
                                          : QTextOption::LeftTab;
        if (pa.pendingTabKind == 3) t.delimiter = QChar('.');
        pa.tabs.append(t);
      }
      pa.pendingTabKind = 0;
      return;
    }

    // Table rows.
    if (w == "trowd") { cellDefs_.clear(); cellShading_ = -1; cellBorder_ = false; return; }
    if (w == "clcbpat") { cellShading_ = p; return; }
    if (w.substr(0, 6) == "clbrdr") { cellBorder_ = true; return; }
    if (w == "cellx") {
      if (cellDefs_.size() < 64) cellDefs_.push_back(CellDef{ClampTwips(p), cellShading_, cellBorder_});
      cellShading_ = -1;
      cellBorder_ = false;
      return;
    }
    if (w == "trgaph") { rowPadding_ = std::clamp(p, 0, 1440); return; }
    if (w == "trpaddl" || w == "trpaddr") { rowPadding_ = std::clamp(p, 0, 1440); return; }
    if (w == "trrh") { rowHeight_ = std::clamp(std::abs(p), 0, 31680); return; }
  }

  static int ClampTwips(int v) { return std::clamp(v, -31680, 31680); }

  // ---- text
  void TextByte(unsigned char c) {
    Group& g = G();
    if (g.dest == Dest::Skip) return;
    if (g.dest == Dest::Pict) {
      int h = Hex(static_cast<char>(c));
      if (h < 0) return;
      if (pict_.nibble < 0) {
        pict_.nibble = h;
      } else {
        char b = static_cast<char>(pict_.nibble * 16 + h);
        pict_.nibble = -1;
        AppendPictBytes(std::string_view(&b, 1));
      }
      return;
    }
    if (skipChars_ > 0) {
      --skipChars_;
      return;
    }
    TextByteRaw(c);
  }

  void TextByteRaw(unsigned char c) {
    Group& g = G();
    switch (g.dest) {
      case Dest::FontTbl:
        if (c == ';') {
          CommitFont();
        } else if (fontNum_ >= 0 && fontName_.size() < 256) {
          fontName_ += AnsiToQString(std::string_view(reinterpret_cast<const char*>(&c), 1));
        }
        return;
      case Dest::ColorTbl:
        if (c == ';') {
          if (colors_.size() < 4096) colors_.push_back(colorPending_ ? color_ : QColor());
          color_ = QColor(0, 0, 0);
          colorPending_ = false;
        }
        return;
      case Dest::FldInst:
        if (fldinst_.size() < 4096) fldinst_ += QChar(c);
        return;
      case Dest::BkmkStart:
        if (bookmark_.size() < 256) bookmark_ += AnsiToQString(std::string_view(reinterpret_cast<const char*>(&c), 1));
        return;
      case Dest::BkmkEnd: case Dest::Skip: case Dest::Pict: return;
      case Dest::Normal: break;
    }
    bytes_.push_back(static_cast<char>(c));
  }

  void TextChar(QChar q) {
    Group& g = G();
    if (g.dest == Dest::FldInst) {
      if (fldinst_.size() < 4096) fldinst_ += q;
      return;
    }
    if (g.dest == Dest::BkmkStart) {
      bookmark_ += q;
      return;
    }
    if (g.dest != Dest::Normal) return;
    DecodeBytes();
    run_ += q;
  }

  // Turns the gathered bytes into text by the code page of the run's font.
  void DecodeBytes() {
    if (bytes_.empty()) return;
    int cp = CodepageOfRun();
    if (cp == 42) {
      for (char b : bytes_) {
        unsigned char u = static_cast<unsigned char>(b);
        run_ += u == 0xB7 ? QChar(0x2022) : u == 0xA7 ? QChar(0x25AA) : u == 0xD8 ? QChar(0x27A2)
                : u == 0xFC ? QChar(0x2713) : QChar(u);
      }
    } else if (cp == 1252) {
      run_ += AnsiToQString(bytes_);
    } else {
      QStringDecoder* dec = DecoderFor(cp);
      if (dec) {
        run_ += dec->decode(QByteArrayView(bytes_.data(), static_cast<qsizetype>(bytes_.size())));
      } else {
        run_ += AnsiToQString(bytes_);
      }
    }
    bytes_.clear();
  }

  int CodepageOfRun() {
    const CharState& ch = G().ch;
    auto it = fonts_.find(ch.font);
    if (it != fonts_.end()) {
      if (it->second.charset == 2) return 42;
      if (it->second.codepage != 0 && it->second.charset != 0 && it->second.charset != 1) return it->second.codepage;
    }
    return codepage_ > 0 ? codepage_ : 1252;
  }

  QStringDecoder* DecoderFor(int cp) {
    auto it = decoders_.find(cp);
    if (it != decoders_.end()) return it->second.get();
    QByteArray name;
    switch (cp) {
      case 932: name = "Shift_JIS"; break;
      case 936: name = "GBK"; break;
      case 949: name = "EUC-KR"; break;
      case 950: name = "Big5"; break;
      case 874: name = "windows-874"; break;
      case 10000: name = "macintosh"; break;
      default: name = "windows-" + QByteArray::number(cp); break;
    }
    auto dec = std::make_unique<QStringDecoder>(name.constData());
    if (!dec->isValid()) dec.reset();
    QStringDecoder* raw = dec.get();
    decoders_[cp] = std::move(dec);
    return raw;
  }

  // Inserts the gathered run with the current character state.
  void Flush() {
    DecodeBytes();
    if (run_.isEmpty()) return;
    QString text = std::move(run_);
    run_.clear();
    const CharState& ch = G().ch;
    if (ch.hidden) {
      Hidden(text);
      return;
    }
    EnsureCellCursor();
    // Cells beyond what a table may hold are not shown.
    if (discard_) return;
    QTextCharFormat f = MakeFormat(ch);
    if (!pendingHidden_.isEmpty()) {
      f.setProperty(kPropHiddenBefore, pendingHidden_);
      pendingHidden_.clear();
    }
    if (!pendingBookmarks_.isEmpty()) {
      f.setAnchor(true);
      f.setAnchorNames(pendingBookmarks_);
      pendingBookmarks_.clear();
    }
    int start = cursor_.position();
    cursor_.insertText(text, f);
    anyText_ = true;
    if (ch.underline == ulDouble && ch.href.isEmpty()) {
      if (linkEnd_ != start) {
        linkStart_ = start;
        linkTarget_.clear();
        linkHasTarget_ = false;
      }
      linkEnd_ = cursor_.position();
    } else {
      linkStart_ = linkEnd_ = -1;
    }
  }

  // Hidden text: right after a double-underlined run it is that run's
  // target (a link); otherwise it stays with the next visible run.
  void Hidden(const QString& text) {
    if (linkStart_ >= 0 && linkEnd_ == cursor_.position()) {
      linkTarget_ += text;
      linkHasTarget_ = true;
      QTextCursor c(&doc_);
      c.setPosition(linkStart_);
      c.setPosition(linkEnd_, QTextCursor::KeepAnchor);
      QTextCharFormat f;
      f.setAnchor(true);
      f.setAnchorHref(linkTarget_);
      c.mergeCharFormat(f);
      return;
    }
    if (pendingHidden_.size() < (1 << 20)) pendingHidden_ += text;
  }

  QTextCharFormat MakeFormat(const CharState& ch) {
    QTextCharFormat f;
    // A font number beyond the table is the default font.
    auto it = fonts_.find(ch.font >= 0 ? ch.font : deff_);
    if (it == fonts_.end()) it = fonts_.find(deff_);
    if (it != fonts_.end() && !it->second.name.isEmpty() && it->second.charset != 2) {
      auto fam = familyCache_.find(it->second.name);
      if (fam == familyCache_.end()) fam = familyCache_.emplace(it->second.name, MapFontFamily(it->second.name)).first;
      f.setFontFamilies({fam->second});
      if (it->second.charset != 0) f.setProperty(kPropFontCharset, it->second.charset);
    }
    if (ch.fs > 0) f.setFontPointSize(ch.fs / 2.0);
    if (ch.bold) f.setFontWeight(QFont::Bold);
    if (ch.italic) f.setFontItalic(true);
    if (ch.strike) f.setFontStrikeOut(true);
    if (ch.strikeDouble) f.setProperty(kPropStrikeDouble, true);
    if (ch.underline != ulNone) {
      f.setProperty(kPropUnderlineKind, ch.underline);
      switch (ch.underline) {
        case ulDotted: f.setUnderlineStyle(QTextCharFormat::DotLine); break;
        case ulDash: f.setUnderlineStyle(QTextCharFormat::DashUnderline); break;
        case ulWave: f.setUnderlineStyle(QTextCharFormat::WaveUnderline); break;
        default: f.setFontUnderline(true); break;
      }
    }
    QColor fg = ColorAt(ch.cf);
    if (fg.isValid()) f.setForeground(fg);
    QColor bg = ColorAt(ch.highlight);
    if (!bg.isValid()) bg = ColorAt(ch.cb);
    if (bg.isValid()) f.setBackground(bg);
    if (ch.vertical > 0) f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    if (ch.vertical < 0) f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (!ch.href.isEmpty()) {
      f.setAnchor(true);
      f.setAnchorHref(ch.href);
    }
    return f;
  }

  // Colour 0 is the document's default colour (the owner's text colour);
  // an index beyond the table, or an "auto" entry, is the default too.
  QColor ColorAt(int index) const {
    if (index <= 0 || index >= static_cast<int>(colors_.size())) return QColor();
    return colors_[index];
  }

  QTextBlockFormat MakeBlockFormat(const ParaState& pa) const {
    QTextBlockFormat b;
    b.setAlignment(pa.align == 1 ? Qt::AlignHCenter : pa.align == 2 ? Qt::AlignRight
                   : pa.align == 3 ? Qt::AlignJustify : Qt::AlignLeft);
    if (pa.li) b.setLeftMargin(pa.li / kTwipsPerPx);
    if (pa.ri) b.setRightMargin(pa.ri / kTwipsPerPx);
    if (pa.fi) b.setTextIndent(pa.fi / kTwipsPerPx);
    if (pa.sb) b.setTopMargin(pa.sb / kTwipsPerPx);
    if (pa.sa) b.setBottomMargin(pa.sa / kTwipsPerPx);
    if (pa.sl != 0) {
      if (pa.slmult && pa.sl > 0) {
        b.setLineHeight(std::clamp(pa.sl * 100.0 / 240.0, 10.0, 1000.0), QTextBlockFormat::ProportionalHeight);
      } else if (pa.sl > 0) {
        b.setLineHeight(pa.sl / kTwipsPerPx, QTextBlockFormat::MinimumHeight);
      } else {
        b.setLineHeight(-pa.sl / kTwipsPerPx, QTextBlockFormat::FixedHeight);
      }
    }
    QList<QTextOption::Tab> tabs = pa.tabs;
    // A hanging indent without a tab stop of its own: the first tab goes
    // to the indent, as word processors do for bullets.
    if (pa.fi < 0 && pa.li > 0) {
      bool has = false;
      for (const auto& t : tabs) has = has || t.position <= pa.li / kTwipsPerPx + 0.5;
      if (!has) tabs.prepend(QTextOption::Tab(pa.li / kTwipsPerPx, QTextOption::LeftTab));
    }
    if (!tabs.isEmpty()) b.setTabPositions(tabs);
    return b;
  }

  // Ends the paragraph: its properties are those in force now.
  void FinishParagraph(bool newBlock) {
    const ParaState& pa = G().pa;
    if (newBlock) EnsureCellCursor();
    if (discard_) return;
    QTextBlockFormat bf = MakeBlockFormat(pa);
    if (!pendingHidden_.isEmpty()) {
      bf.setProperty(kPropHiddenAtEnd, pendingHidden_);
      pendingHidden_.clear();
    }
    if (!pendingBookmarks_.isEmpty()) {
      bf.setProperty(kPropBookmarksAtEnd, pendingBookmarks_);
      pendingBookmarks_.clear();
    }
    cursor_.setBlockFormat(bf);
    linkStart_ = linkEnd_ = -1;
    if (newBlock) {
      if (paragraphs_++ > 4000000) { done_ = true; return; }
      cursor_.insertBlock(bf, cursor_.charFormat());
    }
  }

  // ---- tables
  void EnsureCellCursor() {
    bool intbl = G().pa.intbl;
    if (!intbl) {
      discard_ = false;
      if (table_) {
        // Leaving the table: on to the block after it.
        cursor_.setPosition(table_->lastPosition() + 1);
        table_ = nullptr;
      }
      return;
    }
    if (!table_) {
      // The block before a table that holds nothing stays (Qt keeps one).
      int cols = std::max<int>(1, static_cast<int>(cellDefs_.size()));
      QTextTableFormat tf;
      tf.setCellSpacing(0);
      tf.setCellPadding(rowPadding_ > 0 ? rowPadding_ / kTwipsPerPx : 2);
      tf.setBorder(0);
      tf.setBorderCollapse(true);
      bool border = false;
      for (const auto& d : cellDefs_) border = border || d.border;
      if (border) {
        tf.setBorder(1);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderBrush(Qt::black);
      }
      QList<QTextLength> widths;
      int left = 0;
      for (const auto& d : cellDefs_) {
        widths << QTextLength(QTextLength::FixedLength, std::max(8.0, (d.right - left) / kTwipsPerPx));
        left = d.right;
      }
      if (!widths.isEmpty()) tf.setColumnWidthConstraints(widths);
      tf.setAlignment(Qt::AlignLeft);
      table_ = cursor_.insertTable(1, cols, tf);
      row_ = 0;
      col_ = 0;
      rowDone_ = false;
      ShadeRow();
      cursor_ = table_->cellAt(0, 0).firstCursorPosition();
      return;
    }
    if (rowDone_) {
      // A hostile row count cannot grow the table without bound: the rest
      // goes into the last row.
      if (static_cast<long long>(table_->rows()) * table_->columns() >= kMaxTableCells) {
        discard_ = true;
        return;
      }
      table_->appendRows(1);
      ++row_;
      col_ = 0;
      rowDone_ = false;
      int want = static_cast<int>(cellDefs_.size());
      if (want > table_->columns() && want <= 64) table_->appendColumns(want - table_->columns());
      ShadeRow();
      cursor_ = table_->cellAt(row_, 0).firstCursorPosition();
      return;
    }
    if (cellMove_) {
      cellMove_ = false;
      if (col_ >= table_->columns()) {
        if (table_->columns() >= 64) {
          discard_ = true;
          return;
        }
        table_->appendColumns(1);
      }
      discard_ = false;
      cursor_ = table_->cellAt(row_, col_).firstCursorPosition();
    }
  }

  void ShadeRow() {
    if (!table_) return;
    for (int i = 0; i < static_cast<int>(cellDefs_.size()) && i < table_->columns(); ++i) {
      QColor c = ColorAt(cellDefs_[i].shading);
      if (!c.isValid()) continue;
      QTextTableCell cell = table_->cellAt(row_, i);
      QTextCharFormat cf = cell.format();
      cf.setBackground(c);
      cell.setFormat(cf);
    }
  }

  void EndCell() {
    if (!G().pa.intbl && !table_) {
      // A \cell outside any row: treat it as a paragraph end.
      FinishParagraph(true);
      return;
    }
    if (!G().pa.intbl) G().pa.intbl = true;
    EnsureCellCursor();
    FinishParagraph(false);
    ++col_;
    cellMove_ = true;
  }

  void EndRow() {
    if (!table_) return;
    ShadeRow();
    rowDone_ = true;
    cellMove_ = false;
    col_ = 0;
  }

  // ---- pictures
  void AppendPictBytes(std::string_view b) {
    if (pict_.data.size() + b.size() > kMaxRtfPictureBytes) {
      pict_.overflow = true;
      return;
    }
    pict_.data.append(b);
  }

  void FinishPicture() {
    PictState p = std::move(pict_);
    pict_ = PictState{};
    if (p.overflow || p.data.empty() || G().dest != Dest::Normal) return;
    QImage img = DecodePicture(p);
    if (img.isNull()) return;
    double w = p.goalw > 0 ? p.goalw / kTwipsPerPx : img.width();
    double h = p.goalh > 0 ? p.goalh / kTwipsPerPx : img.height();
    w = w * std::clamp(p.scalex, 1, 1000) / 100.0;
    h = h * std::clamp(p.scaley, 1, 1000) / 100.0;
    EnsureCellCursor();
    if (discard_) return;
    QString name = QStringLiteral("rtfpict:%1").arg(++pictures_);
    doc_.addResource(QTextDocument::ImageResource, QUrl(name), img);
    QTextImageFormat f;
    f.setName(name);
    f.setWidth(std::clamp(w, 1.0, 16384.0));
    f.setHeight(std::clamp(h, 1.0, 16384.0));
    cursor_.insertImage(f);
    anyText_ = true;
  }

  QImage DecodePicture(PictState& p) {
    std::string_view data = p.data;
    if (p.kind == PictState::Wmf || p.kind == PictState::Emf) {
      std::string placeable;
      if (p.kind == PictState::Wmf) {
        // RTF holds the bare metafile: give it the placeable header our
        // player wants, its frame from \picw/\pich.
        int fw = std::clamp(p.picw > 0 ? p.picw : 1000, 1, 32767);
        int fh = std::clamp(p.pich > 0 ? p.pich : 1000, 1, 32767);
        int gw = p.goalw > 0 ? p.goalw : fw;
        int inch = std::clamp(static_cast<int>(static_cast<long long>(fw) * 1440 / std::max(1, gw)), 1, 65535);
        unsigned char h[22] = {0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0,
                               static_cast<unsigned char>(fw & 0xFF), static_cast<unsigned char>(fw >> 8),
                               static_cast<unsigned char>(fh & 0xFF), static_cast<unsigned char>(fh >> 8),
                               static_cast<unsigned char>(inch & 0xFF), static_cast<unsigned char>(inch >> 8),
                               0, 0, 0, 0, 0, 0};
        uint16_t sum = 0;
        for (int i = 0; i < 20; i += 2) sum ^= static_cast<uint16_t>(h[i] | (h[i + 1] << 8));
        h[20] = sum & 0xFF;
        h[21] = sum >> 8;
        placeable.assign(reinterpret_cast<const char*>(h), 22);
        placeable.append(data);
        data = placeable;
      }
      TMetaHeader mh;
      if (!ReadMetaHeader(data, mh)) return {};
      int w = p.goalw > 0 ? p.goalw / 15 : mh.width;
      int h = p.goalh > 0 ? p.goalh / 15 : mh.height;
      if (!ImageSizeAllowed(w, h, 32)) return {};
      QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
      img.fill(Qt::transparent);
      QPainter painter(&img);
      PlayMetafile(data, mh, painter, QRectF(0, 0, w, h));
      return img;
    }
    TIOFileType type = FileTypeFromContent(data);
    if (type == TIOFileType::Unknown && p.kind == PictState::Dib) {
      // A packed DIB: a BMP without its file header.
      std::string bmp("BM", 2);
      uint32_t size = static_cast<uint32_t>(14 + data.size());
      uint32_t hdr = data.size() >= 4 ? GetU32LE(reinterpret_cast<const unsigned char*>(data.data())) : 40;
      uint32_t off = 14 + hdr;  // palettes follow the header; the BMP decoder reads them by count
      for (uint32_t v : {size, 0u, off}) {
        for (int i = 0; i < 4; ++i) bmp.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
      }
      bmp.append(data);
      p.data = std::move(bmp);
      data = p.data;
      type = TIOFileType::Bmp;
    }
    if (type == TIOFileType::Unknown || type == TIOFileType::Wmf || type == TIOFileType::Emf) return {};
    TIOParamsVals params;
    TVLBitmap bitmap, alpha;
    if (!DecodeByType(type, data, params, bitmap, alpha, false) || bitmap.IsNull()) return {};
    QImage img = bitmap.Image().convertToFormat(QImage::Format_ARGB32);
    if (!alpha.IsNull() && alpha.Image().size() == img.size()) img.setAlphaChannel(alpha.Image());
    return img;
  }

  // ---- fields
  static QString HyperlinkTarget(const QString& inst) {
    QString s = inst.trimmed();
    if (!s.startsWith(QLatin1String("HYPERLINK"), Qt::CaseInsensitive)) return {};
    s = s.mid(9).trimmed();
    QString url, local;
    while (!s.isEmpty()) {
      if (s.startsWith('\\')) {
        QChar sw = s.size() > 1 ? s[1] : QChar();
        s = s.mid(2).trimmed();
        QString arg = TakeArg(s);
        if (sw == 'l') local = arg;
        continue;
      }
      QString arg = TakeArg(s);
      if (url.isEmpty()) url = arg;
      if (arg.isEmpty()) break;
    }
    if (!local.isEmpty()) return url.isEmpty() ? QStringLiteral(":") + local : url + '#' + local;
    // A link to a place in the same text is a jump to its bookmark.
    if (url.startsWith('#') && url.size() > 1) return QStringLiteral(":") + url.mid(1);
    return url;
  }

  static QString TakeArg(QString& s) {
    s = s.trimmed();
    QString arg;
    if (s.startsWith('"')) {
      int end = s.indexOf('"', 1);
      if (end < 0) end = static_cast<int>(s.size());
      arg = s.mid(1, end - 1);
      s = s.mid(end + 1);
    } else {
      int end = static_cast<int>(s.indexOf(' '));
      if (end < 0) end = static_cast<int>(s.size());
      arg = s.left(end);
      s = s.mid(end);
    }
    s = s.trimmed();
    return arg;
  }

  std::string_view in_;
  size_t pos_ = 0;
  QTextDocument& doc_;
  QTextCursor cursor_;
  std::vector<Group> stack_;
  int overflowDepth_ = 0;
  bool done_ = false;
  bool anyText_ = false;
  int skipChars_ = 0;
  int codepage_ = 1252;
  int deff_ = -1;
  std::string bytes_;
  QString run_;
  std::map<int, FontEntry> fonts_;
  std::unordered_map<QString, QString> familyCache_;
  int fontNum_ = -1;
  FontEntry fontEntry_;
  QString fontName_;
  std::vector<QColor> colors_;
  QColor color_{0, 0, 0};
  bool colorPending_ = false;
  std::map<int, std::unique_ptr<QStringDecoder>> decoders_;
  QString fldinst_;
  QString bookmark_;
  QStringList pendingBookmarks_;
  QString pendingHidden_;
  int linkStart_ = -1, linkEnd_ = -1;
  QString linkTarget_;
  bool linkHasTarget_ = false;
  PictState pict_;
  int pictures_ = 0;
  long long paragraphs_ = 0;
  // tables
  QTextTable* table_ = nullptr;
  int row_ = 0, col_ = 0;
  bool rowDone_ = false, cellMove_ = false, discard_ = false;
  std::vector<CellDef> cellDefs_;
  int cellShading_ = -1;
  bool cellBorder_ = false;
  int rowPadding_ = 0, rowHeight_ = 0;
};

}  // namespace

void ReadRtf(std::string_view rtf, QTextDocument& doc) {
  Reader r(rtf, doc);
  r.Run();
}

}  // namespace vl
