#pragma once
#include <QList>
#include <QString>

#include "mail/MimeBuilder.h"

// Rewrites references to attached files inside HTML tags into "cid:" references.
// Run at the start of Send when the body is HTML and there are attachments.
namespace mail {

// For each attachment: every case-insensitive occurrence of its file name inside a tag,
// standing at the end of an attribute value (after its start, "/" or "\", and before a
// quote, blank or ">"), loses the path in front of it and becomes "cid:" + contentId.
// Sets the attachment's embedded flag; returns true when any was embedded (related).
bool embedFiles(QString& body, QList<MimeAttachment>& attachments);

// The Content-ID of an attached file: the file name itself when it is plain ASCII
// without blanks or specials; otherwise every other byte of its UTF-8 written as
// "_" + two hex digits, so the header stays ASCII and the cid: reference matches it.
QString contentIdFor(const QString& fileName);

}  // namespace mail
