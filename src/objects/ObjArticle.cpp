// Articles and linked articles: text files shown in boxes while their page
// is shown.
#include "objects/ObjArticle.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <map>

#include "actions/Vars.h"
#include "objects/ObjText.h"
#include "objects/PageObjects.h"
#include "richtext/ArticleText.h"
#include "runtime/NativePath.h"
#include "runtime/Package.h"

namespace vl {

namespace {

// Files larger than this are not shown as articles.
constexpr qint64 kMaxArticleFileBytes = qint64{64} << 20;

// The re-flow message a linked article posts to the first of its chain.
constexpr QEvent::Type kReflowEvent = static_cast<QEvent::Type>(QEvent::User + 211);

bool HasTxtExtension(const AnsiString& name) {
  return name.size() >= 4 && SameTextInvariant(std::string_view(name).substr(name.size() - 4), ".TXT");
}

// Which page each linked article lies on, and whether the chains are built.
std::map<const TVellionLinkedArticle*, int>& LinkedPages() {
  static std::map<const TVellionLinkedArticle*, int> pages;
  return pages;
}
bool chainsBuilt = false;

}  // namespace

// ---------------------------------------------------------------------------
// TBaseArticle

TBaseArticle::TBaseArticle(QWidget* owner, int objType) : TVellionObj(owner, objType) {
  setMouseTracking(true);
}

TBaseArticle::~TBaseArticle() = default;

bool TBaseArticle::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  switch (key.id) {
    case TPubKey::FileName: TextFile = AnsiString(key.raw); return true;
    case TPubKey::WordWrap: WordWrap = key.flag; return true;
    case TPubKey::AllowCopy: AllowCopy = key.flag; return true;
    case TPubKey::OverrideFont: OverrideFont = key.flag; return true;
    case TPubKey::Text: Txt = TextValue(key); return true;
    default: return TVellionObj::ApplyKey(key, ctx);
  }
}

void TBaseArticle::Loaded() {
  if (TextFile.find('[') != AnsiString::npos) WatchVariablesIn(TextFile);
}

QRect TBaseArticle::TextRect() const {
  int lw = LineWidth() > 0 ? LineWidth() : 0;
  QRect r = rect().adjusted(lw, lw, -lw, -lw);
  if (vbar_ && vbar_->isVisible()) r.setRight(r.right() - vbar_->width());
  if (hbar_ && hbar_->isVisible()) r.setBottom(r.bottom() - hbar_->height());
  return r;
}

bool TBaseArticle::ReadArticleFile(AnsiString& text) const {
  AnsiString name = ResolvedFile();
  if (name.empty()) return false;
  std::string data;
  if (ThePackage().LoadEntryToMemory(name, data) != 0) {
    QFile f(QString::fromStdString(NativePath(name)));
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxArticleFileBytes) return false;
    QByteArray b = f.readAll();
    data.assign(b.constData(), static_cast<size_t>(b.size()));
  }
  text = HasTxtExtension(name) ? ConvertArticleText(data, WordWrap) : std::move(data);
  return true;
}

void TBaseArticle::SetupView(TVelRichText& v) const {
  v.SetDefaultFont(ObjectFont());
  v.SetLinkColor(DisplayColor(Globals().linkColor));
  v.SetFieldText([](const QString& name) { return AnsiToQString(ExpandVariables(QStringToAnsi(name))); });
  v.SetLeftOffset(4);
}

void TBaseArticle::CreateView() {
  if (!view_) view_ = std::make_unique<TVelRichText>();
  SetupView(*view_);
  if (HasScrollBars()) {
    if (!vbar_) {
      vbar_ = new QScrollBar(Qt::Vertical, this);
      QObject::connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (view_ && view_->ScrollY() != v) {
          view_->ScrollTo(view_->ScrollX(), v);
          update();
        }
      });
    }
    if (!hbar_) {
      hbar_ = new QScrollBar(Qt::Horizontal, this);
      QObject::connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
        if (view_ && view_->ScrollX() != v) {
          view_->ScrollTo(v, view_->ScrollY());
          update();
        }
      });
    }
  }
}

void TBaseArticle::DestroyView() {
  view_.reset();
  delete vbar_;
  delete hbar_;
  vbar_ = hbar_ = nullptr;
  overLink_ = false;
  selAnchor_ = -1;
}

