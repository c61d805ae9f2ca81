// The edit fields' input masks: reading a mask and editing a field through
// it one key at a time.
#include "objects/EditMask.h"

namespace vl {

namespace {

bool IsLetter(unsigned char c) { return FoldByte(c) != c || UpperByte(c) != c; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

}  // namespace

TEditMask::TEditMask(std::string_view mask) {
  // The fields: ";" ends one unless it follows "\".
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (size_t i = 0; i < mask.size(); ++i) {
    if (mask[i] == '\\') {
      ++i;
    } else if (mask[i] == ';' && fields.size() < 2) {
      fields.push_back(mask.substr(start, i - start));
      start = i + 1;
    }
  }
  fields.push_back(mask.substr(start));
  if (fields.size() >= 2) saveLiterals_ = !(fields[1].size() == 1 && fields[1][0] == '0');
  if (fields.size() >= 3 && !fields[2].empty()) blank_ = fields[2][0];

  const std::string_view m = fields[0];
  uint8_t caseMode = 0;
  bool anyPlace = false;
  for (size_t i = 0; i < m.size(); ++i) {
    const char c = m[i];
    Place p;
    switch (c) {
      case '!': fromEnd_ = true; continue;
      case '>':
        if (i + 1 < m.size() && m[i + 1] == '<') {
          caseMode = 0;
          ++i;
        } else {
          caseMode = 1;
        }
        continue;
      case '<':
        if (i + 1 < m.size() && m[i + 1] == '>') {
          caseMode = 0;
          ++i;
        } else {
          caseMode = 2;
        }
        continue;
      case '\\':
        if (i + 1 >= m.size()) continue;
        p.literal = m[++i];
        break;
      case '_': p.literal = ' '; break;
      case 'L': case 'A': case 'C': case '0':
        p.kind = c;
        p.required = true;
        break;
      case 'l': case 'a': case 'c': case '9': case '#':
        p.kind = c;
        break;
      default: p.literal = c; break;
    }
    p.caseMode = caseMode;
    anyPlace = anyPlace || p.kind != 0;
    places_.push_back(p);
  }
  // Literals alone mask nothing: there is nowhere to type.
  if (!anyPlace) places_.clear();
}

bool TEditMask::Fits(const Place& p, char ch, char& stored) const {
  const auto c = static_cast<unsigned char>(ch);
  bool ok = false;
  switch (p.kind) {
    case 'L': case 'l': ok = IsLetter(c); break;
    case 'A': case 'a': ok = IsLetter(c) || IsDigit(c); break;
    case 'C': case 'c': ok = c >= ' '; break;
    case '0': case '9': ok = IsDigit(c); break;
    case '#': ok = IsDigit(c) || c == '+' || c == '-'; break;
    default: break;
  }
  if (!ok) return false;
  stored = static_cast<char>(p.caseMode == 1 ? UpperByte(c) : p.caseMode == 2 ? FoldByte(c) : c);
  return true;
}

AnsiString TEditMask::EmptyDisplay() const {
  AnsiString s;
  for (const Place& p : places_) s += p.kind ? blank_ : p.literal;
  return s;
}

size_t TEditMask::NextPlace(size_t pos) const {
  while (pos < places_.size() && places_[pos].kind == 0) ++pos;
  return pos;
}

bool TEditMask::Type(AnsiString& display, size_t& cursor, char c) const {
  if (display.size() != places_.size()) display = DisplayOf(ValueOf(display));
  if (cursor < places_.size() && places_[cursor].kind == 0 && places_[cursor].literal == c) {
    cursor = NextPlace(cursor + 1);
    return true;
  }
  const size_t at = NextPlace(cursor);
  char stored = 0;
  if (at < places_.size() && Fits(places_[at], c, stored)) {
    display[at] = stored;
    cursor = NextPlace(at + 1);
    return true;
  }
  // A separator typed early ("1/" for "00/00") moves on past it.
  for (size_t i = cursor; i < places_.size(); ++i)
    if (places_[i].kind == 0 && places_[i].literal == c) {
      cursor = NextPlace(i + 1);
      return true;
    }
  return false;
}

void TEditMask::Backspace(AnsiString& display, size_t& cursor) const {
  size_t at = cursor > places_.size() ? places_.size() : cursor;
  while (at > 0) {
    --at;
    if (places_[at].kind != 0) {
      if (at < display.size()) display[at] = blank_;
      cursor = at;
      return;
    }
  }
}

void TEditMask::Delete(AnsiString& display, size_t cursor) const {
  const size_t at = NextPlace(cursor);
  if (at < places_.size() && at < display.size()) display[at] = blank_;
}

void TEditMask::Clear(AnsiString& display, size_t from, size_t to) const {
  for (size_t i = from; i < to && i < places_.size() && i < display.size(); ++i)
    if (places_[i].kind != 0) display[i] = blank_;
}

bool TEditMask::Valid(const AnsiString& display) const {
  for (size_t i = 0; i < places_.size(); ++i)
    if (places_[i].required && (i >= display.size() || display[i] == blank_)) return false;
  return true;
}

AnsiString TEditMask::ValueOf(const AnsiString& display) const {
  bool any = false;
  for (size_t i = 0; i < places_.size() && i < display.size(); ++i)
    if (places_[i].kind != 0 && display[i] != blank_) any = true;
  if (!any) return {};
  AnsiString out;
  for (size_t i = 0; i < places_.size() && i < display.size(); ++i) {
    if (places_[i].kind == 0) {
      if (saveLiterals_) out += display[i];
    } else {
      out += display[i] == blank_ ? ' ' : display[i];
    }
  }
  if (!saveLiterals_) {
    if (fromEnd_) {
      out.erase(0, out.find_first_not_of(' '));
    } else {
      const size_t last = out.find_last_not_of(' ');
      out.erase(last == AnsiString::npos ? 0 : last + 1);
    }
  }
  return out;
}

AnsiString TEditMask::DisplayOf(std::string_view value) const {
  AnsiString display = EmptyDisplay();
  auto put = [&](size_t at, char c) {
    char stored = 0;
    if (c != ' ' && c != blank_ && Fits(places_[at], c, stored)) display[at] = stored;
  };
  if (saveLiterals_) {
    // One value character per place, literals included.
    for (size_t i = 0; i < places_.size() && i < value.size(); ++i)
      if (places_[i].kind != 0) put(i, value[i]);
    return display;
  }
  std::vector<size_t> slots;
  for (size_t i = 0; i < places_.size(); ++i)
    if (places_[i].kind != 0) slots.push_back(i);
  size_t first = 0;
  if (fromEnd_ && value.size() < slots.size()) first = slots.size() - value.size();
  for (size_t k = 0; k < value.size() && first + k < slots.size(); ++k) put(slots[first + k], value[k]);
  return display;
}

}  // namespace vl
