#include "platform/SpreadsheetWriter.h"

#include <xlsxwriter.h>
#include <QFile>
#include <QFileInfo>
#include <QUuid>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {

QString opis(int err) { return QString::fromUtf8(lxw_strerror(lxw_error(err))); }

[[noreturn]] void baci(const QString& tekst) { throw SpreadsheetError(tekst.toStdString()); }

}  // namespace

QString SpreadsheetWriter::checkSheetName(const QString& name) {
  if (name.isEmpty()) return QStringLiteral("Ime lista ne smije biti prazno.");
  if (name.size() > 31) return QStringLiteral("Ime lista \"%1\" dulje je od 31 znaka.").arg(name);
  for (QChar c : QStringLiteral("[]:*?/\\"))
    if (name.contains(c)) return QStringLiteral("Ime lista \"%1\" ne smije sadržavati znak %2.").arg(name, c);
  if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
    return QStringLiteral("Ime lista \"%1\" ne smije počinjati ni završavati s '.").arg(name);
  return {};
}

SpreadsheetWriter::SpreadsheetWriter(const QString& path, const QString& sheetName) : path_(path) {
  const QString razlog = checkSheetName(sheetName);
  if (!razlog.isEmpty()) baci(razlog);
  const QFileInfo fi(path);
  temp_ = fi.absolutePath() + QStringLiteral("/.") + fi.fileName() + QLatin1Char('.') +
          QUuid::createUuid().toString(QUuid::Id128).left(12) + QStringLiteral(".tmp");
  book_ = workbook_new(QFile::encodeName(temp_).constData());
  if (!book_) baci(QStringLiteral("Radna knjiga se ne može napraviti."));
  sheet_ = workbook_add_worksheet(book_, sheetName.toUtf8().constData());
  if (!sheet_) baci(QStringLiteral("Ime lista \"%1\" nije prihvaćeno.").arg(sheetName));
  bold_ = workbook_add_format(book_);
  money_ = workbook_add_format(book_);
  date_ = workbook_add_format(book_);
  dateTime_ = workbook_add_format(book_);
  if (!bold_ || !money_ || !date_ || !dateTime_) baci(QStringLiteral("Nema dovoljno memorije."));
  format_set_bold(bold_);
  format_set_num_format(money_, "#,##0.00");
  format_set_num_format(date_, "dd.mm.yyyy");
  format_set_num_format(dateTime_, "dd.mm.yyyy hh:mm:ss");
}

SpreadsheetWriter::~SpreadsheetWriter() {
  if (!book_) return;
  // Not committed: close the library's work and throw the half-made file away.
  workbook_close(book_);
  std::remove(QFile::encodeName(temp_).constData());
}

void SpreadsheetWriter::check(int err, int row, int col) const {
  if (err == LXW_NO_ERROR) return;
  const QString mjesto = QStringLiteral(" (redak %1, stupac %2)").arg(row + 1).arg(col + 1);
  switch (err) {
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
      baci(QStringLiteral("Tekst je dulji od %1 znakova").arg(kMaxText) + mjesto + '.');
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
      baci(QStringLiteral("List ima najviše %1 redaka i %2 stupaca").arg(kMaxRows).arg(kMaxCols) + mjesto + '.');
    default: baci(opis(err) + mjesto + '.');
  }
}

lxw_format* SpreadsheetWriter::format(Style style) const {
  switch (style) {
    case Style::Bold: return bold_;
    case Style::Money: return money_;
    case Style::Date: return date_;
    case Style::DateTime: return dateTime_;
    default: return nullptr;
  }
}

void SpreadsheetWriter::writeNumber(int row, int col, double value, Style style) {
  if (!std::isfinite(value)) {
    ++nonFinite_;
    writeText(row, col,
              std::isnan(value) ? QStringLiteral("nan")
              : value > 0       ? QStringLiteral("inf")
                                : QStringLiteral("-inf"));
    return;
  }
  check(worksheet_write_number(sheet_, lxw_row_t(row), lxw_col_t(col), value, format(style)), row, col);
}

void SpreadsheetWriter::writeText(int row, int col, const QString& text, Style style) {
  // Counted in characters as the spreadsheet counts them (UTF-16 units).
  if (text.size() > kMaxText) check(LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED, row, col);
  check(worksheet_write_string(sheet_, lxw_row_t(row), lxw_col_t(col), text.toUtf8().constData(), format(style)), row,
        col);
}

void SpreadsheetWriter::writeBool(int row, int col, bool value) {
  check(worksheet_write_boolean(sheet_, lxw_row_t(row), lxw_col_t(col), value, nullptr), row, col);
}

void SpreadsheetWriter::writeDateTime(int row, int col, const QDateTime& value, bool dateOnly) {
  const QDate d = value.date();
  const QTime t = value.time();
  lxw_datetime dt{d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second() + t.msec() / 1000.0};
  if (d.year() < 1900) {  // the sheet's dates begin in 1900: keep the value as text
    writeText(row, col,
              value.toString(dateOnly ? QStringLiteral("dd.MM.yyyy") : QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    return;
  }
  check(worksheet_write_datetime(sheet_, lxw_row_t(row), lxw_col_t(col), &dt, dateOnly ? date_ : dateTime_), row, col);
}

void SpreadsheetWriter::setColumnWidth(int col, double width) {
  check(worksheet_set_column(sheet_, lxw_col_t(col), lxw_col_t(col), width, nullptr), 0, col);
}

void SpreadsheetWriter::commit() {
  lxw_workbook* book = book_;
  book_ = nullptr;
  const int err = workbook_close(book);
  const QByteArray temp = QFile::encodeName(temp_);
  if (err != LXW_NO_ERROR) {
    std::remove(temp.constData());
    baci(QStringLiteral("Datoteka %1 se ne može spremiti: %2").arg(path_, opis(err)));
  }
  if (std::rename(temp.constData(), QFile::encodeName(path_).constData()) != 0) {
    std::remove(temp.constData());
    baci(
        QStringLiteral("Datoteka %1 se ne može spremiti: %2").arg(path_, QString::fromLocal8Bit(std::strerror(errno))));
  }
}

}  // namespace platform
