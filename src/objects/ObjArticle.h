#pragma once
// Articles: a scrollable view of a text file (TVellionArticle, ObjectType
// 2), and the linked article (TVellionLinkedArticle, 24), one of several
// boxes through which one text file flows from page to page. Files with the
// extension ".TXT" are read in the article text format (richtext/
// ArticleText.h); others are RTF or plain text.
#include <QPointer>
#include <memory>

#include "objects/VellionObj.h"
#include "richtext/RichText.h"

class QScrollBar;

namespace vl {

class TBaseArticle : public TVellionObj {
 public:
  TBaseArticle(QWidget* owner, int objType);
  ~TBaseArticle() override;

  AnsiString TextFile;
  bool AllowCopy = false;
  bool OverrideFont = false;
  bool WordWrap = true;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void Loaded() override;
  void DrawShape(QPainter& p) override;

  TVelRichText* View() const { return view_.get(); }
  QRect TextRect() const;
  // Reads the article's file (package entry or disk) as the view shows it:
  // ".TXT" converted, others as they are. False when it is nowhere.
  bool ReadArticleFile(AnsiString& text) const;
  // The resolved file name.
  AnsiString ResolvedFile() const { return ResolveObjectFileName(TextFile); }
  // A target beginning with ":" jumps to a bookmark; false when not found.
  virtual bool JumpTo(const QString& bookmark);

 protected:
  void CreateView();
  void DestroyView();
  void SetupView(TVelRichText& v) const;
  void LayoutView();
  virtual void FollowLink(const TRichLink& link);
  bool LinkUnder(QPoint at, TRichLink* link = nullptr) const;
  bool FieldShows(const AnsiString& bracketName) const;
  void WatchFields();

  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void wheelEvent(QWheelEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  bool ScrollBy(int lines);
  virtual bool HasScrollBars() const { return false; }
  void SyncScrollBars();

  std::unique_ptr<TVelRichText> view_;
  QScrollBar* vbar_ = nullptr;
  QScrollBar* hbar_ = nullptr;
  bool pressedOnLink_ = false;
  bool overLink_ = false;
  int selAnchor_ = -1;
};

class TVellionArticle : public TBaseArticle {
 public:
  TVellionArticle(QWidget* owner, int objType);
  bool ScrollBars = true;

  bool ApplyKey(const TObjectKey& key, const TObjectReadContext& ctx) override;
  void OnStart(const TObjectStart& how) override;
  void OnPageEnter() override;
  void OnPageLeave() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  // Loads the file again; with `toStart` the saved position is forgotten.
  void Reload(bool toStart);
  int SavedScroll() const { return savedScroll_; }

 protected:
  bool HasScrollBars() const override { return ScrollBars; }

 private:
  void LoadFile();
  int savedScroll_ = 0;
};

class TVellionLinkedArticle : public TBaseArticle {
 public:
  TVellionLinkedArticle(QWidget* owner, int objType);
  ~TVellionLinkedArticle() override;

  TVellionLinkedArticle* LinkPrev = nullptr;
  TVellionLinkedArticle* LinkNext = nullptr;

  void OnStart(const TObjectStart& how) override;
  void OnPageEnter() override;
  void OnPageLeave() override;
  void OnRelayout() override;
  void OnVarChanged(const AnsiString& bracketName, const AnsiString& value) override;
  bool JumpTo(const QString& bookmark) override;

  // The first article of the chain flows the file through every member.
  void FlowChain();
  // Asks the first article for one re-flow (bursts of asks make one).
  void RequestReflow();
  TVellionLinkedArticle* First();
  // Chains the linked articles of every page by equal file names (master
  // page, then pages in order, in creation order); done once per build.
  static void BuildChains();

 protected:
  bool event(QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void ShowTxt();
  int pendingReflows_ = 0;
  bool flowing_ = false;
  bool shown_ = false;
  int fieldsState_ = 2;  // 0 has fields, 1 none, 2 not flowed yet
};

}  // namespace vl
