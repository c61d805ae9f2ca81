#include "richtext/RichText.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>
#include <optional>

#include "richtext/RichFormat.h"

namespace vl {

using namespace rich;

// Files larger than this are not read: a story of that size is no text a
// publication shows.
constexpr qint64 kMaxRichFileBytes = qint64{64} << 20;

struct TVelRichText::Impl {
  std::unique_ptr<QTextDocument> doc;
  QColor defaultColor{Qt::black};
  QColor linkColor;
  int leftOffset = 0;
  FieldTextFn fieldText;
  int nextFieldId = 0;

  Impl() : doc(Fresh()) {}

  // A document with no layout yet: text is read into one of these, because
  // a laid-out document lays out again on every insertion (tables
  // entirely), which makes reading a large table quadratic.
  static std::unique_ptr<QTextDocument> Fresh(const QTextDocument* like = nullptr) {
    auto d = std::make_unique<QTextDocument>();
    d->setUndoRedoEnabled(false);
    d->setDocumentMargin(0);
    if (like) {
      d->setDefaultFont(like->defaultFont());
      d->setDefaultTextOption(like->defaultTextOption());
      d->setTextWidth(like->textWidth());
    }
    return d;
  }
};

TVelRichText::TVelRichText() : d_(std::make_unique<Impl>()) {}
TVelRichText::~TVelRichText() = default;

QTextDocument* TVelRichText::Document() const { return d_->doc.get(); }

namespace {

// Changes made inside one edit block: outside one, every change measures
// the cursor's place in its paragraph again.
struct EditBlock {
  explicit EditBlock(QTextDocument* doc) : c(doc) { c.beginEditBlock(); }
  ~EditBlock() { c.endEditBlock(); }
  QTextCursor c;
};

bool LooksLikeRtf(std::string_view bytes) {
  size_t i = 0;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") i = 3;
  while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\t')) ++i;
  return bytes.substr(i, 5) == "{\\rtf";
}

void LoadPlain(std::string_view bytes, QTextDocument& doc) {
  doc.clear();
  EditBlock edit(&doc);
  QTextCursor c(&doc);
  size_t start = 0;
  bool first = true;
  while (start <= bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", start);
    std::string_view line = bytes.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!first) c.insertBlock();
    first = false;
    if (!line.empty()) c.insertText(AnsiToQString(line));
    if (end == std::string_view::npos) break;
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    if (start == bytes.size()) break;
  }
}

// Calls fn(block) for every block of the story, table cells included.
template <typename Fn>
void ForEachBlock(const QTextDocument& doc, Fn fn) {
  for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) fn(b);
}

}  // namespace

void TVelRichText::LoadText(std::string_view bytes) {
  scrollX_ = scrollY_ = 0;
  selection_ = {};
  auto fresh = Impl::Fresh(d_->doc.get());
  if (LooksLikeRtf(bytes)) {
    ReadRtf(bytes, *fresh);
  } else {
    LoadPlain(bytes, *fresh);
  }
  d_->doc = std::move(fresh);
  if (d_->linkColor.isValid()) SetLinkColor(d_->linkColor);
  Relayout();
}

bool TVelRichText::LoadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxRichFileBytes) {
    Clear();
    return false;
  }
  QByteArray data = f.readAll();
  LoadText(std::string_view(data.constData(), static_cast<size_t>(data.size())));
  return true;
}

void TVelRichText::Clear() {
  d_->doc->clear();
  scrollX_ = scrollY_ = 0;
  selection_ = {};
  Relayout();
}

void TVelRichText::SetDefaultFont(const QFont& font) {
  d_->doc->setDefaultFont(font);
  Relayout();
}

void TVelRichText::SetDefaultColor(const QColor& color) { d_->defaultColor = color; }
QColor TVelRichText::DefaultColor() const { return d_->defaultColor; }

