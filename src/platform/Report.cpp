#include "platform/Report.h"

#include <QAbstractTextDocumentLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>

namespace platform {

namespace {

// The document is laid out at the resolution of the printers and PDF files, so that line
// breaks do not depend on the screen.
constexpr int kLayoutDpi = 1200;

QImage metricsDevice() {
  QImage image(1, 1, QImage::Format_RGB32);
  image.setDotsPerMeterX(qRound(kLayoutDpi / 0.0254));
  image.setDotsPerMeterY(qRound(kLayoutDpi / 0.0254));
  return image;
}

QPageLayout defaultLayout() {
  return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 15, 15, 15),
                     QPageLayout::Millimeter);
}

void insertObject(QTextCursor& cursor, const QString& text, Report::Style style, bool first) {
  QTextBlockFormat block;
  QTextCharFormat chars;
  if (style == Report::Style::Title) {
    block.setAlignment(Qt::AlignHCenter);
    block.setBottomMargin(12);
    chars.setFontPointSize(14);
    chars.setFontWeight(QFont::Bold);
  } else {
    chars.setFontPointSize(10);
  }
  if (first) {
    cursor.setBlockFormat(block);
    cursor.setBlockCharFormat(chars);
  } else {
    cursor.insertBlock(block, chars);
  }
  cursor.insertText(text, chars);  // plain text: "<a@b.hr>" prints as written
}

}  // namespace

Report::Report() : layout_(defaultLayout()), metrics_(metricsDevice()) {}

Report::Report(const Report& other) : objects_(other.objects_), layout_(other.layout_), metrics_(metricsDevice()) {}

Report& Report::operator=(const Report& other) {
  objects_ = other.objects_;
  layout_ = other.layout_;
  document_.reset();
  return *this;
}

Report::~Report() = default;

void Report::addTextObject(const QString& name, Style style) {
  objects_ << TextObject{name, style, {}};
  document_.reset();
}

bool Report::setText(const QString& name, const QString& text) {
  for (TextObject& o : objects_)
    if (o.name == name) {
      o.text = text;
      document_.reset();
      return true;
    }
  return false;
}

QString Report::text(const QString& name) const {
  for (const TextObject& o : objects_)
    if (o.name == name) return o.text;
  return {};
}

void Report::setPageLayout(const QPageLayout& layout) {
  layout_ = layout;
  document_.reset();
}

QTextDocument& Report::document() const {
  if (document_) return *document_;
  document_ = std::make_unique<QTextDocument>();
  QTextDocument& d = *document_;
  d.documentLayout()->setPaintDevice(const_cast<QImage*>(&metrics_));
  d.setDocumentMargin(0);
  QTextOption wrap = d.defaultTextOption();
  wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  d.setDefaultTextOption(wrap);
  QTextCursor cursor(&d);
  for (qsizetype i = 0; i < objects_.size(); ++i) insertObject(cursor, objects_[i].text, objects_[i].style, i == 0);
  const QRectF page = layout_.paintRect(QPageLayout::Inch);
  d.setPageSize(QSizeF(page.width() * kLayoutDpi, page.height() * kLayoutDpi));
  return d;
}

int Report::pageCount() const { return document().pageCount(); }

bool Report::print(QPagedPaintDevice& device, int first, int last) const {
  const int pages = pageCount();
  if (first > pages) return false;
  if (first <= 0) {
    first = 1;
    last = pages;
  }
  last = qBound(first, last, pages);
  QPageRanges ranges;
  ranges.addRange(first, last);
  device.setPageRanges(ranges);
  // A paginated document is drawn page by page, scaled from its own page to the device's.
  document().print(&device);
  return true;
}

void Report::print(QPrinter& printer) const {
  const QPageRanges chosen = printer.pageRanges();
  if (chosen.isEmpty()) print(printer, 0, 0);
  // The document honours the chosen ranges itself; one past the end would give a blank page.
  else if (chosen.firstPage() <= pageCount()) document().print(&printer);
}

bool Report::exportPdf(const QString& path, const QString& title, int first, int last, QString* error) const {
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return false;
  };
  if (first > pageCount()) return fail(QStringLiteral("Izvještaj nema stranicu %1.").arg(first));
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return fail(file.errorString());
  {
    QPdfWriter writer(&file);
    writer.setResolution(kLayoutDpi);
    writer.setPageLayout(layout_);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("VelkorSlanjeEMaila26"));
    print(writer, first, last);
  }
  if (file.error() != QFileDevice::NoError || file.size() == 0) {
    const QString why = file.errorString();
    file.cancelWriting();
    return fail(why);
  }
  if (!file.commit()) return fail(file.errorString());
  return true;
}

}  // namespace platform
