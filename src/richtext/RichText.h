#pragma once
// TVelRichText: the rich-text document every text surface of the player
// shares (text objects, articles, text windows, printed text, find). It
// holds one story read from RTF or plain text and offers what those
// surfaces do with it: lay it out in a box, paint a scrolled part of it,
// hit-test links, search it, show variables in merge fields, hand the part
// that does not fit a box on to the next box, and write it back as RTF.
//
// The story lives in a QTextDocument. Hidden text (RTF \v) is kept out of
// the laid-out text, so it is never searched, selected or painted: the
// target of a link is carried by the link, other hidden text by the run that
// follows it, and both are written back.
#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "runtime/Ansi.h"

class QPainter;
class QTextDocument;

namespace vl {

// Where a link was hit: its visible text and its target (an URL, an action
// text, or ":" and a bookmark name).
struct TRichLink {
  QString text;
  QString target;
  bool valid() const { return !text.isEmpty() || !target.isEmpty(); }
};

// A match of Find: the range of document positions it covers.
struct TRichMatch {
  int start = -1;
  int length = 0;
  bool found() const { return start >= 0; }
};

class TVelRichText {
 public:
  TVelRichText();
  ~TVelRichText();
  TVelRichText(const TVelRichText&) = delete;
  TVelRichText& operator=(const TVelRichText&) = delete;

  // --- loading. Each replaces the story; RTF is recognised by its "{\rtf"
  // start, anything else is plain text (Windows-1252, CR LF or LF lines).
  void LoadText(std::string_view bytes);
  // False when the file could not be read (the story is then empty).
  bool LoadFile(const QString& path);
  void Clear();
  // The font and colour of text that names none (the object's font; RTF
  // colour 0 and "auto").
  void SetDefaultFont(const QFont& font);
  void SetDefaultColor(const QColor& color);
  QColor DefaultColor() const;
  // Links are drawn in this colour (text and underline).
  void SetLinkColor(const QColor& color);

  // --- saving
  AnsiString SaveRtf() const;
  // The visible text, paragraphs separated by CR LF (merge fields show
  // their current text).
  QString PlainText() const;

  // --- layout. The box is in pixels; with word wrap off lines run on
  // beyond the width. Page margins and paper width of the RTF play no part.
  void SetBox(QSizeF box, bool wordWrap);
  QSizeF Box() const { return box_; }
  bool WordWrap() const { return wordWrap_; }
  // The laid-out size of the whole story.
  QSizeF ContentSize() const;
  // Left inset of the text inside the box (articles use 4).
  void SetLeftOffset(int px);

  // --- painting: the box's part of the story starting at the scroll
  // position, over whatever the painter already holds (transparent).
  void Paint(QPainter& p, const QRectF& target) const;

  // --- scrolling (pixels from the top / left of the story)
  int ScrollY() const { return scrollY_; }
  int ScrollX() const { return scrollX_; }
  void ScrollTo(int x, int y);
  // Scrolls by whole lines (negative up); returns whether it moved.
  bool ScrollLines(int lines);
  int MaxScrollY() const;
  int MaxScrollX() const;

  // --- links. `pos` is in box coordinates (scroll applied here).
  TRichLink LinkAt(QPointF pos) const;
  // Bookmarks: the document position of a bookmark, -1 when absent.
  int BookmarkPosition(const QString& name) const;
  std::vector<QString> Bookmarks() const;
  // Scrolls so that the line holding `position` is at the top.
  void ScrollToPosition(int position);

  // --- search. `pattern` may hold "*" for any run of characters; the
  // search starts at `from` (a document position) and moves forward.
  TRichMatch Find(const QString& pattern, int from, bool caseSensitive) const;
  // The selection shown (and copied); an empty range clears it.
  void Select(int start, int length);
  TRichMatch Selection() const { return selection_; }
  // The selected text with hidden text left out (it is never in the story).
  QString SelectedText() const;
  void SelectAll();
  // The story's visible text from `start` for `length` positions.
  QString TextRange(int start, int length) const;

  // --- merge fields. Turns every "[...]" piece with balanced brackets into
  // a field named by the piece in upper case; returns how many. The field
  // shows `FieldText(name)`, asked again by RefreshFields.
  using FieldTextFn = std::function<QString(const QString& name)>;
  void SetFieldText(FieldTextFn fn);
  int BuildMergeFields();
  std::vector<QString> FieldNames() const;
  // Whether a field name contains `upperName` (upper case).
  bool HasFieldWith(const QString& upperName) const;
  void RefreshFields();

  // --- flow through boxes: keeps the part of the story that fits this
  // box and returns the rest as a new story (null when all of it fits).
  // A table is moved whole unless it alone is taller than the box.
  std::unique_ptr<TVelRichText> SplitAtBox();

  // --- whole-text formatting (the object's font change): sets the family
  // and point size of every run; bold/italic/underline/strike replace the
  // run's own when `replaceStyles`, else are added.
  void ApplyFontToAll(const QFont& font, bool replaceStyles);

  // The document underneath, for painting and printing services that need
  // Qt's own objects (the paged printing layout).
  QTextDocument* Document() const;

  // Cursor-free positions: the document position under a box point, -1
  // when outside the text.
  int PositionAt(QPointF pos) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> d_;
  QSizeF box_{600, 400};
  bool wordWrap_ = true;
  int scrollX_ = 0, scrollY_ = 0;
  TRichMatch selection_;
  void Relayout();
};

// Reads RTF into `doc` (replacing it). Never throws; damaged input gives
// what could be read. Public for the fuzz target and tests.
void ReadRtf(std::string_view rtf, QTextDocument& doc);
// Writes `doc` as RTF (Windows-1252 with \u for the rest).
AnsiString WriteRtf(const QTextDocument& doc);

// The RTF reader's caps: group nesting depth and picture data size.
constexpr int kMaxRtfDepth = 200;
constexpr size_t kMaxRtfPictureBytes = size_t{64} << 20;

}  // namespace vl
