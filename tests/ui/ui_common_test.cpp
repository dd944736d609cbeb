// Helpers shared by the windows: the font record in Qt, dialog filters, hint parts, and
// the message boxes.

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QPalette>
#include <QTest>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

#include "core/run_outcome.h"
#include "core/user_interface.h"
#include "ui/common/file_dialog_state.h"
#include "ui/common/font_mapping.h"
#include "ui/common/qt_user_interface.h"
#include "ui/main/menus.h"

namespace corvelle {

class UiCommonTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) == 0); }
  void cleanup() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }

  void fontRecordsDialogFiltersAndHints() {
    QFont font = ToQFont(FontRecord{});
    QCOMPARE(font.pixelSize(), 13);
    QFontMetrics metrics(font);  // a monospace face stands in where the face is missing
    QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));

    FontRecord record{"DejaVu Sans Mono", 20, -16, 0x00FF8000, true, false, true, false};
    font = ToQFont(record);
    QCOMPARE(font.pixelSize(), 16);
    QVERIFY(font.bold() && font.underline() && !font.italic() && !font.strikeOut());
    FontRecord back = FromQFont(font, record, 96);
    QCOMPARE(back.height, -16);
    QCOMPARE(back.size, 12);  // the height decides; the size follows it
    QVERIFY(back.name == record.name && back.bold && back.underline && !back.italic && !back.strike_out);
    QFont points("Serif");
    points.setPointSize(12);
    back = FromQFont(points, record, 120);
    QVERIFY(back.size == 12 && back.height == -20 && back.color == record.color);

    QPalette palette;
    palette.setColor(QPalette::WindowText, QColor(1, 2, 3));
    QCOMPARE(FontColor(FontRecord{}, palette), QColor(1, 2, 3));
    QCOMPARE(FontColor(record, palette), QColor(0x00, 0x80, 0xFF));  // 0x00BBGGRR

    QCOMPARE(NameFilters("Mail Files (*.mail;*.newmail)|*.mail;*.newmail|Text Files|*.txt"),
             QStringList({"Mail Files (*.mail *.newmail)", "Text Files (*.txt)"}));
    QCOMPARE(NameFilters("All files (*.*)|*.*"), QStringList({"All files (*)"}));
    QCOMPARE(NameFilters("odd|"), QStringList({"odd ()"}));
    QCOMPARE(InitialDirectory("/home/ann/Mail/"), QString("/home/ann/Mail"));
    QCOMPARE(InitialDirectory("/"), QString("/"));
    QCOMPARE(ShortHint("New|Start a new message|x") + LongHint("New|Start a new message|x"),
             QString("NewStart a new message|x"));
    QCOMPARE(ShortHint("Exit") + LongHint("Exit"), QString("ExitExit"));
  }

  // Without a display a box would wait for ever: it goes to the error output and takes its
  // safe answer; a command-line run that showed one did not succeed.
  void boxesWithoutADisplayGoToTheErrorOutput() {
    QtUserInterface ui;
    QVERIFY(ui.Headless());  // the tests run on the offscreen platform
    QTemporaryDir dir;
    const QString output = dir.filePath("stderr.txt");
    int file = ::open(output.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    QVERIFY(file >= 0);
    std::fflush(stderr);
    int saved = ::dup(STDERR_FILENO);
    ::dup2(file, STDERR_FILENO);
    ::close(file);
    ResetRunOutcome();
    Answer answers[3];
    {
      CommandLineRun run;
      answers[0] = ui.Message("Trust it?", "Secure connection", Buttons::YesNo, MessageIcon::Warning);
      answers[1] = ui.Message("Save?", "Corvelle", Buttons::YesNoCancel, MessageIcon::Question);
      answers[2] = ui.Message("Could not connect\n\rto host.", "Corvelle", Buttons::Ok, MessageIcon::Information);
    }
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    QCOMPARE(answers[0], Answer::No);
    QCOMPARE(answers[1], Answer::Cancel);
    QCOMPARE(answers[2], Answer::Ok);
    QFile written(output);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("Secure connection: Trust it?\nCorvelle: Save?\nCorvelle: Could not connect\nto host.\n"));
    QVERIFY(RunFailed());
    ResetRunOutcome();
  }

  // A warning asked as Yes or No (trusting a certificate, a password in clear): Return says no.
  void returnAnswersNoToAWarningQuestion() {
    QtUserInterface ui;
    ui.SetHeadlessForTest(false);
    bool no_by_default = false;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      no_by_default = box->defaultButton() == box->button(QMessageBox::No);
      QTest::keyClick(box, Qt::Key_Return);
    });
    press.start(10);
    QCOMPARE(ui.Message("Trust this certificate?", "Secure connection", Buttons::YesNo, MessageIcon::Warning),
             Answer::No);
    QVERIFY(no_by_default);
  }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace corvelle

QTEST_MAIN(corvelle::UiCommonTest)
#include "ui_common_test.moc"