void TVelRichText::SetLinkColor(const QColor& color) {
  d_->linkColor = color;
  if (!color.isValid()) return;
  std::vector<std::pair<int, int>> ranges;
  ForEachBlock(*d_->doc, [&](const QTextBlock& b) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextFragment f = it.fragment();
      if (f.isValid() && f.charFormat().isAnchor() && !f.charFormat().anchorHref().isEmpty()) {
        ranges.emplace_back(f.position(), f.length());
      }
    }
  });
  EditBlock edit(d_->doc.get());
  QTextCharFormat link;
  link.setForeground(color);
  link.setUnderlineColor(color);
  for (auto [pos, len] : ranges) {
    QTextCursor c(d_->doc.get());
    c.setPosition(pos);
    c.setPosition(pos + len, QTextCursor::KeepAnchor);
    c.mergeCharFormat(link);
  }
}

AnsiString TVelRichText::SaveRtf() const { return WriteRtf(*d_->doc); }

QString TVelRichText::PlainText() const {
  QString s = d_->doc->toRawText();
  s.replace(QChar(0x2029), QChar('\n'));
  s.remove(QChar(kEmptyFieldChar));
  s.remove(QChar::ObjectReplacementCharacter);
  s.replace(QChar(0x2028), QLatin1String("\r\n"));
  s.replace(QChar('\n'), QLatin1String("\r\n"));
  return s;
}

void TVelRichText::SetBox(QSizeF box, bool wordWrap) {
  box_ = QSizeF(std::max(0.0, box.width()), std::max(0.0, box.height()));
  wordWrap_ = wordWrap;
  Relayout();
}

void TVelRichText::SetLeftOffset(int px) {
  d_->leftOffset = std::max(0, px);
  Relayout();
}

void TVelRichText::Relayout() {
  // Each setting given again lays the whole story out again: only changes
  // are passed on, and the layout itself waits until something asks for it.
  QTextDocument& doc = *d_->doc;
  QTextOption opt = doc.defaultTextOption();
  auto wrap = wordWrap_ ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap;
  if (opt.wrapMode() != wrap) {
    opt.setWrapMode(wrap);
    doc.setDefaultTextOption(opt);
  }
  double width = std::max(1.0, box_.width() - d_->leftOffset);
  if (doc.textWidth() != width) doc.setTextWidth(width);
  if (scrollY_ != 0) scrollY_ = std::clamp(scrollY_, 0, MaxScrollY());
  if (scrollX_ != 0) scrollX_ = std::clamp(scrollX_, 0, MaxScrollX());
}

QSizeF TVelRichText::ContentSize() const {
  QSizeF s = d_->doc->documentLayout()->documentSize();
  if (!wordWrap_) s.setWidth(std::max(s.width(), d_->doc->idealWidth()));
  return QSizeF(s.width() + d_->leftOffset, s.height());
}

int TVelRichText::MaxScrollY() const {
  return std::max(0, static_cast<int>(std::ceil(ContentSize().height() - box_.height())));
}

int TVelRichText::MaxScrollX() const {
  return std::max(0, static_cast<int>(std::ceil(ContentSize().width() - box_.width())));
}

void TVelRichText::Paint(QPainter& p, const QRectF& target) const {
  p.save();
  p.setClipRect(target, Qt::IntersectClip);
  p.translate(target.left() + d_->leftOffset - scrollX_, target.top() - scrollY_);
  QAbstractTextDocumentLayout::PaintContext ctx;
  ctx.palette.setColor(QPalette::Text, d_->defaultColor);
  ctx.clip = QRectF(scrollX_ - d_->leftOffset, scrollY_, target.width(), target.height());
  if (selection_.found() && selection_.length > 0) {
    QAbstractTextDocumentLayout::Selection sel;
    sel.cursor = QTextCursor(d_->doc.get());
    sel.cursor.setPosition(selection_.start);
    sel.cursor.setPosition(selection_.start + selection_.length, QTextCursor::KeepAnchor);
    sel.format.setBackground(ctx.palette.brush(QPalette::Highlight));
    sel.format.setForeground(ctx.palette.brush(QPalette::HighlightedText));
    ctx.selections.append(sel);
  }
  d_->doc->documentLayout()->draw(&p, ctx);
  p.restore();
}

