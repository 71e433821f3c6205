#pragma once
#include <QImage>
#include <QList>
#include <QPageLayout>
#include <QString>
#include <memory>

class QPagedPaintDevice;
class QPrinter;
class QTextDocument;

namespace platform {

// A report: named text objects laid out one under the other on pages of one page layout.
// The document is paginated once for that layout and every output (preview, printer, PDF)
// draws the same pages scaled to its device, so page numbers match everywhere.
class Report {
 public:
  enum class Style { Title, Body };

  Report();
  Report(const Report& other);
  Report& operator=(const Report& other);
  ~Report();

  // Defines a text object; the objects print in the order they were added.
  void addTextObject(const QString& name, Style style);
  // False when the report has no object of that name. Body text goes in as plain text.
  bool setText(const QString& name, const QString& text);
  QString text(const QString& name) const;

  QPageLayout pageLayout() const { return layout_; }
  void setPageLayout(const QPageLayout& layout);

  int pageCount() const;
  // Draws pages first..last (1-based, 0 and 0: all; a last page past the end is clamped) on
  // a device whose page layout is this report's; false when first is past the last page.
  bool print(QPagedPaintDevice& device, int first = 0, int last = 0) const;
  // Prints the range chosen in the printer's dialog (all pages when none was chosen).
  void print(QPrinter& printer) const;
  // Writes pages first..last as PDF to a temporary file that replaces `path` only when
  // complete. False, with a description in *error, when nothing was written.
  bool exportPdf(const QString& path, const QString& title, int first, int last, QString* error) const;

 private:
  struct TextObject {
    QString name;
    Style style;
    QString text;
  };
  QTextDocument& document() const;

  QList<TextObject> objects_;
  QPageLayout layout_;
  QImage metrics_;  // the device the document is laid out for
  mutable std::unique_ptr<QTextDocument> document_;
};

}  // namespace platform
