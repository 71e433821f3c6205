#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class QIODevice;

// The message text written after DATA: header block, body and attachments (MIME parts
// in base64, or uuencoded blocks). Lines are produced one at a time and handed to a
// sink as they are made; attachments are read in chunks, so neither the message nor a
// file is ever held whole in memory.
//
// Two users:
//  - the SMTP session: MimeInput::dotStuffing on (default), body from
//    prepareBody(text, true); the session sends the closing "." itself after write();
//  - a local mail program (sendmail -t -i) or any file: dotStuffing off, body from
//    prepareBody(text, false), and writeMessage() to a QIODevice.
namespace mail {

struct MimeAttachment {
  QString path;           // file to read
  QString fileName;       // name shown in the message
  bool embedded = false;  // referenced from the HTML body (set by embedFiles)
};

struct MimeInput {
  QString from;
  QString fromDisplayName;
  QStringList recipients;             // To, in order
  QStringList recipientDisplayNames;  // index-matched to recipients; may be shorter
  QStringList ccRecipients;
  QStringList ccDisplayNames;
  QStringList bccRecipients;  // envelope only: never written to the text
  QString subject;
  QString replyTo;
  QString listUnsubscribe;  // address that takes unsubscribe requests (List-Unsubscribe, RFC 2369)
  QString body;             // prepared: prepareBody(text, dotStuffing)
  bool asHtml = false;      // sent with a text/plain alternative made from it (multipart/alternative)
  QString contentBase;      // already normalised ("http://…/")
  int encodeType = 0;       // 0 MIME (base64 attachments), 1 UUEncode
  // Only 1 (high) and 5 (low) are written, with their own word; any other value, the
  // composer's 0 among them, writes no priority headers.
  int priority = 3;
  QString priorityWord;  // the session object's word; the headers take the number's own
  bool receipt = false;
  QList<MimeAttachment> attachments;
  // Some attachment is referenced from the HTML (embedFiles): the body (with its
  // alternative) and those parts form a multipart/related, nested as the first part of a multipart/mixed when
  // there are other attachments.
  bool related = false;
  QString messageIdHost;  // empty → senderDomain(from)
  QString zoneOffset;     // e.g. "+0100"; empty → this machine's offset at `now`
  QDateTime now;          // message time; invalid → current time
  // SMTP transparency for the lines the builder makes itself (uuencoded lines and
  // pieces of over-long lines). The body is expected to be stuffed already.
  bool dotStuffing = true;
  // The body goes out quoted-printable, encoded from sourceBody (the text as assigned,
  // lines not broken or stuffed): for a server without 8BITMIME, or a line too long.
  // In UUEncode mode 8-bit text (body or a "begin" line) or quoted-printable brings the
  // MIME headers of a text/plain message with it.
  bool quotedPrintable = false;
  QString sourceBody;
  // The server takes 8-bit text (RFC 6152); decides the HTML body's text/plain alternative.
  bool eightBitMime = true;
  // The part of the MIME boundaries that differs from message to message; empty → random.
  // Replaced when a text part written as it is holds a line starting with a boundary.
  QString boundaryId;
};

// True when the message text would hold 8-bit characters as it stands: the body, and in
// UUEncode mode the attachments' "begin" lines.
bool hasEightBitText(const MimeInput& in);
// Sets eightBitMime and quotedPrintable for a server that does or does not take 8-bit
// text: quoted-printable for 8-bit text it does not take, and for a line longer than
// SMTP allows (sourceBody), in either mode. Uuencoded lines are ASCII and come back
// unchanged from the decoding.
void chooseTransferEncoding(MimeInput& in, bool serverTakesEightBit);

// Receives the message. Every writeLines() call holds one or more complete lines, each
// ending in CR LF. Returning false from any call stops the message at once.
class MimeSink {
 public:
  virtual ~MimeSink() = default;
  virtual bool writeLines(QByteArrayView lines) = 0;
  // After each 11400-byte base64 chunk / each 50 uuencoded lines of an attachment.
  virtual bool chunkWritten() { return true; }
  // After each attachment (the session's flow-control wait).
  virtual bool attachmentWritten() { return true; }
  // "Sending Attachment, name..." / "Sending Embedded File, name..." before each one.
  virtual void status(const QString& text) { Q_UNUSED(text); }
};

class MimeBuilder {
 public:
  // Writes items from Message-ID to the closing boundary; not the final ".".
  // False when the sink stopped it or an attachment could not be read (errorText()).
  bool write(const MimeInput& in, MimeSink& sink);
  QString errorText() const { return error_; }

  // The outer boundary for an id; nested parts use _001_, _002_ in place of _000_.
  // "=_" cannot occur in base64 or quoted-printable text.
  static QString boundary(const QString& id, int depth = 0);

 private:
  QString error_;
};

// What the session adds to the size estimate besides the message.
struct SizeExtras {
  bool useAuthentication = false;
  QString userName;
  QString password;
};
// Bytes expected on the wire for one Send (envelope + message), for Progress.
qint64 estimateSize(const MimeInput& in, const SizeExtras& extras = {});

// A whole message to a device without SMTP transparency, lines ending in CR LF or,
// for a local mail program that wants Unix text, in LF. `in.dotStuffing` is ignored.
enum class LineEnd { CrLf, Lf };
bool writeMessage(const MimeInput& in, QIODevice& device, LineEnd lineEnd = LineEnd::CrLf,
                  QString* errorText = nullptr);

}  // namespace mail
