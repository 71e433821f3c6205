/* VelkorSlanjeEMaila26 - the e-mail component, version 26.1.0.1.
 *
 * A host program creates clsSlanjeEMaila and calls one of its three methods on its GUI
 * thread; each opens a window of the component modally and returns when it closes.
 * Strings are UTF-8. Parameters are passed by pointer and never written to.
 * Each method returns 0, or a negative code when a failure escaped the window; the
 * text of that failure is then available from clsSlanjeEMaila_ErrorText.
 *
 * The component needs a Qt application object: if the host has none, the first call that
 * needs one creates it in the calling thread and keeps it for the life of the process.
 * Windows need a display (DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM) whose server
 * answers; without one a method fails with an error text instead of opening its window,
 * and the record-set functions still work. The HTML composer (methods 1 and 2) refuses to
 * run as root unless QTWEBENGINE_DISABLE_SANDBOX is set, as its browser engine would end
 * the process.
 */
#ifndef VELKOR_SLANJE_EMAILA_26_H
#define VELKOR_SLANJE_EMAILA_26_H

#include <stdint.h>

/* Marks what the library exports; everything else in it stays hidden. */
#if defined(__GNUC__)
#define VELKOR_API __attribute__((visibility("default")))
#else
#define VELKOR_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define VELKOR_PROGID "VelkorSlanjeEMaila26.clsSlanjeEMaila"
#define VELKOR_LIBRARY_NAME "libVelkorSlanjeEMaila26.so.26"

/* Result codes. */
#define VELKOR_OK 0
#define VELKOR_E_FAIL (-1)         /* a failure escaped the window: see the error text */
#define VELKOR_E_INVALIDARG (-2)   /* a required pointer was NULL */
#define VELKOR_E_NOTAVAILABLE (-3) /* the window this method opens is not available */

typedef struct clsSlanjeEMaila clsSlanjeEMaila;
typedef struct VelkorRecordSet VelkorRecordSet;

/* ---- the component class ---- */
VELKOR_API clsSlanjeEMaila* clsSlanjeEMaila_Create(void);
VELKOR_API void clsSlanjeEMaila_Release(clsSlanjeEMaila* obj);
/* Text of the last failure of a method call on obj ("" when the last call succeeded).
 * Valid until the next method call on obj or its release. */
VELKOR_API const char* clsSlanjeEMaila_ErrorText(const clsSlanjeEMaila* obj);

/* 1: the HTML composer with one message per record of *rs. */
VELKOR_API int32_t clsSlanjeEMaila_SlanjePrekoRecordseta(clsSlanjeEMaila* obj, VelkorRecordSet* const* rs,
                                                         const int32_t* Parametar);
/* 2: the HTML composer for one message to typed addresses. */
VELKOR_API int32_t clsSlanjeEMaila_SlanjeBezRecordSeta(clsSlanjeEMaila* obj, const int32_t* Parametar);
/* 3: the single-message send form, pre-filled. lAttachFileName2 and lAttachFileName3 are
 * optional: NULL means "" (a host with seven parameters passes NULL for both). */
VELKOR_API int32_t clsSlanjeEMaila_SlanjeFajlaPrekoEMaila(clsSlanjeEMaila* obj, const int32_t* Parametar,
                                                          const char* Subject, const char* Recepients, const char* CC,
                                                          const char* BCC, const char* Poruka,
                                                          const char* lAttachFileName, const char* lAttachFileName2,
                                                          const char* lAttachFileName3);

/* ---- record sets for hosts ---- */
/* Data type codes of fields (the ADO codes). */
enum {
  VELKOR_adSmallInt = 2,
  VELKOR_adInteger = 3,
  VELKOR_adSingle = 4,
  VELKOR_adDouble = 5,
  VELKOR_adCurrency = 6,
  VELKOR_adDate = 7,
  VELKOR_adBoolean = 11,
  VELKOR_adBigInt = 20,
  VELKOR_adNumeric = 131,
  VELKOR_adDBDate = 133,
  VELKOR_adDBTimeStamp = 135,
  VELKOR_adVarWChar = 202
};

/* An empty record set with the given fields (types NULL: all text). NULL on bad arguments. */
VELKOR_API VelkorRecordSet* VelkorRecordSet_Create(int32_t fieldCount, const char* const* names, const int32_t* types);
/* Appends one row: fieldCount values as text (NULL = Null), converted by the field types
 * (numbers with "." or ",", dates as "yyyy-MM-dd[ HH:mm:ss]" or "dd.MM.yyyy"). */