void TVelRichText::ScrollTo(int x, int y) {
  scrollX_ = std::clamp(x, 0, MaxScrollX());
  scrollY_ = std::clamp(y, 0, MaxScrollY());
}

namespace {

// The top and bottom of the laid-out line holding document position `pos`.
bool LineSpan(const QTextDocument& doc, int pos, double& top, double& bottom) {
  doc.documentLayout()->documentSize();  // the lines exist once laid out
  QTextBlock b = doc.findBlock(pos);
  if (!b.isValid() || !b.layout()) return false;
  QTextLayout* lay = b.layout();
  QTextLine line = lay->lineForTextPosition(pos - b.position());
  if (!line.isValid()) {
    if (lay->lineCount() == 0) return false;
    line = lay->lineAt(0);
  }
  QRectF br = doc.documentLayout()->blockBoundingRect(b);
  top = br.top() + line.y();
  bottom = top + line.height();
  return true;
}

}  // namespace

bool TVelRichText::ScrollLines(int lines) {
  int before = scrollY_;
  auto* layout = d_->doc->documentLayout();
  for (int i = 0; i < std::abs(lines); ++i) {
    double top = 0, bottom = 0;
    if (lines > 0) {
      int pos = layout->hitTest(QPointF(0, scrollY_ + 0.5), Qt::FuzzyHit);
      if (pos < 0 || !LineSpan(*d_->doc, pos, top, bottom) || bottom <= scrollY_) bottom = scrollY_ + 16;
      scrollY_ = std::min(static_cast<int>(std::ceil(bottom)), MaxScrollY());
    } else {
      if (scrollY_ <= 0) break;
      int pos = layout->hitTest(QPointF(0, scrollY_ - 0.5), Qt::FuzzyHit);
      if (pos < 0 || !LineSpan(*d_->doc, pos, top, bottom) || top >= scrollY_) top = scrollY_ - 16;
      scrollY_ = std::max(0, static_cast<int>(std::floor(top)));
    }
  }
  return scrollY_ != before;
}

int TVelRichText::PositionAt(QPointF pos) const {
  QPointF at(pos.x() - d_->leftOffset + scrollX_, pos.y() + scrollY_);
  return d_->doc->documentLayout()->hitTest(at, Qt::ExactHit);
}

TRichLink TVelRichText::LinkAt(QPointF pos) const {
  QPointF at(pos.x() - d_->leftOffset + scrollX_, pos.y() + scrollY_);
  QString href = d_->doc->documentLayout()->anchorAt(at);
  int hit = d_->doc->documentLayout()->hitTest(at, Qt::ExactHit);
  if (hit < 0) return {};
  QTextBlock b = d_->doc->findBlock(hit);
  // The link text: the runs around the hit that carry the same target.
  std::vector<QTextFragment> frags;
  for (auto it = b.begin(); !it.atEnd(); ++it) {
    if (it.fragment().isValid()) frags.push_back(it.fragment());
  }
  int idx = -1;
  for (size_t i = 0; i < frags.size(); ++i) {
    if (hit >= frags[i].position() && hit < frags[i].position() + frags[i].length()) idx = static_cast<int>(i);
  }
  if (idx < 0) return {};
  QTextCharFormat f = frags[idx].charFormat();
  if (!f.isAnchor() || f.anchorHref().isEmpty()) return {};
  href = f.anchorHref();
  int lo = idx, hi = idx;
  while (lo > 0 && frags[lo - 1].charFormat().anchorHref() == href) --lo;
  while (hi + 1 < static_cast<int>(frags.size()) && frags[hi + 1].charFormat().anchorHref() == href) ++hi;
  TRichLink link;
  for (int i = lo; i <= hi; ++i) link.text += frags[i].text();
  link.text.remove(QChar(kEmptyFieldChar));
  link.target = href;
  return link;
}

