#include "core/search/message_search.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "core/search/caseless_finder.h"
#include "core/search/search_text.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

// The field of the message `bytes` that holds `text`, or "none".
std::string FoundIn(const std::string& bytes, const std::string& text) {
  SearchHit hit;
  if (!SearchMessageBytes(bytes, SearchText(text), nullptr, hit)) return "none";
  switch (hit.field) {
    case SearchField::kSubject: return "subject";
    case SearchField::kSender: return "sender";
    case SearchField::kRecipients: return "recipients";
    case SearchField::kBody: return "body";
  }
  return "?";
}

const std::string kPlain =
    "From: Ann Example <ann@example.org>\r\nTo: bob@example.org\r\nCc: Carol <carol@example.net>\r\n"
    "Subject: Meeting notes for the\r\n\tsecond quarter\r\nDate: Mon, 7 Dec 2026 10:00:00 +0000\r\nReceived: from relay.example.com\r\n"
    "\r\nThe quarterly BUDGET is attached.\r\n";

const std::string kBase64Part =
    "From: ann@example.org\r\nSubject: Files\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
    "--b1\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    // "Hidden treasure: Zebrafish\n"
    "SGlkZGVuIHRyZWFzdXJlOiBaZWJyYWZpc2gK\r\n"
    "--b1--\r\n";

TEST(MessageSearch, LowersAsciiLettersOnly) {
  std::string bytes;
  for (int c = 0; c < 256; ++c) bytes += static_cast<char>(c);
  bytes += bytes.substr(3, 40);  // the word-wise and the byte-wise part both see each kind
  std::string lowered;
  ASSERT_TRUE(LowerAscii(bytes, lowered));
  ASSERT_EQ(lowered.size(), bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    auto c = static_cast<unsigned char>(bytes[i]);
    EXPECT_EQ(static_cast<unsigned char>(lowered[i]), c >= 'A' && c <= 'Z' ? c + 32 : c) << i;
  }
}

TEST(MessageSearch, FindsEachFieldIgnoringCase) {
  struct Row {
    const char* name;
    std::string text, expected;
  } rows[] = {
      {"subject", "meeting NOTES", "subject"},
      {"across a folded line", "the second", "subject"},
      {"sender", "ANN@example", "sender"},
      {"recipient in To", "Bob@", "recipients"},
      {"recipient in Cc", "carol", "recipients"},
      {"body", "budget", "body"},
      {"other header field only", "relay.example", "none"},
      {"absent", "zebra", "none"},
  };
  for (const Row& row : rows) EXPECT_EQ(FoundIn(kPlain, row.text), row.expected) << row.name;
}

TEST(MessageSearch, DecodesBase64TextParts) {
  EXPECT_EQ(FoundIn(kBase64Part, "zebrafish"), "body");
  // The encoded bytes are no text of the message.
  EXPECT_EQ(FoundIn(kBase64Part, "SGlkZGVu"), "none");
  // A part without a type is plain text; an encoded image beside it holds none.
  std::string untyped =
      "Subject: Files\r\nContent-Type: multipart/mixed; boundary=b2\r\n\r\n"
      "--b2\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n\r\niVBORw0KGgo=\r\n"
      "--b2\r\nContent-Transfer-Encoding: BASE64\r\n\r\nSGlkZGVuIHRyZWFzdXJlOiBaZWJyYWZpc2gK\r\n--b2--\r\n";
  EXPECT_EQ(FoundIn(untyped, "treasure"), "body");
}

TEST(MessageSearch, JoinsQuotedPrintableSoftLineBreaks) {
  std::string message =
      "From: ann@example.org\r\nSubject: Soft\r\nContent-Type: text/plain; charset=iso-8859-1\r\n"
      "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
      "A long word: inter=\r\nnational, and caf=E9 =C9T=C9.\r\n";
  EXPECT_EQ(FoundIn(message, "international"), "body");
  EXPECT_EQ(FoundIn(message, "café"), "body");
  EXPECT_EQ(FoundIn(message, "été"), "body");  // non-ASCII letters compared without case
}

TEST(MessageSearch, DecodesEncodedWordsInHeaders) {
  std::string message =
      "From: =?UTF-8?Q?Andr=C3=A9_M=C3=BCller?= <andre@example.org>\r\n"
      "Subject: =?ISO-8859-1?B?R3L832U=?= aus =?UTF-8?Q?K=C3=B6ln?=\r\n\r\nbody\r\n";
  EXPECT_EQ(FoundIn(message, "grüße"), "subject");
  EXPECT_EQ(FoundIn(message, "KÖLN"), "subject");
  EXPECT_EQ(FoundIn(message, "müller"), "sender");
  EXPECT_EQ(FoundIn(message, "utf-8"), "none");  // the encoded word's own label
  SearchHit hit;
  ASSERT_TRUE(SearchMessageBytes(message, SearchText("köln"), nullptr, hit));
  EXPECT_EQ(hit.subject, "Grüße aus Köln");
}