void TBaseArticle::LayoutView() {
  if (!view_) return;
  int lw = LineWidth() > 0 ? LineWidth() : 0;
  QRect inner = rect().adjusted(lw, lw, -lw, -lw);
  if (vbar_) vbar_->hide();
  if (hbar_) hbar_->hide();
  view_->SetBox(QSizeF(inner.width(), inner.height()), WordWrap);
  if (vbar_ && view_->MaxScrollY() > 0) {
    int w = vbar_->sizeHint().width();
    vbar_->setGeometry(inner.right() - w + 1, inner.top(), w, inner.height());
    vbar_->show();
  }
  if (hbar_ && !WordWrap && view_->MaxScrollX() > 0) {
    int h = hbar_->sizeHint().height();
    hbar_->setGeometry(inner.left(), inner.bottom() - h + 1, inner.width() - (vbar_ && vbar_->isVisible() ? vbar_->width() : 0), h);
    hbar_->show();
  }
  QRect tr = TextRect();
  view_->SetBox(QSizeF(tr.width(), tr.height()), WordWrap);
  SyncScrollBars();
  update();
}

void TBaseArticle::SyncScrollBars() {
  if (!view_) return;
  if (vbar_) {
    vbar_->setRange(0, view_->MaxScrollY());
    vbar_->setPageStep(std::max(1, TextRect().height()));
    vbar_->setSingleStep(16);
    vbar_->setValue(view_->ScrollY());
  }
  if (hbar_) {
    hbar_->setRange(0, view_->MaxScrollX());
    hbar_->setPageStep(std::max(1, TextRect().width()));
    hbar_->setValue(view_->ScrollX());
  }
}

void TBaseArticle::DrawShape(QPainter& p) {
  TVellionObj::DrawShape(p);
  if (view_) view_->Paint(p, TextRect());
}

void TBaseArticle::resizeEvent(QResizeEvent* e) {
  TVellionObj::resizeEvent(e);
  LayoutView();
}

bool TBaseArticle::FieldShows(const AnsiString& bracketName) const {
  return view_ && RichTextShowsVariable(*view_, bracketName);
}

void TBaseArticle::WatchFields() {
  if (view_) WatchRichTextFields(*this, *view_);
}

bool TBaseArticle::LinkUnder(QPoint at, TRichLink* link) const {
  return view_ && RichLinkUnder(*view_, TextRect(), at, link);
}

bool TBaseArticle::JumpTo(const QString& bookmark) {
  if (!view_) return false;
  int pos = view_->BookmarkPosition(bookmark);
  if (pos < 0) return false;
  view_->ScrollToPosition(pos);
  SyncScrollBars();
  update();
  return true;
}

void TBaseArticle::FollowLink(const TRichLink& link) {
  SetVariable("[HyperlinkClickedText]", QStringToAnsi(link.text));
  if (link.target.isEmpty()) return;
  if (link.target.startsWith(':')) {
    JumpTo(link.target.mid(1));
    return;
  }
  RunObjectAction(LinkActionText(link.target), evLinkClicked, 0);
}

void TBaseArticle::mousePressEvent(QMouseEvent* e) {
  QPoint at = e->position().toPoint();
  if (e->button() == Qt::LeftButton && LinkUnder(at)) {
    pressedOnLink_ = true;
    e->accept();
    return;
  }
  pressedOnLink_ = false;
  if (e->button() == Qt::LeftButton && AllowCopy && view_) {
    selAnchor_ = view_->PositionAt(QPointF(at - TextRect().topLeft()));
    view_->Select(-1, 0);
    update();
  }
  TVellionObj::mousePressEvent(e);
}

void TBaseArticle::mouseMoveEvent(QMouseEvent* e) {
  QPoint at = e->position().toPoint();
  bool over = LinkUnder(at);
  if (over != overLink_) {
    overLink_ = over;
    if (over) setCursor(ObjectCursor(1));
    else setCursor(AllowCopy ? QCursor(Qt::IBeamCursor) : ObjectCursor(CursorSlot()));
  }
  if (AllowCopy && view_ && selAnchor_ >= 0 && (e->buttons() & Qt::LeftButton)) {
    int pos = view_->PositionAt(QPointF(at - TextRect().topLeft()));
    if (pos >= 0) {
      view_->Select(std::min(pos, selAnchor_), std::abs(pos - selAnchor_));
      update();
    }
  }
  TVellionObj::mouseMoveEvent(e);
}

void TBaseArticle::mouseReleaseEvent(QMouseEvent* e) {
  selAnchor_ = -1;
  if (pressedOnLink_ && e->button() == Qt::LeftButton) {
    pressedOnLink_ = false;
    TRichLink link;
    if (EnabledState && LinkUnder(e->position().toPoint(), &link)) FollowLink(link);
    e->accept();
    return;
  }
  TVellionObj::mouseReleaseEvent(e);
}

bool TBaseArticle::ScrollBy(int lines) {
  if (!view_ || !view_->ScrollLines(lines)) return false;
  SyncScrollBars();
  update();
  return true;
}

void TBaseArticle::wheelEvent(QWheelEvent* e) {
  if (!view_ || view_->MaxScrollY() == 0) return TVellionObj::wheelEvent(e);
  int steps = e->angleDelta().y() / 120;
  if (steps == 0) steps = e->angleDelta().y() > 0 ? 1 : e->angleDelta().y() < 0 ? -1 : 0;
  ScrollBy(-3 * steps);
  e->accept();
}

