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
  QStringList putanje;   // files to attach, one per distinct image, in document order
  QStringList odbijene;  // local files named as images that are none: the run must not start
};

// html: the serialized document; izvori: every image's "src" as the document holds it;
// dokument: the document's address (relative sources resolve against it); kopije: a
// private directory for copies of images whose own name is already taken or holds ";".
// Web images and sources that name no existing file stay as they are; a local file that is
// no image (by its content) is neither attached nor rewritten but listed in odbijene.
SlikeZaSlanje pripremiLokalneSlike(const QString& html, const QStringList& izvori, const QUrl& dokument,
                                   const QString& kopije);

// The local file a source names, or "" when it names none (a web address, data:, cid:).
QString lokalnaDatoteka(const QString& izvor, const QUrl& dokument);

// True when the file's content is a PNG, JPEG, GIF, WebP, BMP or SVG image, whatever its name.
bool slikovnaDatoteka(const QString& put);

// The distinct local files the sources name, in document order, split into images and
// the rest (the preview lists what a message will carry).
void lokalneDatoteke(const QStringList& izvori, const QUrl& dokument, QStringList* slike, QStringList* ostale);

// The box that stops a run over odbijene.
QString tekstOdbijenihSlika(const QStringList& odbijene);

}  // namespace composer
