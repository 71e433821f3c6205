#pragma once
// Helpers of the route tests: the text viewer answered while it is open and fields of a
// message's strict parse; the rest of the set-up is the common fixture's.
#include "core/SettingsStore.h"
#include "mail/MessageCheck.h"
#include "support/Fixture.h"
#include "viewers/frmPrikazTeksta.h"

// While alive, every text viewer shown modally is recorded ("caption|text") and closed with
// its Ok button.
struct TextViewerWatch {
  QStringList seen;
  OnModal<viewers::frmPrikazTeksta> watch{[this](viewers::frmPrikazTeksta& f) {
    seen << f.windowTitle() + "|" + child<QPlainTextEdit>(f, "txtPoruka")->toPlainText();
    click(f, "OKButton");
  }};
};

// One field of every entry of a list in the parse, e.g. fields(c, "to", "address").
inline QStringList fields(const QJsonObject& c, const QString& list, const QString& key) {
  QStringList out;
  for (const QJsonValue v : c.value(list).toArray()) out << v.toObject().value(key).toString();
  return out;
}

// Every byte value, in no simple order.
inline QByteArray binaryBytes(qsizetype n) {
  QByteArray b(n, Qt::Uninitialized);
  for (qsizetype i = 0; i < n; ++i) b[i] = char((i * 7919 + (i >> 9)) >> 3);
  return b;
}
