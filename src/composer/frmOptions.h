#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class frmOptions;
}

namespace composer {

// "Opcije": the message format (plain text or HTML) and the attachment encoding (MIME or
// UUEncode). UUEncode is offered for plain text only: the engine refuses it with HTML.
// Below them the record runs' options: go on after a failed record, the pace, the
// unsubscribe address, and forgetting the runs cut short.
class frmOptions : public QDialog {
  Q_OBJECT

 public:
  explicit frmOptions(QWidget* parent = nullptr);
  ~frmOptions() override;

  void cmbMessageFormat_Click(int index);
  void cmdApply_Click();
  void cmdObrišiZapisnik_Click();

 private:
  void Form_Load();
  void prikaziKodiranje(bool html);
  bool spremiPostavkeSlanja();  // false: a value was refused (box shown)

  std::unique_ptr<Ui::frmOptions> ui;
};

}  // namespace composer