TEST(MessageSearch, ConvertsCharsetsThatSpellAsciiOtherwise) {
  std::string message = "Subject: wide\r\nContent-Type: text/plain; charset=\"UTF-16LE\"\r\n\r\n";
  for (char c : std::string("Wide letters")) message += std::string{c, '\0'};
  EXPECT_EQ(FoundIn(message, "wide LETTERS"), "body");
}

TEST(MessageSearch, BadInputNeverFails) {
  const char raw[] = "Subject: a\0b needle\r\n\r\nbody \0\0 needle\r\n";
  std::string with_nul(raw, sizeof raw - 1);
  EXPECT_EQ(FoundIn(with_nul, "NEEDLE"), "subject");
  std::string broken =
      "Subject: =?utf-8?B?####?= =?bogus?Q?=ZZ?=\r\nContent-Type: text/plain; charset=no-such\r\n"
      "Content-Transfer-Encoding: base64\r\n\r\n!!!not base64 at all\0\xff\xfe===\r\n";
  EXPECT_EQ(FoundIn(broken, "nothing here"), "none");
  EXPECT_EQ(FoundIn(std::string(300000, 'x') + "needle", "needle"), "body");  // one huge line
  EXPECT_EQ(FoundIn("", "x"), "none");
  EXPECT_EQ(FoundIn(kPlain, ""), "none");
}

class MessageSearchTree : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"Inbox/Lists", "Work", "Spool", "System"}) MakeFolders(root + folder);
    testing::WriteFile(root + "Inbox/a.mail", kPlain);
    testing::WriteFile(root + "Inbox/Lists/b.newmail", kBase64Part);
    testing::WriteFile(root + "Work/c.mail", kPlain);
    testing::WriteFile(root + "Spool/d.new", kPlain);
    testing::WriteFile(root + "System/e.txt", kPlain);
    testing::WriteFile(root + "Inbox/.hidden", kPlain);
  }

  std::vector<std::string> Search(const std::string& text, std::vector<std::string> folders = {}) {
    std::vector<std::string> paths;
    SearchSinks sinks{[&](const SearchHit& hit) { paths.push_back(hit.folder + "|" + NamePart(hit.path)); }, {}};
    summary = SearchMessages(MailStore(root), {text, std::move(folders)}, cancel, sinks);
    std::sort(paths.begin(), paths.end());
    return paths;
  }

  testing::TempDir dir;
  std::string root = dir.path();
  std::atomic<bool> cancel{false};
  SearchSummary summary;
};

TEST_F(MessageSearchTree, SearchesMailFoldersOrChosenOnesWithSubFolders) {
  EXPECT_EQ(Search("budget"), (std::vector<std::string>{"Inbox|a.mail", "Work|c.mail"}));
  EXPECT_EQ(Search("zebrafish", {root + "Inbox"}), (std::vector<std::string>{"Inbox/Lists|b.newmail"}));
  EXPECT_EQ(Search("budget", {root + "inbox/lists/"}), std::vector<std::string>{});
  EXPECT_EQ(summary.searched, 1u);
}

TEST_F(MessageSearchTree, FollowsNoLinkLoop) {
  ASSERT_EQ(::symlink((root + "Inbox").c_str(), (root + "Inbox/Lists/Loop").c_str()), 0);
  EXPECT_EQ(Search("budget"), (std::vector<std::string>{"Inbox|a.mail", "Work|c.mail"}));
}

TEST_F(MessageSearchTree, CountsUnreadableFiles) {
  // Work holds one file, which goes away between the listing and its reading.
  SearchSinks sinks{{}, [&](const std::string& folder) {
                      if (folder == "Work") RemoveFile(root + "Work/c.mail");
                    }};
  summary = SearchMessages(MailStore(root), {"budget", {}, 1}, cancel, sinks);
  EXPECT_EQ(summary.found, 1u);
  EXPECT_EQ(summary.unreadable, 1u);
  EXPECT_EQ(summary.unreadable_paths, std::vector<std::string>{root + "Work/c.mail"});
}

TEST_F(MessageSearchTree, CancelStopsTheSearch) {
  for (int i = 0; i < 200; ++i) testing::WriteFile(root + "Work/m" + std::to_string(i) + ".mail", kPlain);
  size_t hits = 0;
  SearchSinks sinks{[&](const SearchHit&) {
                      if (++hits == 3) cancel = true;
                    },
                    {}};
  SearchRequest request{"budget", {}, 1};
  summary = SearchMessages(MailStore(root), request, cancel, sinks);
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(hits, 3u);
  EXPECT_LT(summary.searched, 10u);

  // Set before the start, the flag lets nothing be searched.
  summary = SearchMessages(MailStore(root), request, cancel, sinks);
  EXPECT_TRUE(summary.cancelled);
  EXPECT_EQ(summary.searched, 0u);
}

}  // namespace
}  // namespace corvelle