int TVelRichText::BookmarkPosition(const QString& name) const {
  int found = -1;
  ForEachBlock(*d_->doc, [&](const QTextBlock& b) {
    if (found >= 0) return;
    for (auto it = b.begin(); !it.atEnd() && found < 0; ++it) {
      QTextFragment f = it.fragment();
      if (!f.isValid()) continue;
      for (const QString& n : f.charFormat().anchorNames()) {
        if (n.compare(name, Qt::CaseInsensitive) == 0) found = f.position();
      }
    }
    if (found < 0) {
      for (const QString& n : b.blockFormat().property(kPropBookmarksAtEnd).toStringList()) {
        if (n.compare(name, Qt::CaseInsensitive) == 0) found = b.position() + b.length() - 1;
      }
    }
  });
  return found;
}

std::vector<QString> TVelRichText::Bookmarks() const {
  std::vector<QString> out;
  ForEachBlock(*d_->doc, [&](const QTextBlock& b) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      if (it.fragment().isValid()) {
        for (const QString& n : it.fragment().charFormat().anchorNames()) out.push_back(n);
      }
    }
    for (const QString& n : b.blockFormat().property(kPropBookmarksAtEnd).toStringList()) out.push_back(n);
  });
  return out;
}

void TVelRichText::ScrollToPosition(int position) {
  double top = 0, bottom = 0;
  if (LineSpan(*d_->doc, position, top, bottom)) ScrollTo(scrollX_, static_cast<int>(std::floor(top)));
}

TRichMatch TVelRichText::Find(const QString& pattern, int from, bool caseSensitive) const {
  QStringList parts = pattern.split('*');
  QString re;
  bool any = false;
  for (int i = 0; i < parts.size(); ++i) {
    if (i > 0) re += QLatin1String(".*?");
    re += QRegularExpression::escape(parts[i]);
    any = any || !parts[i].isEmpty();
  }
  if (!any) return {};
  QRegularExpression rx(re, caseSensitive ? QRegularExpression::NoPatternOption
                                          : QRegularExpression::CaseInsensitiveOption);
  QTextCursor c = d_->doc->find(rx, std::max(0, from),
                               caseSensitive ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags());
  if (c.isNull() || !c.hasSelection()) return {};
  return TRichMatch{c.selectionStart(), c.selectionEnd() - c.selectionStart()};
}

void TVelRichText::Select(int start, int length) {
  int count = d_->doc->characterCount();
  if (start < 0 || length <= 0 || start >= count) {
    selection_ = {};
    return;
  }
  selection_ = TRichMatch{start, std::min(length, count - 1 - start)};
}

void TVelRichText::SelectAll() { Select(0, d_->doc->characterCount() - 1); }

QString TVelRichText::TextRange(int start, int length) const {
  if (start < 0 || length <= 0) return {};
  int count = d_->doc->characterCount();
  if (start >= count) return {};
  QTextCursor c(d_->doc.get());
  c.setPosition(start);
  c.setPosition(std::min(start + length, count - 1), QTextCursor::KeepAnchor);
  QString s = c.selectedText();
  s.remove(QChar(kEmptyFieldChar));
  s.remove(QChar::ObjectReplacementCharacter);
  s.replace(QChar(0x2029), QLatin1String("\r\n"));
  s.replace(QChar(0x2028), QLatin1String("\r\n"));
  return s;
}

QString TVelRichText::SelectedText() const {
  return selection_.found() ? TextRange(selection_.start, selection_.length) : QString();
}

// ---- merge fields

void TVelRichText::SetFieldText(FieldTextFn fn) { d_->fieldText = std::move(fn); }

namespace {

struct FieldRange {
  int start, length, id;
  QString name;
};

std::vector<FieldRange> CollectFields(const QTextDocument& doc) {
  std::vector<FieldRange> out;
  ForEachBlock(doc, [&](const QTextBlock& b) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextFragment f = it.fragment();
      if (!f.isValid() || !f.charFormat().hasProperty(kPropFieldName)) continue;
      int id = f.charFormat().property(kPropFieldId).toInt();
      if (!out.empty() && out.back().id == id && out.back().start + out.back().length == f.position()) {
        out.back().length += f.length();
      } else {
        out.push_back({f.position(), f.length(), id, f.charFormat().property(kPropFieldName).toString()});
      }
    }
  });
  return out;
}

}  // namespace

