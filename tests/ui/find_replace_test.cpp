// Find and replace in a message text: the search itself without widgets, the replace steps
// on a text area, the not-found message and what the dialogs ask for.

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "ui/viewer/find_replace.h"
#include "ui/viewer/replace_dialog.h"
#include "ui_support.h"

namespace corvelle {

namespace {

constexpr SearchOptions kDown{}, kUp{.down = false};
constexpr SearchOptions kDownWhole{.whole_word = true}, kUpWhole{.down = false, .whole_word = true};
constexpr SearchOptions kDownCase{.match_case = true};

void SetText(QPlainTextEdit& edit, const QString& text, TextSelection selection) {
  edit.setPlainText(text);
  QTextCursor cursor = edit.textCursor();
  cursor.setPosition(selection.start);
  cursor.setPosition(selection.end(), QTextCursor::KeepAnchor);
  edit.setTextCursor(cursor);
}

}  // namespace

class FindReplaceTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { env = std::make_unique<testing::UiEnvironment>(); }
  void cleanup() { env.reset(); }

  void searchFindsTheNextMatchInTheDirection() {
    const std::string big = std::string(70000, 'x') + " needle";
    struct Row {
      const char *name, *text;
      TextSelection selection;
      const char* what;
      SearchOptions options;
      qsizetype expected;  // the match's start
    } rows[] = {
        {"down skips the selection", "one two one", {0, 3}, "one", kDown, 8},
        {"down ignores case", "one ONE", {1, 0}, "one", kDown, 4},
        {"match case", "One", {0, 0}, "one", kDownCase, -1},
        {"up ends before the selection", "one two one", {8, 3}, "one", kUp, 0},
        {"up never starts before 0", "abc", {1, 0}, "abc", kUp, -1},
        {"whole word skips inner parts", "swordfish word", {0, 0}, "word", kDownWhole, 10},
        {"whole word up", "word swords", {11, 0}, "word", kUpWhole, 0},
        {"whole word at the very end", "a word", {0, 0}, "word", kDownWhole, 2},
        {"whole word at the very start", "word!", {5, 0}, "word", kUpWhole, 0},
        {"whole word needs both sides", "words", {0, 0}, "word", kDownWhole, -1},
        {"empty find text", "abc", {0, 0}, "", kDown, -1},
        {"over 64 KiB down", big.c_str(), {0, 0}, "needle", kDownWhole, 70001},
        {"over 64 KiB up", big.c_str(), {70007, 0}, "needle", kUp, 70001},
    };
    QStringList failures;
    for (const Row& row : rows) {
      qsizetype found = FindText(QString(row.text), row.selection, QString(row.what), row.options);
      if (found != row.expected) failures << QString("%1: %2").arg(row.name).arg(found);
    }
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join("; ")));
  }

  void replaceAllEndsEvenWhenTheReplacementMatches() {
    struct Row {
      const char *name, *text;
      TextSelection selection;
      const char *what, *with;
      SearchOptions options;
      const char* expected;
    } rows[] = {
        {"case change down", "Cat cat CAT", {1, 0}, "cat", "CAT", kDown, "Cat CAT CAT"},
        {"case change up", "Cat cat cat", {10, 0}, "cat", "CAT", kUp, "CAT CAT cat"},
        {"growing down from a selection", "a b a", {2, 1}, "b", "bb", kDown, "a bb a"},
        {"growing up", "a a a", {5, 0}, "a", "aa", kUp, "aa aa aa"},
        {"whole word sees the replacement down", "--", {0, 0}, "-", "x", kDownWhole, "x-"},
        {"whole word sees the replacement up", "--", {2, 0}, "-", "x", kUpWhole, "-x"},
    };
    QPlainTextEdit edit;
    for (const Row& row : rows) {
      SetText(edit, row.text, row.selection);
      QVERIFY2(!ReplaceDialog1Replace(env->ui, edit, row.what, row.with, row.options, true), row.name);
      QCOMPARE(edit.toPlainText(), QString(row.expected));
      edit.undo();
      QVERIFY2(edit.toPlainText() == row.text, "one undo step");
    }
    QVERIFY(env->ui.boxes.empty());
  }

  void replaceHonoursMatchCaseAndTheEndIsReported() {
    QPlainTextEdit edit;
    TFindDialog dialog;
    dialog.show();
    SetText(edit, "Cat cat", {0, 0});
    QVERIFY(FindDialog1Find(env->ui, edit, "CAT", kDown, &dialog));
    QVERIFY2(ReplaceDialog1Replace(env->ui, edit, "cat", "dog", kDownCase, false), "selected Cat is no match");
    QCOMPARE(edit.textCursor().selectionStart(), 4);
    QVERIFY(!ReplaceDialog1Replace(env->ui, edit, "cat", "dog", kDownCase, false));
    QCOMPARE(edit.toPlainText(), QString("Cat dog"));
    QVERIFY(!FindDialog1Find(env->ui, edit, "cat", kDown, &dialog));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>(2, "Cannot find \"cat\".")));
  }

  void replaceDialogAsksWithItsOptionsAndEscapeCloses() {
    TReplaceDialog dialog;
    dialog.show();
    QVERIFY(!dialog.ReplaceAllBtn->isEnabled());
    dialog.FindEdit->setText("a");
    dialog.ReplaceEdit->setText("b");
    dialog.UpBtn->setChecked(true);
    dialog.WholeWord->setChecked(true);
    QSignalSpy replace(&dialog, &TReplaceDialog::replace);
    dialog.ReplaceAllBtn->click();
    QCOMPARE(replace.size(), 1);
    auto options = replace[0][2].value<SearchOptions>();
    QVERIFY(!options.down && options.whole_word && !options.match_case && replace[0][3].toBool());
    QCOMPARE(replace[0][1].toString(), QString("b"));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QVERIFY(!dialog.isVisible());
  }

 private:
  std::unique_ptr<testing::UiEnvironment> env;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::FindReplaceTest)
#include "find_replace_test.moc"
