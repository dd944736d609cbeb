#include "ui/signin/browser_wait_notice.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <cstdio>

namespace corvelle {
namespace {

constexpr const char* kNotKept = "No system keyring answers: this sign-in holds until Corvelle ends.";

QString Explanation(bool browser_opened) {
  return browser_opened ? "If your browser did not open, open this address in it:"
                        : "Your browser could not be opened. Open this address in it:";
}

bool NoDisplay() {
  const QString platform = QGuiApplication::platformName();
  return platform == "offscreen" || platform == "minimal";
}

std::unique_ptr<QDialog> WaitWindow(const QString& address, bool browser_opened, bool kept, bool& cancelled) {
  auto window = std::make_unique<QDialog>(QApplication::activeWindow());
  window->setWindowTitle("Sign-in");
  auto* layout = new QVBoxLayout(window.get());
  layout->addWidget(new QLabel(kBrowserWaitText));
  if (!kept) layout->addWidget(new QLabel(kNotKept));
  layout->addWidget(new QLabel(Explanation(browser_opened)));
  auto* field = new QLineEdit(address);
  field->setReadOnly(true);
  field->setCursorPosition(0);
  field->setMinimumWidth(480);  // the address is long: most of it in sight
  layout->addWidget(field);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::rejected, window.get(), [&cancelled] { cancelled = true; });
  QObject::connect(window.get(), &QDialog::rejected, window.get(), [&cancelled] { cancelled = true; });
  window->show();
  return window;
}

}  // namespace

BrowserWaitNotice::BrowserWaitNotice(const QUrl& address, bool browser_opened, bool kept, bool& cancelled) {
  const QString text = address.toString(QUrl::FullyEncoded);
  if (!NoDisplay()) {
    window_ = WaitWindow(text, browser_opened, kept, cancelled);
    return;
  }
  if (!kept) std::fprintf(stderr, "%s\n", kNotKept);
  std::fprintf(stderr, "%s %s\n%s\n", kBrowserWaitText, Explanation(browser_opened).toLocal8Bit().constData(),
               text.toLocal8Bit().constData());
  std::fflush(stderr);
}

BrowserWaitNotice::~BrowserWaitNotice() = default;

}  // namespace corvelle
