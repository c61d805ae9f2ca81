// The RTF writer: a QTextDocument back into RTF our reader (and word
// processors) read. Windows-1252 text with \u for the rest; one group per
// run; links as hyperlink fields when the target is an address, otherwise
// as a double-underlined run followed by its hidden target; merge fields as
// their "[NAME]" text, so that reading the text back builds them again.
#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QUrl>
#include <map>

#include "richtext/RichFormat.h"
#include "richtext/RichText.h"

namespace vl {
namespace {

using namespace rich;

constexpr double kTwipsPerPx = 15.0;

int Twips(double px) { return static_cast<int>(std::lround(px * kTwipsPerPx)); }

class Writer {
 public:
  explicit Writer(const QTextDocument& doc) : doc_(doc) {
    for (int b = 0x80; b <= 0xFF; ++b) {
      char c = static_cast<char>(b);
      QString q = AnsiToQString(std::string_view(&c, 1));
      if (q.size() == 1) upper_[q[0].unicode()] = static_cast<unsigned char>(b);
    }
    colors_.push_back(QColor());  // 0: the default colour
  }

  AnsiString Run() {
    WriteFrame(doc_.rootFrame());
    // No \\deff: runs without a font of their own take the reader's default.
    AnsiString out = "{\\rtf1\\ansi\\ansicpg1252\\uc1{\\fonttbl";
    for (size_t i = 0; i < fonts_.size(); ++i) {
      out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset0 ";
      AppendText(out, fonts_[i], false);
      out += ";}";
    }
    out += "}{\\colortbl;";
    for (size_t i = 1; i < colors_.size(); ++i) {
      const QColor& c = colors_[i];
      out += "\\red" + std::to_string(c.red()) + "\\green" + std::to_string(c.green()) + "\\blue" +
             std::to_string(c.blue()) + ";";
    }
    out += "}\r\n";
    out += body_;
    out += "}\r\n";
    return out;
  }

 private:
  void WriteFrame(QTextFrame* frame) {
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
      if (QTextFrame* child = it.currentFrame()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) WriteTable(table);
        else WriteFrame(child);
      } else {
        QTextBlock b = it.currentBlock();
        // The empty block Qt keeps after a table at the end is no paragraph,
        // and the empty block before a table is made again by the reader.
        bool last = !b.next().isValid();
        if (last && b.length() <= 1 && b.blockFormat().properties().isEmpty() && !body_.empty()) continue;
        auto next = it;
        ++next;
        if (b.length() <= 1 && !next.atEnd() && qobject_cast<QTextTable*>(next.currentFrame())) continue;
        WriteBlock(b, false, last ? "" : "\\par");
        body_ += "\r\n";
      }
    }
  }

  void WriteTable(QTextTable* table) {
    QTextTableFormat tf = table->format();
    QList<QTextLength> widths = tf.columnWidthConstraints();
    for (int r = 0; r < table->rows(); ++r) {
      body_ += "\\trowd\\trgaph" + std::to_string(Twips(tf.cellPadding()));
      int right = 0;
      for (int c = 0; c < table->columns(); ++c) {
        QTextTableCell cell = table->cellAt(r, c);
        QBrush bg = cell.format().background();
        if (bg.style() != Qt::NoBrush) body_ += "\\clcbpat" + std::to_string(Color(bg.color()));
        if (tf.border() > 0) body_ += "\\clbrdrt\\brdrs\\clbrdrl\\brdrs\\clbrdrb\\brdrs\\clbrdrr\\brdrs";
        double w = c < widths.size() && widths[c].type() == QTextLength::FixedLength ? widths[c].rawValue() : 96;
        right += Twips(w);
        body_ += "\\cellx" + std::to_string(right);
      }
      body_ += "\r\n";
      for (int c = 0; c < table->columns(); ++c) {
        QTextTableCell cell = table->cellAt(r, c);
        if (cell.row() != r || cell.column() != c) {  // covered by a span
          body_ += "\\pard\\intbl\\cell";
          continue;
        }
        for (auto it = cell.begin(); !it.atEnd(); ++it) {
          QTextBlock b = it.currentBlock();
          if (!b.isValid()) continue;
          auto next = it;
          ++next;
          WriteBlock(b, true, next.atEnd() ? "\\cell" : "\\par");
        }
        body_ += "\r\n";
      }
      body_ += "\\row\r\n";
    }
  }

