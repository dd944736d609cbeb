// Attachments opened from a message window: their file names, and the private folder they
// are written to, which does not outlive the program.

#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <filesystem>
#include <fstream>

#include "ui/viewer/opened_attachments.h"

namespace corvelle {

class OpenedAttachmentsTest : public QObject {
  Q_OBJECT
 private slots:
  void namesLoseControlCharactersAndFitTheFileSystem() {
    QCOMPARE(OpenedAttachmentName("re\tport\x01\x7f\n.pdf"), std::string("report.pdf"));
    QCOMPARE(OpenedAttachmentName("a/b"), std::string("a_b"));
    QCOMPARE(OpenedAttachmentName("\r\n"), std::string("attachment"));
    std::string long_name;
    for (int i = 0; i < 100; ++i) long_name += "\xC3\xA9";  // 200 bytes of two-byte letters
    long_name += long_name + ".pdf";
    std::string shortened = OpenedAttachmentName(long_name);
    QVERIFY(shortened.size() <= 255 && shortened.size() >= 253);
    QVERIFY(shortened.ends_with("\xC3\xA9.pdf"));
    QCOMPARE(OpenedAttachmentName(std::string(300, 'x')), std::string(255, 'x'));
  }

  void theFolderGoesWithItsProcess() {
    QTemporaryDir temp;
    const std::string root = temp.path().toStdString();
    std::string folder;
    {
      OpenedAttachments opened(root);
      std::string first = opened.NewPath("a.txt"), second = opened.NewPath("a.txt");
      QVERIFY(!first.empty() && first != second);
      std::ofstream(first) << "one";
      std::ofstream(second) << "two";
      folder = opened.folder();
      QVERIFY(std::filesystem::exists(first) && std::filesystem::exists(second));
      // Another living process's folder stays; a folder of this user's ended process goes.
      QCOMPARE(OpenedAttachments::SweepStale(root), 0);
    }
    QVERIFY(!std::filesystem::exists(folder));

    pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string stale = root + "/corvelle-attachments-" + std::to_string(child) + "-AbCdEf";
    const std::string live = root + "/corvelle-attachments-1-AbCdEf";
    for (const std::string& path : {stale, live}) std::filesystem::create_directories(path + "/1");
    std::ofstream(stale + "/1/left.pdf") << "x";
    QCOMPARE(OpenedAttachments::SweepStale(root), 1);
    QVERIFY(!std::filesystem::exists(stale));
    QVERIFY(std::filesystem::exists(live));
  }
};

}  // namespace corvelle

QTEST_GUILESS_MAIN(corvelle::OpenedAttachmentsTest)
#include "opened_attachments_test.moc"
