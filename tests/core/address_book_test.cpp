#include "core/books/address_book.h"

#include <gtest/gtest.h>

#include "core/books/auto_add.h"
#include "core/store/addresses.h"
#include "core/settings/settings.h"
#include "core/store/message_text.h"
#include "support/mail_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::WriteFile;
using Lines = std::vector<std::string>;

class AddressBookTest : public testing::MailFixture {
 protected:
  AddressBookTest() { MakeTree(); }
  std::string Book(const std::string& name) const { return mail_dir + "System/AddressBook/" + name; }
};

TEST_F(AddressBookTest, ABookComesBackByteForByteThroughLoadAndSave) {
  const std::string text =
      "ann\tLee, Ann\tann@host\r\nteam\tTeam\t(ann@host,bob@host)\r\nnone\tNo Address\t\r\n"
      "odd\tone tab\r\n8bit\tM\xFC\xDFig\t\xE4@host\r\n";
  WriteFile(Book("AddressBook.cvab"), text + "\r\n  indented line\r\n");
  std::vector<TAddressEntry> entries;
  ASSERT_TRUE(LoadAddressBook(MailSettings.DefaultABPath, entries));
  ASSERT_EQ(entries.size(), 5u) << "empty and space-led lines are no entries";
  EXPECT_EQ(entries[2], (TAddressEntry{"none", "No Address", ""}));
  EXPECT_EQ(entries[3], (TAddressEntry{"odd", "", "one tab"}));
  ASSERT_TRUE(SaveAddressBook(MailSettings.DefaultABPath, entries));
  entries[3].FullName = "Odd";  // the one line that does not keep its form: it gains its second TAB
  ASSERT_TRUE(SaveAddressBook(MailSettings.DefaultABPath, entries));
  std::string expected = text;
  expected.replace(expected.find("odd\tone tab"), 11, "odd\tOdd\tone tab");
  EXPECT_EQ(ReadFile(MailSettings.DefaultABPath), expected);
  EXPECT_EQ(testing::ListNames(Book("")), Lines{"AddressBook.cvab"}) << "no work file left";
}

TEST_F(AddressBookTest, AddressFields) {
  std::pair<std::string, Lines> rows[] = {
      {"ann@host", {"ann@host"}},         {"(ann@host,bob@host)", {"ann@host", "bob@host"}},
      {"", {}},                           {" ( a@h , ,b@h ) ", {"a@h", "b@h"}},
      {"(a@h)", {"a@h"}},                 {"(a@h,b@h,c@h)", {"a@h", "b@h", "c@h"}}};
  for (const auto& [field, addresses] : rows) EXPECT_EQ(ParseAddressField(field), addresses) << field;
  EXPECT_EQ(FormatAddressField({}) + "|" + FormatAddressField({"a@h"}) + "|" + FormatAddressField({"a@h", "b@h"}),
            "|a@h|(a@h,b@h)");
}

TEST_F(AddressBookTest, BookNamesAndListing) {
  for (const char* bad : {"my.book", "a/b", "", "  \t", "a:b", "x\x7F", "\xE4"}) EXPECT_FALSE(ValidBookName(bad)) << bad;
  EXPECT_EQ(ValidBookName("  Family\t").value_or("?"), "Family");

  WriteFile(Book("AddressBook.cvab"), "ann\t\tann@host\r\n");
  WriteFile(Book("Friends.txt"), "");
  WriteFile(Book(".AddressBook.cvab.x1Y2z3"), "");  // a save cut short by a crash
  ASSERT_TRUE(CreateAddressBook(Store(), "addressbook")) << "the book of that name in another case is kept";
  EXPECT_EQ(ReadFile(Book("AddressBook.cvab")), "ann\t\tann@host\r\n");
  std::vector<TAddressEntry> entries;
  ASSERT_TRUE(LoadAddressBook(AddressBookPath(Store(), "friends"), entries));  // absent: made empty
  EXPECT_EQ(ReadFile(Book("friends.cvab")), "");
  ASSERT_TRUE(CreateAddressBook(Store(), "Family"));
  MailSettings.DefaultAB = "FAMILY";
  AddressBookChoice books = FillAddressBookList(ui, Store(), MailSettings.DefaultAB);
  EXPECT_EQ(books.names, (Lines{"AddressBook", "Family", "friends"})) << "Friends.txt and friends.cvab: one book";
  EXPECT_EQ(books.selected, 1);
  MailSettings.MailDirectory.clear();  // no setup yet: no book is made where the program runs
  EXPECT_FALSE(LoadAddressBook(AddressBookPath(Store(), "AddressBook"), entries) || CreateAddressBook(Store(), "x"));
}

TEST_F(AddressBookTest, OfferedAddresses) {
  struct Row {
    Lines texts, pending;
    std::string name;
  } rows[] = {
      {{"Ann Lee <ann@host>"}, {"ann@host"}, "Lee, Ann"},
      {{"ann@host (Ann Marie Lee)"}, {"ann@host"}, "Lee, Ann Marie"},
      {{"Lee, Ann <ann@host>,"}, {"ann@host"}, "Lee, Ann"},
      {{"\"Lee, Ann\" <ann@host>"}, {"ann@host"}, "Lee, Ann"},
      {{"Zed <z@host>"}, {"z@host"}, "Zed"},
      {{"b@host,", "Ann <ANN@host>", "ann@host", ""}, {"ANN@host", "b@host"}, ""},
      {{"Some Body <not an address>", "local", "a,b@host"}, {}, ""},
  };
  for (const Row& row : rows) {
    OfferedAddresses offer = OfferAddresses(row.texts);
    EXPECT_EQ(offer.pending, row.pending) << row.texts[0];
    EXPECT_EQ(offer.full_name, row.name) << row.texts[0];
  }
}

// A message window's address line offers the sender as the header wrote it: a comma in a
// quoted name leaves one address with its name.
TEST_F(AddressBookTest, AutoAddOfAQuotedNameWithAComma) {
  Lines entries;
  SplitAddressList(entries, "\"Doe, John\" <john@example.com>");
  OfferedAddresses offer = OfferAddresses(entries);
  EXPECT_EQ(offer.pending, Lines{"john@example.com"});
  EXPECT_EQ(offer.full_name, "Doe, John");
}

}  // namespace
}  // namespace corvelle
