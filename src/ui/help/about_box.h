#pragma once
// The about box of the Help menu.

#include <QDialog>

class QLabel;
class QPushButton;

namespace corvelle {

class TAboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* ProductName;
  QLabel* Version;
  QLabel* Comments;
  QPushButton* OKButton;
};

}  // namespace corvelle