  void WriteBlock(const QTextBlock& block, bool intbl, const char* end) {
    QTextBlockFormat bf = block.blockFormat();
    body_ += "\\pard";
    if (intbl) body_ += "\\intbl";
    Qt::Alignment a = bf.alignment();
    if (a & Qt::AlignHCenter) body_ += "\\qc";
    else if (a & Qt::AlignRight) body_ += "\\qr";
    else if (a & Qt::AlignJustify) body_ += "\\qj";
    auto num = [&](const char* w, double px) {
      int t = Twips(px);
      if (t) body_ += std::string("\\") + w + std::to_string(t);
    };
    num("li", bf.leftMargin());
    num("ri", bf.rightMargin());
    num("fi", bf.textIndent());
    num("sb", bf.topMargin());
    num("sa", bf.bottomMargin());
    if (bf.hasProperty(QTextFormat::LineHeight)) {
      int type = bf.lineHeightType();
      double h = bf.lineHeight();
      if (type == QTextBlockFormat::ProportionalHeight) body_ += "\\sl" + std::to_string(std::lround(h * 2.4)) + "\\slmult1";
      else if (type == QTextBlockFormat::MinimumHeight) body_ += "\\sl" + std::to_string(Twips(h)) + "\\slmult0";
      else if (type == QTextBlockFormat::FixedHeight) body_ += "\\sl-" + std::to_string(Twips(h)) + "\\slmult0";
    }
    for (const auto& t : bf.tabPositions()) {
      if (t.type == QTextOption::RightTab) body_ += "\\tqr";
      else if (t.type == QTextOption::CenterTab) body_ += "\\tqc";
      else if (t.type == QTextOption::DelimiterTab) body_ += "\\tqdec";
      body_ += "\\tx" + std::to_string(Twips(t.position));
    }
    body_ += ' ';
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextFragment frag = it.fragment();
      if (frag.isValid()) WriteFragment(frag);
    }
    QString hiddenEnd = bf.property(kPropHiddenAtEnd).toString();
    if (!hiddenEnd.isEmpty()) {
      body_ += "{\\v ";
      AppendText(body_, hiddenEnd, true);
      body_ += '}';
    }
    for (const QString& name : bf.property(kPropBookmarksAtEnd).toStringList()) Bookmark(name);
    body_ += end;
  }

  void Bookmark(const QString& name) {
    body_ += "{\\*\\bkmkstart ";
    AppendText(body_, name, true);
    body_ += "}{\\*\\bkmkend ";
    AppendText(body_, name, true);
    body_ += '}';
  }

  void WriteFragment(const QTextFragment& frag) {
    QTextCharFormat f = frag.charFormat();
    QString hidden = f.property(kPropHiddenBefore).toString();
    if (!hidden.isEmpty()) {
      body_ += "{\\v ";
      AppendText(body_, hidden, true);
      body_ += '}';
    }
    for (const QString& name : f.anchorNames()) Bookmark(name);
    QString text = frag.text();
    if (f.isImageFormat()) {
      for (QChar ch : text) {
        if (ch == QChar::ObjectReplacementCharacter) WriteImage(f.toImageFormat());
      }
      return;
    }
    if (f.hasProperty(kPropFieldName)) {
      // A field spread over several runs is written once, at its first.
      int id = f.property(kPropFieldId).toInt();
      if (id != 0 && id == lastFieldId_) return;
      lastFieldId_ = id;
      text = f.property(kPropFieldName).toString();
    } else {
      lastFieldId_ = 0;
    }
    QString href = f.isAnchor() ? f.anchorHref() : QString();
    bool field = !href.isEmpty() && IsAddress(href);
    if (field) {
      body_ += "{\\field{\\*\\fldinst HYPERLINK \"";
      AppendText(body_, href, true);
      body_ += "\"}{\\fldrslt ";
    }
    body_ += "{\\plain";
    CharProps(f, !href.isEmpty() && !field);
    body_ += ' ';
    AppendText(body_, text, true);
    body_ += '}';
    if (field) body_ += "}}";
    if (!href.isEmpty() && !field) {
      body_ += "{\\v ";
      AppendText(body_, href, true);
      body_ += '}';
    }
  }

  static bool IsAddress(const QString& href) {
    if (href.contains('"') || href.contains(QChar(0xB6)) || href.contains(' ') || href.startsWith(':')) return false;
    return href.contains(QLatin1String("://")) || href.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive) ||
           href.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
  }

  void CharProps(const QTextCharFormat& f, bool actionLink) {
    QStringList fams = f.fontFamilies().toStringList();
    if (!fams.isEmpty()) body_ += "\\f" + std::to_string(Font(fams.first()));
    if (f.hasProperty(QTextFormat::FontPointSize)) {
      body_ += "\\fs" + std::to_string(std::clamp(static_cast<int>(std::lround(f.fontPointSize() * 2)), 2, 3276));
    }
    if (f.fontWeight() >= QFont::DemiBold) body_ += "\\b";
    if (f.fontItalic()) body_ += "\\i";
    if (f.fontStrikeOut()) body_ += f.property(kPropStrikeDouble).toBool() ? "\\striked1" : "\\strike";
    int ul = f.property(kPropUnderlineKind).toInt();
    if (actionLink) {
      body_ += "\\uldb";
    } else if (ul != ulNone || f.fontUnderline() || f.underlineStyle() != QTextCharFormat::NoUnderline) {
      switch (ul) {
        case ulDouble: body_ += "\\uldb"; break;
        case ulDotted: body_ += "\\uld"; break;
        case ulDash: body_ += "\\uldash"; break;
        case ulWave: body_ += "\\ulwave"; break;
        case ulWord: body_ += "\\ulw"; break;
        case ulThick: body_ += "\\ulth"; break;
        default: body_ += "\\ul"; break;
      }
    }
    if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush) {
      body_ += "\\cf" + std::to_string(Color(f.foreground().color()));
    }
    if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush) {
      body_ += "\\chcbpat" + std::to_string(Color(f.background().color()));
    }
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript) body_ += "\\super";
    if (f.verticalAlignment() == QTextCharFormat::AlignSubScript) body_ += "\\sub";
  }

  void WriteImage(const QTextImageFormat& f) {
    QVariant res = doc_.resource(QTextDocument::ImageResource, QUrl(f.name()));
    QImage img = res.value<QImage>();
    if (img.isNull()) return;
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    if (!img.save(&buf, "PNG")) return;
    double w = f.width() > 0 ? f.width() : img.width();
    double h = f.height() > 0 ? f.height() : img.height();
    body_ += "{\\pict\\pngblip\\picw" + std::to_string(img.width()) + "\\pich" + std::to_string(img.height()) +
             "\\picwgoal" + std::to_string(Twips(w)) + "\\pichgoal" + std::to_string(Twips(h)) + "\r\n";
    static const char kHex[] = "0123456789abcdef";
    for (qsizetype i = 0; i < png.size(); ++i) {
      unsigned char b = static_cast<unsigned char>(png[i]);
      body_ += kHex[b >> 4];
      body_ += kHex[b & 15];
      if (i % 64 == 63) body_ += "\r\n";
    }
    body_ += '}';
  }

  int Font(const QString& family) {
    auto it = fontIndex_.find(family);
    if (it != fontIndex_.end()) return it->second;
    int n = static_cast<int>(fonts_.size());
    fonts_.push_back(family);
    fontIndex_[family] = n;
    return n;
  }

  int Color(const QColor& c) {
    QRgb key = c.rgb() & 0xFFFFFF;
    auto it = colorIndex_.find(key);
    if (it != colorIndex_.end()) return it->second;
    int n = static_cast<int>(colors_.size());
    colors_.push_back(c);
    colorIndex_[key] = n;
    return n;
  }

  void AppendText(std::string& out, const QString& text, bool specials) {
    for (qsizetype i = 0; i < text.size(); ++i) {
      char16_t u = text[i].unicode();
      if (u == '\\' || u == '{' || u == '}') {
        out += '\\';
        out += static_cast<char>(u);
      } else if (specials && u == '\t') {
        out += "\\tab ";
      } else if (specials && (u == 0x2028 || u == '\n')) {
        out += "\\line ";
      } else if (specials && u == 0xA0) {
        out += "\\~";
      } else if (u == '\r' || u == QChar::ObjectReplacementCharacter || u == rich::kEmptyFieldChar) {
        // nothing
      } else if (u >= 0x20 && u < 0x80) {
        out += static_cast<char>(u);
      } else if (auto it = upper_.find(u); it != upper_.end()) {
        static const char kHex[] = "0123456789abcdef";
        out += "\\'";
        out += kHex[it->second >> 4];
        out += kHex[it->second & 15];
      } else if (u >= 0x20) {
        out += "\\u" + std::to_string(static_cast<int16_t>(u)) + "?";
      }
    }
  }

  const QTextDocument& doc_;
  int lastFieldId_ = 0;
  std::string body_;
  std::map<char16_t, unsigned char> upper_;
  std::vector<QString> fonts_;
  std::map<QString, int> fontIndex_;
  std::vector<QColor> colors_;
  std::map<QRgb, int> colorIndex_;
};

}  // namespace

AnsiString WriteRtf(const QTextDocument& doc) {
  Writer w(doc);
  return w.Run();
}

}  // namespace vl
