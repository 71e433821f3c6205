#pragma once
#include <QString>

// The text/plain alternative of an HTML body: what a reader sees, without markup.
namespace mail {

// Tags are dropped (head, script and style with their content), block ends and <br>
// become line breaks, entities are decoded, blanks collapse as a browser collapses
// them (not inside <pre>), runs of empty lines shrink to one, and a link whose target
// is a plain web or mail address reads "text <target>". Lines end in LF.
QString htmlToPlainText(const QString& html);

}  // namespace mail
