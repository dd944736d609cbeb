// The folder selection dialog: single-mode OK, the quoted list through SetFolders and OK,
// folder texts built from the stored name bytes, and the folders never offered.

#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include "ui/folders/folder_select.h"
#include "ui_support.h"

namespace corvelle {

class FolderSelectTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<testing::UiEnvironment>();
    MailSettings.MailDirectory = env->MailDir();
    for (const char* folder : {"Inbox", "Projects/Old", "Spool", "Inbox/SPOOL", "Smith, John", "Say \"hi\"", "Caf\xe9"})
      QVERIFY(MakeFolders(env->MailDir() + folder));
  }
  void cleanup() { env.reset(); }

  void singleModeOkNeedsAFolderBelowTheRootAndSaysSo() {
    TFolderSelect dialog(env->ui, env->services.Store());
    dialog.MakeSingleSel();
    dialog.show();
    dialog.OKBtnClick();
    Choose(dialog, nullptr);
    dialog.OKBtnClick();
    QVERIFY2(dialog.isVisible() && dialog.GetFolders().empty(), "no folder or the root: OK refused");
    QCOMPARE(env->ui.Texts(), std::vector<std::string>(2, "Please choose a mail folder."));
    // A dialog: no minimize or maximize, and a close button so that the window manager is
    // told so.
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    Choose(dialog, "Old");
    dialog.OKBtn->click();
    QVERIFY(!dialog.isVisible() && dialog.result() == QDialog::Accepted);
    QCOMPARE(dialog.GetFolders(), std::string("Projects/Old"));
  }

  void quotedListRoundTripsAndAddBuildsPathsFromStoredBytes() {
    TFolderSelect dialog(env->ui, env->services.Store());
    const std::string given = "\"Smith, John\",\"Inbox\"";
    dialog.SetFolders(given);
    QCOMPARE(dialog.SelectedFolders->count(), 2);
    QCOMPARE(dialog.SelectedFolders->item(0)->text(), QString("Smith, John"));
    dialog.reject();
    QCOMPARE(dialog.GetFolders(), given);
    for (const char* node : {"Old", "Caf\xef\xbf\xbd"}) {  // the Latin-1 name shows as U+FFFD
      Choose(dialog, node);
      dialog.AddButtonClick();
    }
    dialog.OKBtnClick();
    QCOMPARE(dialog.GetFolders(), given + ",\"Projects/Old\",\"Caf\xe9\"");
    QCOMPARE(dialog.SelectedCount, 4);
  }

  void quoteInANameIsRefusedAndSpoolNeverShown() {
    TFolderSelect dialog(env->ui, env->services.Store());
    Choose(dialog, "Say \"hi\"");
    dialog.AddButtonClick();
    QCOMPARE(dialog.SelectedFolders->count(), 0);
    QCOMPARE(env->ui.boxes.size(), size_t{1});
    auto all = dialog.FolderList->findItems("", Qt::MatchContains | Qt::MatchRecursive);
    QCOMPARE(all.size(), 7);  // the root and six folders
    for (QTreeWidgetItem* item : all) QVERIFY(item->text(0).compare("spool", Qt::CaseInsensitive) != 0);
  }

 private:
  // Makes the node with this text current; nullptr for the root.
  static void Choose(TFolderSelect& dialog, const char* text) {
    auto items = dialog.FolderList->findItems(text ? QString::fromUtf8(text) : QString::fromStdString(MailSettings.MailDirectory),
                                              Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(items.size(), 1);
    dialog.FolderList->setCurrentItem(items[0]);
  }

  std::unique_ptr<testing::UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::FolderSelectTest)
#include "folder_select_test.moc"
#include "support/test_settings.h"
