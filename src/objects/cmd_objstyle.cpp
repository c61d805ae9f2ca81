// How an object looks: SetObjectFill, SetObjectLine and SetObjectFont.
// Each word that cannot be read leaves its property as it was.
#include <array>

#include "actions/CommandApi.h"
#include "actions/Vars.h"
#include "objects/ObjArticle.h"
#include "objects/ObjButtons.h"
#include "objects/ObjCommands.h"
#include "objects/ObjLists.h"
#include "objects/ObjText.h"
#include "runtime/Global.h"

namespace vl {
namespace {

constexpr int kMaxCommandLineWidth = 100;

TVellionObj* FoundAndCleared(CommandContext& c) {
  TFoundObject f = CommandObject(c);
  if (f) SetLastError("");
  return f.object;
}

// A colour argument: empty or unreadable leaves `colour` as it is.
bool ReadColour(std::string_view text, TColor& colour) {
  if (text.empty()) return false;
  TColor c = 0;
  if (!ParseColor(text, c)) return false;
  colour = c;
  return true;
}

void DoSetObjectFill(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  const bool colour = ReadColour(c.Arg(2), obj->FillColor);
  const AnsiString& patternText = c.Arg(3);
  int pattern = -1;
  if (SameTextInvariant(patternText, "Solid"))
    pattern = 0;
  else if (SameTextInvariant(patternText, "Hollow"))
    pattern = 1;
  else
    pattern = WholeNumberOr(patternText, -1);
  if (pattern >= 0 && pattern <= 48) obj->SetFillPattern(pattern);
  const AnsiString& transparent = c.Arg(4);
  if (IsTrueWord(transparent))
    obj->SetTransparent(true);
  else if (IsFalseWord(transparent))
    obj->SetTransparent(false);
  if (colour) obj->FillChanged();
  RedrawObject(obj);
}

void DoSetObjectLine(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  ReadColour(c.Arg(2), obj->LineColor);
  // A width that is not a number counts as 0, and 0 is a width.
  const int width = WholeNumberOr(c.Arg(3), 0);
  if (width >= 0 && width <= kMaxCommandLineWidth) obj->SetLineWidth(width);
  const int style = WholeNumberOr(c.Arg(4), -1);
  if (style >= vlpsSolid && style <= vlpsSunken) {
    obj->LineStyle = static_cast<TVellionPenStyle>(style);
    // Dashes are drawn one pixel wide.
    if (style >= vlpsDash && style <= vlpsDashDotDot) obj->SetLineWidth(1);
  }
  obj->LineChanged();
  RedrawObject(obj);
}

int CharsetFromText(std::string_view text) {
  struct Named {
    const char* name;
    int value;
  };
  static const std::array<Named, 18> kSets = {{{"ANSI_CHARSET", 0},
                                               {"DEFAULT_CHARSET", 1},
                                               {"SYMBOL_CHARSET", 2},
                                               {"MAC_CHARSET", 77},
                                               {"SHIFTJIS_CHARSET", 128},
                                               {"HANGEUL_CHARSET", 129},
                                               {"JOHAB_CHARSET", 130},
                                               {"GB2312_CHARSET", 134},
                                               {"CHINESEBIG5_CHARSET", 136},
                                               {"GREEK_CHARSET", 161},
                                               {"TURKISH_CHARSET", 162},
                                               {"HEBREW_CHARSET", 177},
                                               {"ARABIC_CHARSET", 178},
                                               {"BALTIC_CHARSET", 186},
                                               {"RUSSIAN_CHARSET", 204},
                                               {"THAI_CHARSET", 222},
                                               {"EASTEUROPE_CHARSET", 238},
                                               {"OEM_CHARSET", 255}}};
  for (const Named& n : kSets)
    if (SameTextInvariant(text, n.name)) return n.value;
  return WholeNumberOr(text, 1) & 0xFF;
}

void DoSetObjectFont(CommandContext& c) {
  TVellionObj* obj = FoundAndCleared(c);
  if (!obj) return;
  const AnsiString &name = c.Arg(3), &styleText = c.Arg(5), &charset = c.Arg(6);
  const bool colour = ReadColour(c.Arg(2), obj->FontColor);
  const int size = WholeNumberOr(c.Arg(4), -1);
  if (name.empty() && styleText.empty() && charset.empty() && size < 1) {
    if (colour) {
      if (auto* t = dynamic_cast<TVellionText*>(obj)) t->ReloadText();
      RedrawObject(obj);
    }
    return;
  }
  // A chain of linked articles has one font: its first article's.
  TVellionObj* target = obj;
  auto* linked = dynamic_cast<TVellionLinkedArticle*>(obj);
  if (linked) target = linked = linked->First();
  if (!name.empty()) target->FontName = name;
  if (size >= 1) target->FontSize = size;
  const int style = FontStyleFromWords(styleText);
  const bool styleDiffered = style != target->FontStyle;
  target->FontStyle = style;
  if (!charset.empty()) target->FontCharset = CharsetFromText(charset);

  if (linked) {
    linked->FlowChain();
    return;
  }
  if (auto* a = dynamic_cast<TVellionArticle*>(target)) {
    // The article reloads its text in the new font; it redraws itself.
    a->OverrideFont = true;
    a->Reload(false);
    return;
  }
  if (auto* t = dynamic_cast<TVellionText*>(target)) {
    t->ChangeFont(styleDiffered ? 2 : 1);
  } else if (auto* b = dynamic_cast<TVellionButton*>(target)) {
    b->FontChanged();
  } else if (auto* combo = dynamic_cast<TVellionComboBox*>(target)) {
    combo->LineChanged();  // its height follows the font
  }
  RedrawObject(target);
}

const CommandBinder kBind{{cmd::SetObjectFill, DoSetObjectFill},
                          {cmd::SetObjectLine, DoSetObjectLine},
                          {cmd::SetObjectFont, DoSetObjectFont}};

}  // namespace
}  // namespace vl
