#include "ui/common/qt_user_interface.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringDecoder>
#include <cstdio>
#include <utility>

#include "core/run_outcome.h"

namespace corvelle {

QtUserInterface::QtUserInterface(QObject* parent)
    : QObject(parent),
      headless_(QGuiApplication::platformName() == "offscreen" || QGuiApplication::platformName() == "minimal") {}

QString QtUserInterface::DisplayText(const std::string& text) {
  QByteArray bytes = QByteArray::fromStdString(text);
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8.decode(bytes);
  if (utf8.hasError()) {
    QStringDecoder cp1252("windows-1252");
    decoded = cp1252.isValid() ? cp1252.decode(bytes) : QString::fromLatin1(bytes);
  }
  decoded.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  decoded.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return decoded;
}

// Nobody could answer a box without a display, and a run from cron would wait for ever: the
// box goes to the error output and takes the answer that changes nothing.
Answer QtUserInterface::Message(const std::string& text, const std::string& caption, Buttons buttons,
                                MessageIcon icon) {
  // A command line that had something to tell did not do all it was asked.
  NoteRunFailure();
  if (headless_) {
    std::fprintf(stderr, "%s: %s\n", DisplayText(caption).toLocal8Bit().constData(),
                 DisplayText(text).toLocal8Bit().constData());
    std::fflush(stderr);
    written_.insert(text);
    return SafeAnswer(buttons);
  }
  QMessageBox box(QApplication::activeWindow());
  box.setWindowTitle(DisplayText(caption));
  box.setTextFormat(Qt::PlainText);  // the exact text, even when a file name looks like markup
  box.setText(DisplayText(text));
  switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::Question: box.setIcon(QMessageBox::Question); break;
  }
  switch (buttons) {
    case Buttons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case Buttons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case Buttons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case Buttons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  // A warning asked as Yes or No is about something unsafe (trusting a certificate, a
  // password in clear): Return must not say yes to it.
  if (buttons == Buttons::YesNo && icon == MessageIcon::Warning) box.setDefaultButton(QMessageBox::No);
  switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::Ok;
  }
}

namespace {

// Long loops report progress and ask for events many thousand times a second; a bar moved
// more often than the eye follows costs a repaint each time, and every event pass costs
// more than a small filing step. Both happen at most once per interval.
bool Due(const QElapsedTimer& clock) { return !clock.isValid() || clock.elapsed() >= kEventInterval; }

}  // namespace

void QtUserInterface::FlushProgress() {
  bars_clock_.start();
  if (pending_total_ >= 0) emit totalProgress(std::exchange(pending_total_, -1));
  if (pending_current_ >= 0) emit currentProgress(std::exchange(pending_current_, -1));
}

// The whole task's end goes out at once, so that bar never stays short of where work ended.
void QtUserInterface::TotalProgress(int percent) {
  pending_total_ = percent;
  if (percent >= 100 || Due(bars_clock_)) FlushProgress();
}

void QtUserInterface::CurrentProgress(int percent) {
  pending_current_ = percent;
  if (Due(bars_clock_)) FlushProgress();
}

void QtUserInterface::ProcessEvents() {
  if (!Due(events_clock_)) return;
  FlushProgress();
  events_clock_.start();
  QCoreApplication::processEvents();
}

}  // namespace corvelle
