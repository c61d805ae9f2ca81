#pragma once
// The input mask of edit fields (EDITMASK=). A mask has up to three fields
// separated by ";": the mask itself, "0" when the literals are not part of
// the field's value (anything else or nothing: they are), and the blank
// character shown in unfilled places ("_" when not given).
//
// Mask characters (every other character is a literal shown as it stands):
//   L  a letter, required          l  a letter, optional
//   A  a letter or digit, required a  a letter or digit, optional
//   C  any character, required     c  any character, optional
//   0  a digit, required           9  a digit, optional
//   #  a digit, "+" or "-", optional
//   >  what follows is upper-cased <  what follows is lower-cased
//   <> what follows is left as typed
//   \  the next character is a literal
//   _  a literal blank
//   !  (anywhere) a value shorter than the places fills them from the end,
//      and unfilled places are trimmed from the front of the value rather
//      than from its end
//
// The field shows one character per place: literals, typed characters and
// the blank character where nothing was typed. A field is valid when every
// required place is filled.
#include <cstddef>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

namespace vl {

class TEditMask {
 public:
  // Reads a mask; an empty mask (or one of no places) masks nothing.
  explicit TEditMask(std::string_view mask = {});

  bool Empty() const { return places_.empty(); }
  char Blank() const { return blank_; }
  bool SaveLiterals() const { return saveLiterals_; }
  size_t Size() const { return places_.size(); }
  bool IsLiteral(size_t pos) const { return pos < places_.size() && places_[pos].kind == 0; }

  // What an empty field shows.
  AnsiString EmptyDisplay() const;
  // Types `c` into the next place at or after `cursor`; the cursor moves
  // past it and the literals that follow. A character that does not fit
  // there but equals a literal further on moves the cursor past that
  // literal. False when neither (nothing changes).
  bool Type(AnsiString& display, size_t& cursor, char c) const;
  // Blanks the place before the cursor and moves there.
  void Backspace(AnsiString& display, size_t& cursor) const;
  // Blanks the first place at or after the cursor.
  void Delete(AnsiString& display, size_t cursor) const;
  // Blanks the places in [from, to).
  void Clear(AnsiString& display, size_t from, size_t to) const;
  // The first place at or after `pos` that takes a character (Size() when
  // none).
  size_t NextPlace(size_t pos) const;

  bool Valid(const AnsiString& display) const;
  // The field's value: empty when nothing was typed; else blanks become
  // spaces, literals are dropped unless saved, and without saved literals
  // the unfilled end (the front with "!") is trimmed.
  AnsiString ValueOf(const AnsiString& display) const;
  // What the field shows for a value (characters that do not fit their
  // place stay blank).
  AnsiString DisplayOf(std::string_view value) const;

 private:
  struct Place {
    char kind = 0;  // 0 literal, else the mask character
    char literal = 0;
    uint8_t caseMode = 0;  // 0 as typed, 1 upper, 2 lower
    bool required = false;
  };
  bool Fits(const Place& p, char c, char& stored) const;

  std::vector<Place> places_;
  char blank_ = '_';
  bool saveLiterals_ = true;
  bool fromEnd_ = false;  // "!"
};

}  // namespace vl
