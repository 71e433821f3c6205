#pragma once
#include <QString>
#include <QStringList>
#include <QUrl>

// The local images of a composed document, made ready to travel with the message: each
// local file once, under a name no other image of the message has, and the document's
// references to it rewritten to that bare name (the engine turns them into "cid:").
namespace composer {

struct SlikeZaSlanje {
  QString html;
  QStringList putanje;  // files to attach, one per distinct image, in document order
};

// html: the serialized document; izvori: every image's "src" as the document holds it;
// dokument: the document's address (relative sources resolve against it); kopije: a
// private directory for copies of images whose own name is already taken or holds ";".
// Web images and sources that name no existing file stay as they are.
SlikeZaSlanje pripremiLokalneSlike(const QString& html, const QStringList& izvori,
                                   const QUrl& dokument, const QString& kopije);

// The local file a source names, or "" when it names none (a web address, data:, cid:).
QString lokalnaDatoteka(const QString& izvor, const QUrl& dokument);

}  // namespace composer
