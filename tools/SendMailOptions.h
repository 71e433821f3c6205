#pragma once
#include <QCommandLineParser>
#include <QString>

namespace mail {
class clsSendMail;
}

// The command line of velkor-sendmail: one option per message property and connection
// setting of the session object.
namespace sendmail_tool {

void addOptions(QCommandLineParser& parser);
// Copies the options that were given onto the session object, in the order the object
// needs them (checks and the delimiter before the values they apply to). False with
// `error` when a value cannot be used (a number that is none, an unreadable body file).
bool applyOptions(const QCommandLineParser& parser, mail::clsSendMail& mail, QString& error);

}  // namespace sendmail_tool
