#include "ui/transfer/wait_dlg.h"

#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include "ui/common/qt_text.h"

namespace corvelle {

TWaitDlg::TWaitDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      StatusMsg(new QLabel(this)),
      TotalProgress(new QProgressBar(this)),
      CurrentProgress(new QProgressBar(this)) {
  resize(479, 175);
  StatusMsg->setWordWrap(true);
  auto* column = new QVBoxLayout(this);
  column->addWidget(new QLabel(tr("Working.. please wait!"), this));
  column->addWidget(StatusMsg);
  auto* bars = new QFormLayout;
  for (QProgressBar* bar : {TotalProgress, CurrentProgress}) bar->setRange(0, 100);
  bars->addRow(tr("Total:"), TotalProgress);
  bars->addRow(tr("Current:"), CurrentProgress);
  column->addLayout(bars);
}

int TWaitDlg::Total() const { return TotalProgress->value(); }
void TWaitDlg::SetTotal(int percent) { TotalProgress->setValue(percent); }
void TWaitDlg::SetCurrent(int percent) { CurrentProgress->setValue(percent); }
void TWaitDlg::SetStatus(const std::string& text) { StatusMsg->setText(TextToQt(text)); }

}  // namespace corvelle
