#pragma once
#include <QDateTime>
#include <QString>
#include <stdexcept>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace platform {

// A failure of the spreadsheet writer, with a description for the user.
struct SpreadsheetError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One .xlsx workbook with one sheet. Every call of the library is checked; a failure
// throws SpreadsheetError. The workbook goes to a temporary file beside the target,
// which commit() renames over it, so a failed export leaves an old file as it was.
class SpreadsheetWriter {
 public:
  static constexpr int kMaxRows = 1048576;
  static constexpr int kMaxCols = 16384;
  static constexpr int kMaxText = 32767;

  SpreadsheetWriter(const QString& path, const QString& sheetName);
  ~SpreadsheetWriter();
  SpreadsheetWriter(const SpreadsheetWriter&) = delete;
  SpreadsheetWriter& operator=(const SpreadsheetWriter&) = delete;

  enum class Style { Plain, Bold, Money, Date, DateTime };
  // Infinities and NaN have no place in a sheet's number cells (readers reject the file):
  // they are written as the text "inf", "-inf" or "nan" and counted.
  void writeNumber(int row, int col, double value, Style style = Style::Plain);
  int nonFiniteCount() const { return nonFinite_; }
  void writeText(int row, int col, const QString& text, Style style = Style::Plain);
  void writeBool(int row, int col, bool value);
  void writeDateTime(int row, int col, const QDateTime& value, bool dateOnly);
  void setColumnWidth(int col, double width);  // in characters
  void commit();

  // Sheet names the writer accepts (31 characters, none of []:*?/\, no leading or trailing ').
  static QString checkSheetName(const QString& name);  // empty when fine, else the reason

 private:
  void check(int err, int row, int col) const;
  lxw_format* format(Style style) const;

  QString path_, temp_;
  lxw_workbook* book_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* bold_ = nullptr;
  lxw_format* money_ = nullptr;
  lxw_format* date_ = nullptr;
  lxw_format* dateTime_ = nullptr;
  int nonFinite_ = 0;
};

}  // namespace platform
