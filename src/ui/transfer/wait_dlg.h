#pragma once
// TWaitDlg: the small progress window of the folder tools' long runs ("Working.. please
// wait!"), with a status message and the Total and Current bars. Always on top, no caption
// text, no border icons; its users make it, show it and free it around their loop.

#include <QDialog>
#include <string>

class QLabel;
class QProgressBar;

namespace corvelle {

class TWaitDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TWaitDlg(QWidget* parent = nullptr);

  int Total() const;
  void SetTotal(int percent);
  void SetCurrent(int percent);
  void SetStatus(const std::string& text);

  QLabel* StatusMsg;
  QProgressBar* TotalProgress;
  QProgressBar* CurrentProgress;
};

}  // namespace corvelle
