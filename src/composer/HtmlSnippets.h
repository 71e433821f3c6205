#pragma once
#include <QString>
#include <utility>

// The form elements the toolbar pastes at the selection, by button.
namespace composer {

inline const std::pair<const char*, QString>* HtmlIsjecci(int* broj) {
  static const std::pair<const char*, QString> isjecci[] = {
      {"ActiveButton2", QStringLiteral("<input type=\"Button\" name=\"Button1\" value=\"Button\">")},
      {"btnCheck", QStringLiteral("<input type=\"Checkbox\" name=\"Name\" value=\"Value\">")},
      {"btnRadio", QStringLiteral("<input type=\"Radio\" name=\"radio\" value=\"value\">")},
      {"btnReset", QStringLiteral("<input type=\"Reset\" name=\"Reset\" value=\"Reset\">")},
      {"btnSubmit", QStringLiteral("<input type=\"Submit\" name=\"Submit\" value=\"Submit\">")},
      {"btntextBox", QStringLiteral("<input type=\"text\" name=\"text1\" value=\"Text\">")},
      {"btnInputBox", QStringLiteral("<textarea name=\"comments\" cols=\"10\" rows=\"10\"></textarea>")},
      {"btnDropdown", QStringLiteral("<select name=\"Name\" size=\"2\">"
                                     "   <option value=\"Option1\">This is option 1</option>"
                                     "   <option value=\"Option2\">This is option 2</option>"
                                     "   <option value=\"Option3\">This is option 3</option>"
                                     "</select>")}};
  *broj = int(std::size(isjecci));
  return isjecci;
}

}  // namespace composer