int TVelRichText::BuildMergeFields() {
  struct Piece {
    int start, length;
    QString name;
  };
  std::vector<Piece> pieces;
  ForEachBlock(*d_->doc, [&](const QTextBlock& b) {
    QString text = b.text();
    int base = b.position();
    for (int i = 0; i < text.size(); ++i) {
      if (text[i] != '[') continue;
      int depth = 0;
      for (int j = i; j < text.size(); ++j) {
        if (text[j] == '[') ++depth;
        else if (text[j] == ']' && --depth == 0) {
          pieces.push_back({base + i, j - i + 1, text.mid(i, j - i + 1).toUpper()});
          i = j;
          break;
        }
      }
    }
  });
  // Pieces already inside a field are left alone.
  int made = 0;
  std::optional<EditBlock> edit;
  if (!pieces.empty()) edit.emplace(d_->doc.get());
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    QTextCursor c(d_->doc.get());
    c.setPosition(it->start + 1);
    QTextCharFormat f = c.charFormat();
    if (f.hasProperty(kPropFieldName)) continue;
    c.setPosition(it->start);
    c.setPosition(it->start + it->length, QTextCursor::KeepAnchor);
    f.setProperty(kPropFieldName, it->name);
    f.setProperty(kPropFieldId, ++d_->nextFieldId);
    QString value = d_->fieldText ? d_->fieldText(it->name) : it->name;
    if (value.isEmpty()) value = QChar(kEmptyFieldChar);
    c.insertText(value, f);
    ++made;
  }
  edit.reset();
  if (made) Relayout();
  return static_cast<int>(CollectFields(*d_->doc).size());
}

std::vector<QString> TVelRichText::FieldNames() const {
  std::vector<QString> out;
  for (const auto& f : CollectFields(*d_->doc)) out.push_back(f.name);
  return out;
}

bool TVelRichText::HasFieldWith(const QString& upperName) const {
  for (const auto& f : CollectFields(*d_->doc)) {
    if (f.name.contains(upperName)) return true;
  }
  return false;
}

void TVelRichText::RefreshFields() {
  if (!d_->fieldText) return;
  auto fields = CollectFields(*d_->doc);
  bool changed = false;
  std::optional<EditBlock> edit;
  if (!fields.empty()) edit.emplace(d_->doc.get());
  for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
    QString value = d_->fieldText(it->name);
    if (value.isEmpty()) value = QChar(kEmptyFieldChar);
    QTextCursor c(d_->doc.get());
    c.setPosition(it->start);
    c.setPosition(it->start + it->length, QTextCursor::KeepAnchor);
    if (c.selectedText() == value) continue;
    QTextCursor first(d_->doc.get());
    first.setPosition(it->start + 1);
    QTextCharFormat f = first.charFormat();
    c.insertText(value, f);
    changed = true;
  }
  edit.reset();
  if (changed) {
    selection_ = {};
    Relayout();
  }
}

// ---- flow

