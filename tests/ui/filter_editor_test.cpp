// The Filters page: new rules, conditions one by one, folders, deleting, reordering with
// its refusals, and the section written by OK or left by Cancel.

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include "ui/folders/folder_select.h"
#include "ui/setup/filter_editor.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;
using Lines = std::vector<std::string>;

namespace {

const char* const kRules =
    "[filters]\r\n1.1.HeaderLine=From\r\n1.1.SearchText=smith\r\n1.FolderText=\"Work\"\r\n"
    "2.1.HeaderLine=To\r\n2.1.SearchText=ann\r\n2.2.HeaderLine=Subject\r\n2.2.SearchText=lunch\r\n"
    "2.FolderText=\"Food\",\"Archive\"\r\n";

Lines ListTexts(const TFilterEditor& page) {
  Lines texts;
  for (int i = 0; i < page.FilterList->count(); ++i) texts.push_back(page.FilterList->item(i)->text().toStdString());
  return texts;
}

// The values of rule `n`: header, search, ..., folder list.
Lines Rule(const TFilterEditor& page, int n) {
  Lines values;
  const FilterRule& rule = page.MailFilter1.Rules().at(n - 1);
  for (const FilterCondition& condition : rule.conditions) {
    values.push_back(condition.header);
    values.push_back(condition.search);
  }
  values.push_back(rule.folders);
  return values;
}

void Select(TFilterEditor& page, int row) {
  page.FilterList->setCurrentRow(row);
  page.FilterListClick();
}

}  // namespace

class FilterEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    env->WriteCompleteSettings();
    WriteFile(env->IniPath(), ReadFile(env->IniPath()) + kRules);
    ReloadSettings(env->ui, MailSettings);
    page = std::make_unique<TFilterEditor>(env->services);
    page->MailFilter1.SetDiscard(true);
  }
  void cleanup() {
    page.reset();
    env.reset();
  }

  void newRuleIsSavedOnlyWhenComplete() {
    page->NewButtonClick();
    QCOMPARE(ListTexts(*page).back(), std::string(" "));
    page->SaveFilterClick();
    QCOMPARE(env->ui.Texts(), Lines{"All edit categories must be filled."});
    QCOMPARE(page->MailFilter1.FilterCount(), 2);
    page->SearchText->setText("jones");
    page->FolderText->setText("\"Inbox\"");
    QVERIFY(page->SaveFilterClick());
    QCOMPARE(ListTexts(*page).back(), std::string("From jones INTO FOLDER \"Inbox\""));
    QCOMPARE(Rule(*page, 3), (Lines{"From", "jones", "\"Inbox\""}));
    // A second New starts from nothing, and its line shows nothing when clicked.
    page->NewButtonClick();
    page->FilterListClick();
    QCOMPARE(page->SearchText->text(), QString());
    QVERIFY(page->WorkRule.conditions.empty());
  }

  // New after a refused New reuses the unstored line: the list stays one line per rule, in
  // the store's order, and each line shows its own rule.
  void aSecondNewKeepsOneUnstoredLine() {
    page->NewButtonClick();
    page->SaveFilterClick();  // refused: nothing typed
    page->NewButtonClick();
    QCOMPARE(page->FilterList->count(), 3);
    page->SearchText->setText("jones");
    page->FolderText->setText("\"Inbox\"");
    QVERIFY(page->SaveFilterClick());
    page->NewButtonClick();
    page->SearchText->setText("lee");
    page->FolderText->setText("\"Friends\"");
    QVERIFY(page->SaveFilterClick());
    QCOMPARE(page->MailFilter1.FilterCount(), 4);
    QCOMPARE(page->FilterList->count(), 4);
    for (int row = 0; row < 4; ++row) {
      const FilterRule& rule = page->MailFilter1.Rules().at(row);
      QCOMPARE(page->FilterList->item(row)->text().toStdString(), FilterRuleText(rule));
      page->FilterList->setCurrentRow(row);
      QCOMPARE(page->SearchText->text().toStdString(), Rule(*page, row + 1).at(1));
    }
  }

  // Moving the current line with the keyboard shows its rule, so Save stores the fields of
  // the rule on screen into that rule, never over another.
  void keyboardSelectionShowsTheRule() {
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page.get()));
    page->FilterList->setFocus();
    Select(*page, 0);
    QTest::keyClick(page->FilterList, Qt::Key_Down);
    QCOMPARE(page->FilterList->currentRow(), 1);
    QCOMPARE(page->SearchText->text(), QString("ann"));
    QCOMPARE(page->FolderText->text(), QString("\"Food\",\"Archive\""));
    page->SearchText->setText("anne");
    QVERIFY(page->SaveFilterClick());
    QCOMPARE(Rule(*page, 1), (Lines{"From", "smith", "\"Work\""}));
    QCOMPARE(Rule(*page, 2), (Lines{"To", "anne", "Subject", "lunch", "\"Food\",\"Archive\""}));
    QTest::keyClick(page->FilterList, Qt::Key_Up);
    QCOMPARE(page->SearchText->text(), QString("smith"));
  }

  void upAndDownRefuseWhatTheyCannotMove() {
    const Lines before = ListTexts(*page);
    Select(*page, 0);
    page->UpBtnClick();
    Select(*page, 1);
    page->DownBtnClick();
    page->NewButtonClick();  // the unstored line can neither move nor be passed
    page->UpBtnClick();
    Select(*page, 1);
    page->DownBtnClick();
    Lines after = ListTexts(*page);
    QCOMPARE(Lines(after.begin(), after.begin() + 2), before);
    QCOMPARE(Rule(*page, 1).at(1), std::string("smith"));
    page->FilterList->setCurrentRow(-1);
    page->UpBtnClick();
    page->DownBtnClick();
    QCOMPARE(env->ui.Texts(), Lines(2, "You must first select a filter."));
    Select(*page, 1);
    page->UpBtnClick();
    QCOMPARE(ListTexts(*page).at(0), before.at(1));
    QCOMPARE(Rule(*page, 1).at(1), std::string("ann"));
    QCOMPARE(page->FilterList->currentRow(), 0);
  }

  void nextConditionStepsThroughAndAddsConditions() {
    Select(*page, 1);
    QCOMPARE(page->HeaderText->currentText(), QString("To"));
    QCOMPARE(page->FolderText->text(), QString("\"Food\",\"Archive\""));
    page->AndButtonClick();
    QCOMPARE(page->SearchText->text(), QString("lunch"));
    page->AndButtonClick();
    QCOMPARE(page->SearchText->text(), QString());
    page->HeaderText->setEditText("Cc");
    page->SearchText->setText("bob");
    page->AndButtonClick();
    QCOMPARE(Rule(*page, 2), (Lines{"To", "ann", "Subject", "lunch", "Cc", "bob", "\"Food\",\"Archive\""}));
    QCOMPARE(ListTexts(*page).at(1), std::string("To ann AND Subject lunch AND Cc bob INTO FOLDER \"Food\",\"Archive\""));
    // Next Condition on an unstored rule stores it first.
    page->NewButtonClick();
    page->SearchText->setText("x");
    page->FolderText->setText("\"Inbox\"");
    page->AndButtonClick();
    QCOMPARE(page->MailFilter1.FilterCount(), 3);
    QCOMPARE(page->CondIndex, 1);
  }

  void accountIsOfferedAsAHeader() {
    page->NewButtonClick();
    page->HeaderText->setCurrentIndex(page->HeaderText->findText("*Account*"));
    page->SearchText->setText("work");
    page->FolderText->setText("\"Work\"");
    QVERIFY(page->SaveFilterClick());
    QCOMPARE(Rule(*page, 3), (Lines{"*Account*", "work", "\"Work\""}));
  }

  void selectFoldersStoresAtOnce() {
    page->run_folder_select = [](TFolderSelect& dialog) { dialog.SetFolders("\"Other\""); };
    for (int row : {0, 1}) {
      Select(*page, row);
      page->SelFolderButtonClick();
      QCOMPARE(Rule(*page, row + 1).back(), std::string("\"Other\""));
    }
    QCOMPARE(Rule(*page, 2).size(), size_t{5});
    page->FilterList->setCurrentRow(-1);
    page->SelFolderButtonClick();
    QCOMPARE(env->ui.Texts(), Lines{"You must first select a filter."});
  }

  void deleteAsksFirst() {
    page->FilterList->setCurrentRow(-1);
    page->DeleteButtonClick();  // nothing selected: no question
    Select(*page, 0);
    env->ui.Script({Answer::No, Answer::Yes});
    page->DeleteButtonClick();
    QCOMPARE(page->MailFilter1.FilterCount(), 2);
    page->DeleteButtonClick();
    QCOMPARE(env->ui.Texts(), Lines(2, "Delete this filter?"));
    QCOMPARE(ListTexts(*page), Lines{"To ann AND Subject lunch INTO FOLDER \"Food\",\"Archive\""});
  }

  void okWritesTheSectionAndCancelLeavesIt() {
    page.reset();
    const std::string before = ReadFile(env->IniPath());
    for (bool ok : {false, true}) {
      auto dialog = std::make_unique<TSetupDlg>(env->services);
      Select(*dialog->Filters, 0);
      env->ui.Script({Answer::Yes});
      dialog->Filters->DeleteButtonClick();
      ok ? dialog->OKBtnClick() : dialog->CancelBtnClick();
      dialog.reset();
      std::string now = ReadFile(env->IniPath());
      if (!ok) QCOMPARE(now, before);
      if (ok)
        QCOMPARE(now.substr(now.find("[filters]")),
                 std::string("[filters]\r\n1.1.HeaderLine=\"To\"\r\n1.1.SearchText=\"ann\"\r\n"
                             "1.2.HeaderLine=\"Subject\"\r\n1.2.SearchText=\"lunch\"\r\n"
                             "1.FolderText=\"Food\",\"Archive\"\r\n"));
    }
  }

 private:
  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TFilterEditor> page;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::FilterEditorTest)
#include "filter_editor_test.moc"
#include "support/test_settings.h"
