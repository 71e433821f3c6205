#pragma once
#include <QList>
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

class QSqlQuery;

namespace platform {

// Data type codes of the host's record sets.
enum AdoType {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBSTR = 8,
  adBoolean = 11,
  adDecimal = 14,
  adTinyInt = 16,
  adUnsignedTinyInt = 17,
  adBigInt = 20,
  adBinary = 128,
  adChar = 129,
  adWChar = 130,
  adNumeric = 131,
  adDBDate = 133,
  adDBTime = 134,
  adDBTimeStamp = 135,
  adVarChar = 200,
  adLongVarChar = 201,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204
};

struct RecordField {
  QString Name;
  int Type = adVarWChar;
};

// The host's tabular data: a cursor over rows that it shares with its clones and with
// the host. Delete removes the current row from the shared rows, so the host sees it gone.
// Values are held by column in their own types (numbers unboxed, texts as they are), so that
// a million rows fit where a QVariant per cell would take twice the memory.
class RecordSet {
 public:
  RecordSet();  // closed, no fields
  explicit RecordSet(QList<RecordField> fields);

  // Rows can be added while building; values are converted to the field's type.
  void AddRow(const QList<QVariant>& values);
  // Text of a value as the host gave it (empty = Null), converted by the field's type code.
  static QVariant fromText(const QString* text, int adoType);
  static int adoTypeOf(QMetaType type);
  static RecordSet fromQuery(QSqlQuery& query);

  int State() const;  // 0 closed, 1 open
  void Close();
  int RecordCount() const;
  bool Eof() const;
  bool Bof() const;
  void MoveFirst();
  void MoveNext();
  void MoveLast();

  int FieldCount() const;
  QString FieldName(int i) const;
  int FieldType(int i) const;
  int FieldIndex(const QString& name) const;  // -1 when absent; names compare case-insensitively
  QVariant Value(int field) const;            // of the current row; invalid at EOF/BOF
  QVariant Value(const QString& field) const;
  void SetValue(int field, const QVariant& v);

  // The current row's identity, kept through sorting and other rows' deletion and never
  // given to another row of this set; invalid at EOF/BOF.
  QVariant Bookmark() const;
  // Removes the current row; the cursor stays on the gap until the next move.
  void Delete();
  RecordSet Clone() const;
  // The remaining rows from the current one, as [field][row]; the cursor ends at EOF.
  QList<QList<QVariant>> GetRows();
  QString Sort() const;
  // "[Name]", "Name DESC", "[A] ASC, [B] DESC"; an empty text restores the stored order.
  void SetSort(const QString& expression);

  // Whole rows in the current order (for the host's read-back).
  QList<QList<QVariant>> rows() const;

 private:
  struct Shared;  // the fields, and the values by column in their types
  void skipDeleted();
  bool live(size_t viewPos) const;
  qint64 currentRow() const;  // the current row's index in the columns; -1 for none

  std::shared_ptr<Shared> d_;
  std::vector<quint32> view_;  // this cursor's order, as row indexes
  int pos_ = 0;
  QString sort_;
};

}  // namespace platform
