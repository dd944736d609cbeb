// What a screen reader says for the windows: every field and button of the main window, a
// message window (received and composed) and every page of the setup dialog has a name.

#include <QAbstractButton>
#include <QAccessible>
#include <QTabWidget>

#include "core/store/message_text.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

namespace {

// The object names of the widgets under `root` that take the keyboard focus or are buttons
// but have no accessible name.
QStringList Unnamed(QWidget* root) {
  QStringList unnamed;
  for (QWidget* widget : root->findChildren<QWidget*>()) {
    bool control = (widget->focusPolicy() & Qt::TabFocus) || qobject_cast<QAbstractButton*>(widget);
    if (!control || widget->inherits("QScrollBar") || widget->inherits("QMdiSubWindow")) continue;
    // The inner edit of a combo box is named by the box; its popup is a window of its own.
    if (widget->parentWidget() && widget->parentWidget()->inherits("QComboBox")) continue;
    if (widget->window() != root->window() || widget->objectName().startsWith("qt_")) continue;
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty())
      unnamed << QString("%1 (%2)").arg(widget->objectName(), widget->metaObject()->className());
  }
  return unnamed;
}

#define ExpectNamed(root)                                                    \
  do {                                                                       \
    QStringList unnamed = Unnamed(root);                                     \
    QVERIFY2(unnamed.isEmpty(), qPrintable("unnamed: " + unnamed.join(", "))); \
  } while (false)

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { env = std::make_unique<UiEnvironment>(); }
  void cleanup() { env.reset(); }

  void mainAndMessageWindowsNameEveryControl() {
    std::unique_ptr<TCorvelProg> window;
    QVERIFY(ShowMainWindow(*env, window));
    ExpectNamed(window.get());
    std::string received = env->MailDir() + "Inbox/Hello.mail";
    WriteFile(received, "From: bob@example.org\r\nTo: ann@example.org\r\nSubject: Hello\r\n\r\nHi\r\n");
    TMailViewer* reading = window->CreateMailViewer(received, "", "", "");
    QVERIFY(reading);
    ExpectNamed(reading);
    QCOMPARE(reading->FromLine->accessibleName(), QStringLiteral("From"));
    TMailViewer* writing = window->CreateMailViewer(NewMessageName(window->MessageWindowCount()), "bob@example.org", "", "Hi");
    QVERIFY(writing);
    ExpectNamed(writing);
    QCOMPARE(writing->FromLine->accessibleName(), QStringLiteral("To"));
  }

  void setupDialogNamesEveryControl() {
    env->WriteCompleteSettings();
    ReloadSettings();
    TSetupDlg dialog;
    dialog.show();
    ExpectNamed(&dialog);
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::AccessibilityTest)
#include "accessibility_test.moc"
