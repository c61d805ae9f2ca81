#include "runtime/Publication.h"

#include <cstring>

namespace vl {
namespace {

constexpr const char* kLanguageNames[kLanguageStringCount] = {
    "L_OK",           "L_CANCEL",        "L_YES",          "L_NO",
    "L_CLOSE",        "L_ERRORTITLE",    "L_FINDTITLE",    "L_FINDPROMPT",
    "L_FINDFIRST",    "L_FINDNEXT",      "L_FINDERROR",    "L_PWORDTITLE",
    "L_PWORDMSG",     "L_PWORDPROMPT",   "L_PWORDERROR",   "L_MEDIAERROR",
    "L_INTERNETERROR", "L_ABORTFUNCTION", "L_EXTRACTERROR", "L_INSTDIRPROMPT",
    "L_INSTFOLDERPROMPT", "L_INSTRUNPROMPT", "L_INSTDISKPROMPT", "L_INSTDISKERROR",
    "L_INSTGENERROR", "L_INSTEXITPROMPT", "L_INSTWINTITLE", "L_INSTPROGTITLE",
    "L_INSTSUBTITLE", "L_SENDEMAIL",     "L_MAILSERVER",   "L_COPY",
    "L_SELECTALL",    "L_DONWLOADFILE",  "L_PLEASEWAIT",
};

constexpr const char* kObjectClassNames[] = {
    "TVellionArticle",     "TVellionPushBtn",   "TVellionPicture",  "TVellionRect",
    "TVellionCircle",      "TVellionLine",      "TVellionText",     "TVellionEditField",
    "TVellionListBox",     "TVellionComboBox",  "TVellionCheckBox", "TVellionRadioBtn",
    "TVellionWebBrowser",  "TVellionTimer",     "TVellionTrackBar", "TVellionRoundRect",
    "TVellionMediaPlayer", "TVellionAnimator",  "TVellionGroup",    "TVellionContainer",
    "TVellionFlash",       "TVellionPolygon",   "TVellionLinkedArticle",
};
static_assert(sizeof kObjectClassNames / sizeof kObjectClassNames[0] == kLastObjectType - kFirstObjectType + 1);

constexpr TColor Rgb(int r, int g, int b) {
  return static_cast<TColor>(r) | (static_cast<TColor>(g) << 8) | (static_cast<TColor>(b) << 16);
}

TPalette MakeStandardPalette() {
  TPalette p{};
  // The 20 colours the system reserves: 10 at the start, 10 at the end.
  const TColor low[10] = {Rgb(0, 0, 0),       Rgb(128, 0, 0),   Rgb(0, 128, 0),   Rgb(128, 128, 0),
                          Rgb(0, 0, 128),     Rgb(128, 0, 128), Rgb(0, 128, 128), Rgb(192, 192, 192),
                          Rgb(192, 220, 192), Rgb(166, 202, 240)};
  const TColor high[10] = {Rgb(255, 251, 240), Rgb(160, 160, 164), Rgb(128, 128, 128), Rgb(255, 0, 0),
                           Rgb(0, 255, 0),     Rgb(255, 255, 0),   Rgb(0, 0, 255),     Rgb(255, 0, 255),
                           Rgb(0, 255, 255),   Rgb(255, 255, 255)};
  for (int i = 0; i < 10; ++i) {
    p[i] = low[i];
    p[246 + i] = high[i];
  }
  // The 6 x 6 x 6 colour cube, then a grey ramp between its greys.
  int k = 10;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) p[k++] = Rgb(r * 51, g * 51, b * 51);
  for (int i = 0; k < 246; ++i, ++k) {
    int v = 8 + i * 12;  // 20 greys from 8 to 236
    p[k] = Rgb(v, v, v);
  }
  return p;
}

inline unsigned char AsciiUpper(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(static_cast<unsigned char>(a[i])) != AsciiUpper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace

const TPalette& StandardPalette() {
  static const TPalette palette = MakeStandardPalette();
  return palette;
}

const char* ObjectClassName(int objectType) {
  if (objectType < kFirstObjectType || objectType > kLastObjectType) return nullptr;
  return kObjectClassNames[objectType - kFirstObjectType];
}

const char* TLanguageStrings::Name(int index) {
  if (index < 0 || index >= kLanguageStringCount) return "";
  return kLanguageNames[index];
}

int TLanguageStrings::IndexOf(std::string_view name) {
  if (!name.empty() && name.back() == '=') name.remove_suffix(1);
  if (name.size() >= 2 && (name[0] == 'L' || name[0] == 'l') && name[1] == '_') name.remove_prefix(2);
  for (int i = 0; i < kLanguageStringCount; ++i)
    if (SameAscii(name, std::string_view(kLanguageNames[i]).substr(2))) return i;
  return -1;
}

const AnsiString& TLanguageStrings::ByName(std::string_view name) const {
  static const AnsiString empty;
  int i = IndexOf(name);
  return i < 0 ? empty : text[static_cast<size_t>(i)];
}

const TObjectKey* TObjectRecord::Find(TPubKey id) const {
  for (auto it = keys.rbegin(); it != keys.rend(); ++it)
    if (it->id == id) return &*it;
  return nullptr;
}

std::string_view TObjectRecord::Name() const {
  const TObjectKey* k = Find(TPubKey::Name);
  return k ? k->raw : std::string_view();
}

std::string_view TTextStore::Add(std::string_view text) {
  bytes_ += text.size();
  if (text.empty()) return {};
  if (text.size() > kBlock / 4) {
    // A large value (a whole RTF text) gets a block of its own, kept before
    // the current small block so that block's free room stays usable.
    auto big = std::make_unique<char[]>(text.size());
    std::memcpy(big.get(), text.data(), text.size());
    std::string_view v(big.get(), text.size());
    blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, std::move(big));
    return v;
  }
  if (text.size() > left_) {
    blocks_.push_back(std::make_unique<char[]>(kBlock));
    next_ = blocks_.back().get();
    left_ = kBlock;
  }
  std::memcpy(next_, text.data(), text.size());
  std::string_view v(next_, text.size());
  next_ += text.size();
  left_ -= text.size();
  return v;
}

int TPublication::FindPage(std::string_view name) const {
  for (size_t i = 0; i < pages.size(); ++i)
    if (SameTextAnsi(pages[i].name, name)) return static_cast<int>(i);
  return -1;
}

int32_t ReadPublicationInteger(std::string_view v) {
  size_t i = 0;
  const size_t n = v.size();
  while (i < n && v[i] == ' ') ++i;
  bool neg = false;
  if (i < n && (v[i] == '+' || v[i] == '-')) {
    neg = v[i] == '-';
    ++i;
  }
  uint32_t base = 10;
  if (i < n && (v[i] == '$' || v[i] == 'x' || v[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < n && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  uint32_t acc = 0;
  for (; i < n; ++i) {
    const char c = v[i];
    uint32_t d;
    if (c >= '0' && c <= '9')
      d = static_cast<uint32_t>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = static_cast<uint32_t>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = static_cast<uint32_t>(c - 'A' + 10);
    else
      break;
    acc = acc * base + d;  // wraps at 32 bits
  }
  if (neg && i == n) acc = 0u - acc;
  return static_cast<int32_t>(acc);
}

bool ReadPublicationYesNo(std::string_view value) { return SameAscii(value, "Yes"); }

void ReadPagePalette(std::string_view value, TPalette& palette) {
  size_t pos = 0;
  for (auto& entry : palette) {
    const size_t blank = value.find(' ', pos);
    if (blank == std::string_view::npos) {
      entry = 0;
      pos = value.size();
      continue;
    }
    int32_t number = 0;
    if (!StrToIntStrict(value.substr(pos, blank - pos), number)) number = 0;
    entry = static_cast<TColor>(number) & 0xFFFFFF;
    pos = blank + 1;
  }
}

void ApplyPublicationGlobals(const TPublicationSettings& s) {
  ProcessValues& g = Globals();
  g.dialogFontName = s.customFontName;
  g.dialogFontSize = s.customFontSize;
  g.dialogFontStyle = s.customFontStyle;
  g.dialogFontCharset = s.customCharset;
  g.linkColor = s.linkColor;
  g.showMarquee = s.showMarquee;
  g.publicationColorCount = s.screenColors;
}

}  // namespace vl