void TBaseArticle::keyPressEvent(QKeyEvent* e) {
  if (!view_) return TVellionObj::keyPressEvent(e);
  bool shift = e->modifiers() & Qt::ShiftModifier;
  if (e->key() == Qt::Key_Down && !shift) {
    ScrollBy(1);
  } else if (e->key() == Qt::Key_Up && !shift) {
    ScrollBy(-1);
  } else if (e->key() == Qt::Key_PageDown || e->key() == Qt::Key_PageUp) {
    int y = view_->ScrollY() + (e->key() == Qt::Key_PageDown ? 1 : -1) * std::max(1, TextRect().height() - 16);
    view_->ScrollTo(view_->ScrollX(), y);
    SyncScrollBars();
    update();
  } else if (AllowCopy && e->matches(QKeySequence::Copy)) {
    QString sel = view_->SelectedText();
    if (!sel.isEmpty()) QApplication::clipboard()->setText(sel);
  } else if (AllowCopy && e->matches(QKeySequence::SelectAll)) {
    view_->SelectAll();
    update();
  } else {
    return TVellionObj::keyPressEvent(e);
  }
  e->accept();
}

// ---------------------------------------------------------------------------
// TVellionArticle

TVellionArticle::TVellionArticle(QWidget* owner, int objType) : TBaseArticle(owner, objType) {}

bool TVellionArticle::ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) {
  if (key.id == TPubKey::ScrollBar) {
    ScrollBars = key.flag;
    return true;
  }
  return TBaseArticle::ApplyKey(key, ctx);
}

void TVellionArticle::OnStart(const TObjectStart&) {
  bool stop = ScrollBars && TVellionObj::parentWidget() != nullptr;
  setFocusPolicy(stop ? Qt::ClickFocus : Qt::NoFocus);
  if (!view_) return;
  view_->BuildMergeFields();
  view_->RefreshFields();
  WatchFields();
  update();
}

void TVellionArticle::LoadFile() {
  TVelRichText& v = *view_;
  AnsiString text;
  if (!TextFile.empty() && ReadArticleFile(text)) {
    v.LoadText(text);
  } else {
    v.Clear();
  }
  if (OverrideFont) v.ApplyFontToAll(ObjectFont(), false);
  v.SetDefaultColor(DisplayColor(FontColor));
  v.BuildMergeFields();
  WatchFields();
  LayoutView();
  view_->ScrollTo(0, savedScroll_);
  SyncScrollBars();
  update();
}

void TVellionArticle::Reload(bool toStart) {
  if (toStart) savedScroll_ = 0;
  if (!view_) return;
  LoadFile();
}

void TVellionArticle::OnPageEnter() {
  CreateView();
  LoadFile();
}

void TVellionArticle::OnPageLeave() {
  if (view_) savedScroll_ = view_->ScrollY();
  DestroyView();
}

void TVellionArticle::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  TBaseArticle::OnVarChanged(bracketName, value);
  if (TextFile.find('[') != AnsiString::npos && TextUsesVariable(TextFile, bracketName)) {
    Reload(true);
    return;
  }
  if (!view_ || !FieldShows(bracketName)) return;
  view_->RefreshFields();
  WatchFields();
  SyncScrollBars();
  update();
}

// ---------------------------------------------------------------------------
// TVellionLinkedArticle

TVellionLinkedArticle::TVellionLinkedArticle(QWidget* owner, int objType) : TBaseArticle(owner, objType) {}

TVellionLinkedArticle::~TVellionLinkedArticle() {
  // The chains are built again the next time they are needed.
  if (LinkedPages().count(this)) {
    for (auto& [member, page] : LinkedPages()) {
      auto* m = const_cast<TVellionLinkedArticle*>(member);
      m->LinkPrev = m->LinkNext = nullptr;
    }
    LinkedPages().clear();
    chainsBuilt = false;
  }
}

void TVellionLinkedArticle::BuildChains() {
  if (chainsBuilt) return;
  chainsBuilt = true;
  LinkedPages().clear();
  std::map<AnsiString, TVellionLinkedArticle*> last;
  auto& objects = TheObjects();
  for (int page = 0; page < objects.PageCount(); ++page) {
    for (TVellionObj* o : objects.AllObjects(page)) {
      auto* a = dynamic_cast<TVellionLinkedArticle*>(o);
      if (!a) continue;
      LinkedPages()[a] = page;
      a->LinkPrev = a->LinkNext = nullptr;
      AnsiString key = AnsiUpper(a->TextFile);
      auto it = last.find(key);
      if (it != last.end()) {
        it->second->LinkNext = a;
        a->LinkPrev = it->second;
      }
      last[key] = a;
    }
  }
  // Chains whose first article holds no text yet are flowed now.
  for (auto& [member, page] : LinkedPages()) {
    auto* m = const_cast<TVellionLinkedArticle*>(member);
    if (!m->LinkPrev && m->Txt.empty() && !m->TextFile.empty()) m->FlowChain();
  }
}

