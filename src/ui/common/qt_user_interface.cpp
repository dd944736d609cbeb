#include "ui/common/qt_user_interface.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringDecoder>

namespace corvelle {

QtUserInterface::QtUserInterface(QObject* parent) : QObject(parent) { SetUi(this); }

QtUserInterface::~QtUserInterface() { SetUi(nullptr); }

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

Answer QtUserInterface::Message(const std::string& text, const std::string& caption, Buttons buttons,
                                MessageIcon icon) {
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
  switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::Ok;
  }
}

void QtUserInterface::TotalProgress(int percent) { emit totalProgress(percent); }

void QtUserInterface::CurrentProgress(int percent) { emit currentProgress(percent); }

void QtUserInterface::ProcessEvents() { QCoreApplication::processEvents(); }

}  // namespace corvelle