VELKOR_API int32_t VelkorRecordSet_AddRow(VelkorRecordSet* rs, const char* const* values);
/* Runs an SQL query through a Qt SQL driver ("QSQLITE", "QPSQL", "QODBC") with connection
 * options "database=...;host=...;port=...;user=...;password=...;options=..." (all optional;
 * "options" comes last and takes the rest of the text, since driver options are themselves
 * separated by ";"). The rows are read at once and the connection is closed again.
 * NULL on failure, with the reason in *error when error is not NULL (free it with
 * VelkorRecordSet_FreeText). */
VELKOR_API VelkorRecordSet* VelkorRecordSet_OpenQuery(const char* driver, const char* connection, const char* sql,
                                                      char** error);
VELKOR_API int32_t VelkorRecordSet_RecordCount(const VelkorRecordSet* rs);
VELKOR_API int32_t VelkorRecordSet_FieldCount(const VelkorRecordSet* rs);
/* Valid until rs is released. */
VELKOR_API const char* VelkorRecordSet_FieldName(const VelkorRecordSet* rs, int32_t field);
VELKOR_API int32_t VelkorRecordSet_FieldType(const VelkorRecordSet* rs, int32_t field);
/* Value of a row (0-based, in the set's order; rows the component deleted are gone) as
 * text: numbers with ".", dates "yyyy-MM-dd HH:mm:ss" (adDBDate "yyyy-MM-dd"), booleans
 * "True"/"False". NULL for Null or out of range. Valid until the next call on rs or its
 * release. */
VELKOR_API const char* VelkorRecordSet_Value(VelkorRecordSet* rs, int32_t row, int32_t field);
VELKOR_API void VelkorRecordSet_Release(VelkorRecordSet* rs);
VELKOR_API void VelkorRecordSet_FreeText(char* text);

/* ---- record-set viewers and export ----
 * Windows that the host's report screens share, opened modally for a host's record set.
 * They return like the three methods: 0, or a negative code with the error text on obj. */
/* The record grid: columns are grid columns (field i is column i + 1), -1 for none;
 * izvjestaj selects a known report's totals and colours ("" for none). The grid's sort
 * stays on rs. */
VELKOR_API int32_t clsSlanjeEMaila_PrikaziZapise(clsSlanjeEMaila* obj, const char* naslov, VelkorRecordSet* rs,
                                                 int32_t stupacGrupe, int32_t ukupno1, int32_t ukupno2,
                                                 const char* izvjestaj);
/* The spreadsheet export: an .xlsx saved to datoteka (a message confirms it), or with
 * datoteka "" opened in the desktop's spreadsheet program; the CSV export form instead when
 * the setting "PrebacujUCSV" is true. Failures are shown to the user. */
VELKOR_API int32_t clsSlanjeEMaila_PrebaciUExcel(clsSlanjeEMaila* obj, VelkorRecordSet* rs, int32_t bezZaglavlja,
                                                 int32_t bezProvjere, int32_t imenujList, const char* datoteka,
                                                 const char* imeLista);
/* The CSV export form; *prekinuto (may be NULL) is 1 unless an export completed. */
VELKOR_API int32_t clsSlanjeEMaila_ExportCSV(clsSlanjeEMaila* obj, VelkorRecordSet* rs, int32_t* prekinuto);
/* Writes rs without a window: a name ending in ".csv" gets the CSV file with the stored
 * separator, decimal character and quoting; any other name an .xlsx workbook. Needs no
 * display. VELKOR_E_FAIL with the reason on obj when it cannot be written. */
VELKOR_API int32_t clsSlanjeEMaila_IzveziZapise(clsSlanjeEMaila* obj, VelkorRecordSet* rs, const char* datoteka);

/* ---- the report window ----
 * The report window for a text under a caption: preview, print, page setup, PDF (all
 * pages or a range), the PDF by e-mail through the send form (to emailPrimatelja, NULL for
 * none) and, when rs is not NULL, its spreadsheet export and record grid. pamtiPoziciju
 * not 0: the window's position is restored and saved. Returns like the three methods. */
VELKOR_API int32_t clsSlanjeEMaila_PrikaziIzvjestaj(clsSlanjeEMaila* obj, const char* naslov, const char* tekst,
                                                    VelkorRecordSet* rs, const char* emailPrimatelja,
                                                    int32_t pamtiPoziciju);

#ifdef __cplusplus
}
#endif

#endif