std::unique_ptr<TVelRichText> TVelRichText::SplitAtBox() {
  QTextDocument& doc = *d_->doc;
  auto* layout = doc.documentLayout();
  layout->documentSize();  // lays the story out
  const double limit = box_.height();
  int cut = -1;
  bool anythingKept = false;
  QTextFrame* root = doc.rootFrame();
  for (auto it = root->begin(); !it.atEnd() && cut < 0; ++it) {
    if (QTextFrame* frame = it.currentFrame()) {
      QRectF r = layout->frameBoundingRect(frame);
      if (r.bottom() > limit) {
        if (anythingKept) cut = frame->firstPosition() - 1;
        else cut = frame->lastPosition() + 1;
      }
      anythingKept = true;
      continue;
    }
    QTextBlock b = it.currentBlock();
    QTextLayout* lay = b.layout();
    QRectF br = layout->blockBoundingRect(b);
    for (int i = 0; lay && i < lay->lineCount(); ++i) {
      QTextLine line = lay->lineAt(i);
      double bottom = br.top() + line.y() + line.height();
      if (bottom > limit) {
        if (!anythingKept) {
          // A box too small for even one line keeps one line, so the
          // story always moves on.
          if (i + 1 < lay->lineCount()) cut = b.position() + lay->lineAt(i + 1).textStart();
          else cut = b.position() + b.length();
        } else {
          cut = b.position() + line.textStart();
        }
        break;
      }
      anythingKept = true;
    }
  }
  int end = doc.characterCount() - 1;
  if (cut < 0 || cut >= end) return nullptr;

  auto rest = std::make_unique<TVelRichText>();
  rest->d_->doc = Impl::Fresh(&doc);
  rest->d_->defaultColor = d_->defaultColor;
  rest->d_->linkColor = d_->linkColor;
  rest->d_->leftOffset = d_->leftOffset;
  rest->d_->fieldText = d_->fieldText;
  rest->d_->nextFieldId = d_->nextFieldId;
  rest->box_ = box_;
  rest->wordWrap_ = wordWrap_;

  QTextCursor sel(&doc);
  sel.setPosition(cut);
  QTextBlockFormat firstFormat = sel.blockFormat();
  sel.setPosition(end, QTextCursor::KeepAnchor);
  QTextDocumentFragment frag(sel);
  QTextCursor dst(rest->d_->doc.get());
  dst.setBlockFormat(firstFormat);
  dst.insertFragment(frag);
  // Pictures travel with their runs.
  ForEachBlock(*rest->d_->doc, [&](const QTextBlock& b) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      QTextCharFormat f = it.fragment().charFormat();
      if (!f.isImageFormat()) continue;
      QUrl url(f.toImageFormat().name());
      rest->d_->doc->addResource(QTextDocument::ImageResource, url, doc.resource(QTextDocument::ImageResource, url));
    }
  });
  // The paragraph mark before a cut at a paragraph start goes too, so no
  // empty line is left at the end of this box (unless a table ends there).
  QTextCursor drop(&doc);
  int from = cut;
  if (cut > 0 && doc.findBlock(cut).position() == cut) {
    QTextCursor before(&doc);
    before.setPosition(cut - 1);
    if (!before.currentTable() && doc.findBlock(cut - 1).isValid() &&
        doc.findBlock(cut - 1).position() + doc.findBlock(cut - 1).length() == cut) {
      from = cut - 1;
    }
  }
  drop.setPosition(from);
  drop.setPosition(end, QTextCursor::KeepAnchor);
  drop.removeSelectedText();
  Relayout();
  rest->Relayout();
  return rest;
}

void TVelRichText::ApplyFontToAll(const QFont& font, bool replaceStyles) {
  std::vector<std::pair<int, int>> ranges;
  ForEachBlock(*d_->doc, [&](const QTextBlock& b) {
    for (auto it = b.begin(); !it.atEnd(); ++it) {
      if (it.fragment().isValid()) ranges.emplace_back(it.fragment().position(), it.fragment().length());
    }
  });
  EditBlock edit(d_->doc.get());
  for (auto [pos, len] : ranges) {
    QTextCursor c(d_->doc.get());
    c.setPosition(pos);
    c.setPosition(pos + len, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setFontFamilies({font.family()});
    if (font.pointSizeF() > 0) f.setFontPointSize(font.pointSizeF());
    if (replaceStyles) {
      f.setFontWeight(font.bold() ? QFont::Bold : QFont::Normal);
      f.setFontItalic(font.italic());
      f.setFontUnderline(font.underline());
      f.setFontStrikeOut(font.strikeOut());
      if (!font.underline()) f.setProperty(kPropUnderlineKind, int(ulNone));
    } else {
      if (font.bold()) f.setFontWeight(QFont::Bold);
      if (font.italic()) f.setFontItalic(true);
      if (font.underline()) f.setFontUnderline(true);
      if (font.strikeOut()) f.setFontStrikeOut(true);
    }
    c.mergeCharFormat(f);
  }
  d_->doc->setDefaultFont(font);
  Relayout();
}

}  // namespace vl