TVellionLinkedArticle* TVellionLinkedArticle::First() {
  TVellionLinkedArticle* a = this;
  for (int guard = 0; a->LinkPrev && guard < 100000; ++guard) a = a->LinkPrev;
  return a;
}

void TVellionLinkedArticle::FlowChain() {
  if (LinkPrev) return First()->FlowChain();
  if (flowing_) return;
  flowing_ = true;
  fieldsState_ = 2;
  auto story = std::make_unique<TVelRichText>();
  SetupView(*story);
  AnsiString text;
  if (ReadArticleFile(text)) story->LoadText(text);
  int fields = story->BuildMergeFields();
  if (OverrideFont) story->ApplyFontToAll(ObjectFont(), false);
  fieldsState_ = fields > 0 ? 0 : 1;
  for (TVellionLinkedArticle* m = this; m; m = m->LinkNext) {
    if (!story) {
      m->Txt.clear();
    } else {
      int lw = m->LineWidth() > 0 ? m->LineWidth() : 0;
      QRect box = m->rect().adjusted(lw, lw, -lw, -lw);
      story->SetBox(QSizeF(box.width(), box.height()), m->WordWrap);
      std::unique_ptr<TVelRichText> rest = story->SplitAtBox();
      m->Txt = story->SaveRtf();
      story = std::move(rest);
    }
    if (m->view_) m->ShowTxt();
  }
  flowing_ = false;
}

void TVellionLinkedArticle::ShowTxt() {
  if (!view_) CreateView();
  view_->LoadText(Txt);
  view_->SetDefaultColor(DisplayColor(FontColor));
  view_->BuildMergeFields();
  WatchFields();
  LayoutView();
  update();
}

void TVellionLinkedArticle::RequestReflow() {
  TVellionLinkedArticle* first = First();
  ++first->pendingReflows_;
  QCoreApplication::postEvent(first, new QEvent(kReflowEvent));
}

bool TVellionLinkedArticle::event(QEvent* e) {
  if (e->type() == kReflowEvent) {
    if (pendingReflows_ > 0 && --pendingReflows_ == 0) FlowChain();
    return true;
  }
  return TBaseArticle::event(e);
}

void TVellionLinkedArticle::resizeEvent(QResizeEvent* e) {
  TBaseArticle::resizeEvent(e);
  if (chainsBuilt && !Reading()) RequestReflow();
}

void TVellionLinkedArticle::OnStart(const TObjectStart&) {
  BuildChains();
  // Tab stops are the plain article's: a linked article shows no scroll bars.
}

void TVellionLinkedArticle::OnPageEnter() {
  BuildChains();
  shown_ = true;
  CreateView();
  ShowTxt();
}

void TVellionLinkedArticle::OnPageLeave() {
  shown_ = false;
  if (view_) Txt = view_->SaveRtf();
  DestroyView();
}

void TVellionLinkedArticle::OnRelayout() { RequestReflow(); }

void TVellionLinkedArticle::OnVarChanged(const AnsiString& bracketName, const AnsiString& value) {
  TBaseArticle::OnVarChanged(bracketName, value);
  if (TextFile.find('[') != AnsiString::npos && TextUsesVariable(TextFile, bracketName)) {
    FlowChain();
    return;
  }
  if (First()->fieldsState_ == 1) return;
  if (!view_ || !FieldShows(bracketName)) {
    // Fields on members not shown refresh when the chain flows again.
    if (!view_ && TextUsesVariable(Txt, bracketName)) RequestReflow();
    return;
  }
  QString before = view_->PlainText();
  view_->RefreshFields();
  WatchFields();
  if (view_->PlainText().size() == before.size()) {
    update();
  } else {
    RequestReflow();  // the text no longer fits as it did
  }
}

bool TVellionLinkedArticle::JumpTo(const QString& bookmark) {
  for (TVellionLinkedArticle* m = First(); m; m = m->LinkNext) {
    if (m->view_) {
      if (m->TBaseArticle::JumpTo(bookmark)) return true;
      continue;
    }
    TVelRichText probe;
    probe.LoadText(m->Txt);
    if (probe.BookmarkPosition(bookmark) < 0) continue;
    auto it = LinkedPages().find(m);
    if (it != LinkedPages().end() && TheObjects().goToPage) TheObjects().goToPage(it->second);
    return true;
  }
  return false;
}

VL_REGISTER_OBJECT(2, TVellionArticle);
VL_REGISTER_OBJECT(24, TVellionLinkedArticle);

}  // namespace vl
