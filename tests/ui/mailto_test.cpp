// mailto: links on the program's own command line and forwarded to a running instance:
// a composition with the link's fields, or a message saying why the link is refused. And
// the program's icon, built in.

#include <QPlainTextEdit>

#include "ui/cmdline/instance_server.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/common/program_icon.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

namespace {

const std::string kLink =
    "mailto:ann@example.org,dan@example.org?cc=bob@example.org&to=eve@example.org&subject=Hello%20there"
    "&body=Line%201%0ALine%202&from=mallory@example.org&bcc=hidden@example.org";

QStringList Entries(const TAddressLine* line) {
  QStringList entries;
  for (int i = 0; i < line->count(); ++i) entries << line->itemText(i);
  return entries;
}

}  // namespace

class MailtoTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    runtime = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", env->home.path());
    QVERIFY(ShowMainWindow(*env, window));
    WriteFile(env->MailDir() + "System/Signatures/sig.txt", "Ann\r\n");
    MailSettings.Signature = env->MailDir() + "System/Signatures/sig.txt";
    server = std::make_unique<InstanceServer>(env->ui, [this](const std::string& line) { HandleParmEntry(*window, line); });
    QVERIFY(server->Listen());
  }
  void cleanup() {
    server.reset();
    window.reset();
    runtime.reset();
    env.reset();
  }

  void linkOpensCompositionWithEachField_data() {
    QTest::addColumn<bool>("forwarded");
    QTest::newRow("command line") << false;
    QTest::newRow("forwarded") << true;
  }
  void linkOpensCompositionWithEachField() {
    QFETCH(bool, forwarded);
    if (forwarded)
      QVERIFY(ForwardToRunningInstance(env->ui, {kLink}));
    else
      window->DoParms({kLink});
    QTRY_COMPARE(window->MessageWindowCount(), 1);
    TMailViewer* viewer = window->ActiveViewer();
    QVERIFY(viewer->IsNewMessage());
    QCOMPARE(Entries(viewer->FromLine),
             (QStringList{"ann@example.org", "dan@example.org", "eve@example.org"}));
    QCOMPARE(Entries(viewer->CcLine), QStringList{"bob@example.org"});
    QCOMPARE(viewer->SubjectLine->text(), QStringLiteral("Hello there"));
    // The link's text first, then the empty line and the signature of every new message.
    QCOMPARE(viewer->MailText->toPlainText(), QStringLiteral("Line 1\nLine 2\n\n--\nAnn"));
    // What the link may not set stays out of the message.
    std::vector<std::string> lines;
    viewer->GetMessageFromWindow(lines);
    std::string message;
    for (const std::string& line : lines) message += line + "\n";
    QVERIFY2(message.find("mallory") == std::string::npos && message.find("hidden") == std::string::npos,
             message.c_str());
    QVERIFY(message.find("Cc: bob@example.org") != std::string::npos);
    QVERIFY(env->ui.boxes.empty());
  }

  void badLinkIsToldAndOpensNothing_data() {
    QTest::addColumn<bool>("forwarded");
    QTest::newRow("command line") << false;
    QTest::newRow("forwarded") << true;
  }
  void badLinkIsToldAndOpensNothing() {
    QFETCH(bool, forwarded);
    const std::string bad = "mailto:ann@example.org?subject=Hi%0D%0ABcc:%20x@example.org";
    if (forwarded)
      QVERIFY(ForwardToRunningInstance(env->ui, {bad}));
    else
      window->DoParms({bad});
    QTRY_COMPARE(env->ui.boxes.size(), size_t{1});
    QCOMPARE(env->ui.Texts().front(), "This mailto: link cannot be used: the subject has a line break.\n" + bad);
    QCOMPARE(window->MessageWindowCount(), 0);
    // Like a bad option: the program's own command line ends, a forwarded line is dropped.
    QCOMPARE(env->end_codes, forwarded ? std::vector<int>{} : std::vector<int>{EXIT_FAILURE});
  }

  void programIconIsBuiltInInEverySize() {
    QIcon icon = ProgramIcon();
    QList<QSize> sizes = icon.availableSizes();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    QVERIFY(!icon.pixmap(48).toImage().isNull());
  }

 private:
  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<ScopedEnv> runtime;
  std::unique_ptr<TCorvelProg> window;
  std::unique_ptr<InstanceServer> server;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::MailtoTest)
#include "mailto_test.moc"
#include "support/test_settings.h"
