#include "ui/transfer/trans_dlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include <cstdio>
#include <utility>
#include <vector>

#include "net/pop3/get_mail.h"
#include "net/sockets/transport.h"
#include "ui/common/qt_text.h"
#include "ui/common/qt_user_interface.h"

namespace corvelle {
namespace {

QProgressBar* NewGauge(QWidget* parent) {
  auto* gauge = new QProgressBar(parent);
  gauge->setRange(0, 100);
  return gauge;
}

}  // namespace

TTransDlg::TTransDlg(QWidget* parent, const Services& services, ResultLine result_line)
    : QDialog(parent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowTitleHint),
      TotalGauge(NewGauge(this)),
      CurGauge(NewGauge(this)),
      CancelAllBut(new QPushButton(tr("Cancel &all"), this)),
      CancelCurBut(new QPushButton(tr("Cancel &current"), this)),
      StatusTxt(new QPlainTextEdit(this)),
      shown_to_(services.ui),
      context_(services.Transfer(*this)),
      run_(context_, &lines_, this, std::move(result_line)) {
  setWindowTitle(tr("Transfer Dialog"));
  resize(521, 206);
  StatusTxt->setReadOnly(true);
  StatusTxt->setFocusPolicy(Qt::NoFocus);
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(tr("Total "), this), 0, 0);
  grid->addWidget(TotalGauge, 0, 1, 1, 2);
  grid->addWidget(new QLabel(tr("Current "), this), 1, 0);
  grid->addWidget(CurGauge, 1, 1, 1, 2);
  grid->addWidget(new QLabel(tr("Status"), this), 2, 0);
  grid->addWidget(StatusTxt, 3, 0, 1, 3);
  grid->addWidget(CancelCurBut, 4, 1);
  grid->addWidget(CancelAllBut, 4, 2);
  CancelAllBut->setDefault(true);
  CancelAllBut->setFocus();
  connect(CancelAllBut, &QPushButton::clicked, this, [this] { CancelAllButClick(); });
  connect(CancelCurBut, &QPushButton::clicked, this, [this] { CancelCurButClick(); });
  since_events_.start();
}

TTransDlg::~TTransDlg() {
  // Without a display nobody reads the status lines: why a transfer failed goes to the error
  // output, as the boxes do.
  if (auto* qt = dynamic_cast<QtUserInterface*>(&shown_to_); qt && qt->Headless()) {
    // Each account's notes name it when there are several.
    std::vector<std::pair<std::string, const TMailTransfer*>> components{{"", &run_.SendMail1}};
    for (const TGetMail* mail : run_.Retrievers())
      components.emplace_back(mail->AccountShown.empty() ? "" : mail->AccountShown + ": ", mail);
    for (const auto& [account, component] : components)
      for (const std::string& note : component->Notes())
        if (!qt->Wrote(note) && !qt->Wrote(account + note))  // a box has said it already
          std::fprintf(stderr, "%s: %s\n", kApplicationTitle,
                       QtUserInterface::DisplayText(account + note).toLocal8Bit().constData());
    std::fflush(stderr);
  }
  QCoreApplication::processEvents();
}

void TTransDlg::reject() {
  if (CancelAllBut->isEnabled()) CancelAllButClick();
}

void TTransDlg::closeEvent(QCloseEvent* event) {
  event->ignore();
  reject();
}

void TTransDlg::ShowPhase(const std::string& caption) {
  setWindowTitle(TextToQt(caption));
  show();
  QCoreApplication::processEvents();
}

void TTransDlg::HidePhase() {
  ShowLines();
  hide();
}

void TTransDlg::EnableCancel(bool enable) {
  CancelAllBut->setEnabled(enable);
  CancelCurBut->setEnabled(enable);
}

Answer TTransDlg::Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) {
  ShowLines();
  return shown_to_.Message(text, caption, buttons, icon);
}

// The gauges take their values with the next pass of events: a progress bar repaints at
// once on every change of its percentage, which cost more than the transfer itself.
void TTransDlg::TotalProgress(int percent) { total_percent_ = percent; }

void TTransDlg::CurrentProgress(int percent) { current_percent_ = percent; }

void TTransDlg::ProcessEvents() {
  if (since_events_.elapsed() < kEventInterval) return;
  TotalGauge->setValue(total_percent_);
  CurGauge->setValue(current_percent_);
  ShowLines();
  QCoreApplication::processEvents();
  since_events_.restart();
}

void TTransDlg::ShowLines() {
  if (!lines_.dirty) return;
  lines_.dirty = false;
  QStringList shown;
  for (const std::string& line : lines_.Lines()) shown << TextToQt(line);
  StatusTxt->setPlainText(shown.join('\n'));
}

}  // namespace corvelle
