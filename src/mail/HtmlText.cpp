#include "mail/HtmlText.h"

#include <QHash>
#include <QList>
#include <QRegularExpression>
#include <QStringList>

namespace mail {
namespace {

// The named references a business letter uses; anything else stays as written.
const QHash<QString, char32_t>& namedEntities() {
  static const QHash<QString, char32_t> table = {
      {"amp", '&'},      {"lt", '<'},        {"gt", '>'},       {"quot", '"'},     {"apos", '\''},    {"nbsp", 0xA0},
      {"shy", 0xAD},     {"copy", 0xA9},     {"reg", 0xAE},     {"trade", 0x2122}, {"euro", 0x20AC},  {"ndash", 0x2013},
      {"mdash", 0x2014}, {"hellip", 0x2026}, {"laquo", 0xAB},   {"raquo", 0xBB},   {"lsquo", 0x2018}, {"rsquo", 0x2019},
      {"sbquo", 0x201A}, {"ldquo", 0x201C},  {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"bull", 0x2022},  {"middot", 0xB7},
      {"deg", 0xB0},     {"times", 0xD7},    {"divide", 0xF7},  {"plusmn", 0xB1},  {"sect", 0xA7},    {"para", 0xB6},
      {"cent", 0xA2},    {"pound", 0xA3},    {"scaron", 0x161}, {"Scaron", 0x160}, {"zcaron", 0x17E}, {"Zcaron", 0x17D},
      {"ccaron", 0x10D}, {"Ccaron", 0x10C},  {"cacute", 0x107}, {"Cacute", 0x106}, {"dstrok", 0x111}, {"Dstrok", 0x110},
      {"auml", 0xE4},    {"ouml", 0xF6},     {"uuml", 0xFC},    {"Auml", 0xC4},    {"Ouml", 0xD6},    {"Uuml", 0xDC},
      {"szlig", 0xDF},   {"eacute", 0xE9},   {"Eacute", 0xC9},
  };
  return table;
}

// The text of the reference starting at `at` ("&name;", "&#nn;", "&#xhh;") and its
// length; 0 when there is none, so the "&" is plain text.
qsizetype readEntity(const QString& s, qsizetype at, QString& text) {
  const qsizetype semi = s.indexOf(QLatin1Char(';'), at + 1);
  if (semi < 0 || semi - at > 12) return 0;
  const QStringView name = QStringView(s).sliced(at + 1, semi - at - 1);
  char32_t code = 0;
  if (name.startsWith(QLatin1Char('#'))) {
    const bool hex = name.size() > 1 && (name[1] == QLatin1Char('x') || name[1] == QLatin1Char('X'));
    bool ok = false;
    code = name.sliced(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  } else {
    code = namedEntities().value(name.toString());
    if (code == 0) return 0;
  }
  text = QString::fromUcs4(&code, 1);
  return semi - at + 1;
}

QString decodeEntities(const QString& s) {
  QString out;
  for (qsizetype i = 0; i < s.size();) {
    QString text;
    const qsizetype length = s[i] == QLatin1Char('&') ? readEntity(s, i, text) : 0;
    out += length ? text : QString(s[i]);
    i += length ? length : 1;
  }
  return out;
}

bool isAsciiLetter(QChar c) {
  return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

struct Tag {
  QString name;  // lower case
  bool closing = false;
  QString attributes;
  qsizetype end = 0;  // just past the ">"
};

// The tag at `at` (a "<"); false when what follows cannot start a tag ("a < b").
// A quote opens a value only after "=", so an apostrophe in plain text ends nothing.
bool readTag(const QString& html, qsizetype at, Tag& tag) {
  qsizetype i = at + 1;
  if (i < html.size() && html[i] == QLatin1Char('/')) {
    tag.closing = true;
    ++i;
  }
  if (i >= html.size() || !isAsciiLetter(html[i])) return false;
  const qsizetype nameStart = i;
  while (i < html.size() && (html[i].isLetterOrNumber() || html[i] == QLatin1Char('-'))) ++i;
  tag.name = html.mid(nameStart, i - nameStart).toLower();
  const qsizetype attributesStart = i;
  QChar quote, previous;
  for (; i < html.size(); ++i) {
    const QChar c = html[i];
    if (!quote.isNull()) {
      if (c == quote) quote = QChar();
    } else if ((c == QLatin1Char('"') || c == QLatin1Char('\'')) && previous == QLatin1Char('=')) {
      quote = c;
    } else if (c == QLatin1Char('>')) {
      break;
    }
    if (!c.isSpace()) previous = c;
  }
  tag.attributes = html.mid(attributesStart, i - attributesStart);
  tag.end = qMin(i + 1, html.size());
  return true;
}

QString attribute(const QString& attributes, const QString& name) {
  static const QRegularExpression pair(
      QStringLiteral(R"re((?:^|\s)([A-Za-z_:-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
  for (auto it = pair.globalMatch(attributes); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    if (m.captured(1).compare(name, Qt::CaseInsensitive) == 0)
      return decodeEntities(m.captured(2) + m.captured(3) + m.captured(4)).trimmed();
  }
  return {};
}

// A web or mail address a reader can use as it stands; mail addresses without "mailto:".
QString shownTarget(const QString& href) {
  static const QRegularExpression simple(QStringLiteral(R"re(^(https?://|mailto:)[^\s<>"]{1,200}$)re"),
                                         QRegularExpression::CaseInsensitiveOption);
  if (!simple.match(href).hasMatch()) return {};
  if (!href.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) return href;
  return href.contains(QLatin1Char('?')) ? QString() : href.mid(7);
}

bool oneOf(const QString& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == QLatin1String(n)) return true;
  return false;
}

class Converter {
 public:
  QString run(const QString& html) {
    for (qsizetype i = 0; i < html.size();) {
      const QChar c = html[i];
      if (c == QLatin1Char('<')) {
        Tag tag;
        if (QStringView(html).sliced(i).startsWith(QLatin1String("<!--"))) {
          const qsizetype end = html.indexOf(QLatin1String("-->"), i + 4);
          i = end < 0 ? html.size() : end + 3;
          continue;
        }
        if (i + 1 < html.size() && (html[i + 1] == QLatin1Char('!') || html[i + 1] == QLatin1Char('?'))) {
          const qsizetype end = html.indexOf(QLatin1Char('>'), i);
          i = end < 0 ? html.size() : end + 1;
          continue;
        }
        if (readTag(html, i, tag)) {
          i = handle(html, tag);
          continue;
        }
      } else if (c == QLatin1Char('&')) {
        QString text;
        if (const qsizetype length = readEntity(html, i, text)) {
          for (QChar t : text) add(t);
          i += length;
          continue;
        }
      }
      add(c);
      ++i;
    }
    return tidy();
  }

 private:
  struct Link {
    QString target;
    qsizetype start;
  };

  void add(QChar c) {
    if (c.unicode() == 0xAD) return;  // soft hyphen: invisible unless a line breaks there
    if (pre_ > 0) {
      if (c != QLatin1Char('\r')) out_ += c;
      return;
    }
    if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r') ||
        c == QLatin1Char('\f')) {
      pendingSpace_ = true;
      return;
    }
    if (pendingSpace_ && !out_.isEmpty() && !out_.endsWith(QLatin1Char('\n')) && !out_.endsWith(QLatin1Char(' ')))
      out_ += QLatin1Char(' ');
    pendingSpace_ = false;
    out_ += c.unicode() == 0xA0 ? QLatin1Char(' ') : c;
  }

  void trimLineEnd() {
    while (out_.endsWith(QLatin1Char(' ')) || out_.endsWith(QLatin1Char('\t'))) out_.chop(1);
    pendingSpace_ = false;
  }

  // The text so far ends with `count` line ends (a paragraph: 2); none at the start.
  void lineBreak(int count) {
    trimLineEnd();
    if (out_.isEmpty()) return;
    int have = 0;
    while (have < out_.size() && out_[out_.size() - 1 - have] == QLatin1Char('\n')) ++have;
    for (; have < count; ++have) out_ += QLatin1Char('\n');
  }

  // Where scanning goes on after the tag.
  qsizetype handle(const QString& html, const Tag& tag) {
    const QString& n = tag.name;
    if (oneOf(n, {"head", "script", "style", "title", "template"})) {
      if (tag.closing) return tag.end;
      qsizetype end = html.indexOf(QLatin1String("</") + n, tag.end, Qt::CaseInsensitive);
      if (n == QLatin1String("head")) {  // a head left open ends where the body starts
        const qsizetype body = html.indexOf(QLatin1String("<body"), tag.end, Qt::CaseInsensitive);
        if (body >= 0 && (end < 0 || body < end)) return body;
      }
      if (end < 0) return tag.end;
      end = html.indexOf(QLatin1Char('>'), end);
      return end < 0 ? html.size() : end + 1;
    }
    if (n == QLatin1String("br")) {
      trimLineEnd();
      out_ += QLatin1Char('\n');
    } else if (oneOf(n, {"p", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "table", "blockquote", "dl"})) {
      lineBreak(2);
    } else if (oneOf(n, {"div", "li", "tr", "dt", "dd", "hr", "section", "article", "header", "footer", "address",
                         "nav", "aside", "figure", "form", "center", "caption"})) {
      lineBreak(1);
      if (n == QLatin1String("li") && !tag.closing) out_ += QLatin1String("- ");
    } else if (n == QLatin1String("pre")) {
      lineBreak(1);
      pre_ = qMax(0, pre_ + (tag.closing ? -1 : 1));
    } else if (oneOf(n, {"td", "th"}) && !tag.closing) {
      trimLineEnd();
      if (!out_.isEmpty() && !out_.endsWith(QLatin1Char('\n'))) out_ += QLatin1Char('\t');
    } else if (n == QLatin1String("a")) {
      if (!tag.closing) {
        links_.append({shownTarget(attribute(tag.attributes, QStringLiteral("href"))), out_.size()});
      } else if (!links_.isEmpty()) {
        const Link link = links_.takeLast();
        const QString text = out_.mid(link.start).trimmed();
        if (!link.target.isEmpty() && !text.isEmpty() && text.compare(link.target, Qt::CaseInsensitive) != 0)
          out_ += QLatin1String(" <") + link.target + QLatin1Char('>');
      }
    }
    return tag.end;
  }

  // Trailing blanks go, and no more than one empty line stands anywhere.
  QString tidy() const {
    QStringList lines;
    bool gap = false;
    for (QString line : out_.split(QLatin1Char('\n'))) {
      while (line.endsWith(QLatin1Char(' ')) || line.endsWith(QLatin1Char('\t'))) line.chop(1);
      if (line.isEmpty()) {
        gap = !lines.isEmpty();
        continue;
      }
      if (gap) lines << QString();
      gap = false;
      lines << line;
    }
    return lines.join(QLatin1Char('\n'));
  }

  QString out_;
  bool pendingSpace_ = false;
  int pre_ = 0;
  QList<Link> links_;
};

}  // namespace

QString htmlToPlainText(const QString& html) { return Converter().run(html); }

}  // namespace mail
