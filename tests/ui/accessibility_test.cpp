// What a screen reader says for the windows: every field and button of the main window, a
// message window (received and composed) and every page of the setup dialog has a name;
// and a control reached with Tab looks different from one without the focus.

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
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

// The object names of the controls under `root` whose look does not change when they get
// the keyboard focus by Tab.
QStringList FocusUnseen(QWidget* root) {
  QStringList unseen;
  QWidget* elsewhere = nullptr;
  QList<QWidget*> controls;
  for (QWidget* widget : root->findChildren<QWidget*>()) {
    if (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisible() || !widget->isEnabled()) continue;
    if (widget->window() != root->window() || widget->focusProxy()) continue;
    controls << widget;
  }
  // As after a Tab key press: styles draw the focus frame only then.
  root->window()->setAttribute(Qt::WA_KeyboardFocusChange);
  for (QWidget* widget : controls) {
    elsewhere = controls.front() == widget ? controls.back() : controls.front();
    elsewhere->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    QImage without = widget->grab().toImage();
    widget->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    if (widget->grab().toImage() == without)
      unseen << QString("%1 (%2)").arg(widget->objectName(), widget->metaObject()->className());
  }
  return unseen;
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
    QStringList unseen = FocusUnseen(window.get());
    QVERIFY2(unseen.isEmpty(), qPrintable("focus not shown: " + unseen.join(", ")));
  }

  void setupDialogNamesEveryControl() {
    env->WriteCompleteSettings();
    ReloadSettings(env->ui, MailSettings);
    TSetupDlg dialog(env->services);
    dialog.show();
    ExpectNamed(&dialog);
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    // Known gaps under the Fusion style: the default button looks the same with and without
    // the focus, and an empty list has no current item to frame.
    const QStringList known{"FilterList (QListWidget)", "OKBtn (QPushButton)"};
    for (int page = 0; page < dialog.Setup->count(); ++page) {
      dialog.Setup->setCurrentIndex(page);
      QStringList unseen = FocusUnseen(&dialog);
      for (const QString& gap : known) unseen.removeAll(gap);
      QVERIFY2(unseen.isEmpty(), qPrintable("focus not shown: " + unseen.join(", ")));
    }
  }

 private:
  std::unique_ptr<UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::AccessibilityTest)
#include "accessibility_test.moc"
#include "support/test_settings.h"
