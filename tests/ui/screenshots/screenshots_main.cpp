// Writes PNG pictures of a received message in the main window, a MIME message with its
// attachments listed, a message with a folded UTF-8 subject, an HTML message, a reply being
// composed with a signature, a composition opened from a mailto: link, the folder selection
// dialog, the setup dialog (account and filters, and the Filters page after New was pressed
// twice), the address book editor, the recipient dialog and the About box, into the folder
// given as argument. With "--title-bar" as second argument it also writes icon-title.png: the
// whole screen, so that a window manager's title bar shows the program's icon.
// Run it with HOME and XDG_CONFIG_HOME pointing at a throwaway folder (scripts/screenshots):
// it writes a complete settings file and a small mail directory there first. With "--demo"
// as second argument it writes instead the mailbox window and a search over the mail of the
// home it is given, which the demo filled (scripts/screenshots --demo).

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QEventLoop>
#include <QTimer>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/store/mail_store.h"
#include "core/books/address_book.h"
#include "core/filters/mail_filter.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/mail_dirs.h"
#include "core/store/message_text.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/books/address_book_form.h"
#include "ui/books/book_commands.h"
#include "ui/books/mail_select_dlg.h"
#include "ui/help/about_box.h"
#include "ui/common/program_icon.h"
#include "ui/folders/folder_select.h"
#include "ui/mailbox/mailbox_window.h"
#include "ui/main/corvel_prog.h"
#include "ui/search/search_window.h"
#include "ui/setup/filter_editor.h"
#include "ui/setup/setup_dlg.h"
#include "../../support/test_settings.h"

namespace corvelle {
namespace {

// Nobody watches: messages go to the error output, questions get their first button.
class LoggingUi final : public UserInterface {
 public:
  Answer Message(const std::string& text, const std::string&, Buttons buttons, MessageIcon) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel ? Answer::Yes : Answer::Ok;
  }
  void TotalProgress(int) override {}
  void CurrentProgress(int) override {}
  void ProcessEvents() override { QApplication::processEvents(); }
};

const char* const kReceived =
    "From: Bob Example <bob@example.org>\r\n"
    "To: Ann Example <ann@example.org>\r\n"
    "Cc: Carol <carol@example.org>\r\n"
    "Subject: Plans for the weekend\r\n"
    "Date: Sat, 5 Dec 2026 10:15:00 +0000\r\n"
    "\r\n"
    "Hi Ann,\r\n\r\nare we still on for Saturday? I can bring the maps.\r\n\r\nBob\r\n";

// Quoted-printable Latin-1 text with an HTML alternative, a PDF and a picture attached.
const char* const kMultipart =
    "From: =?UTF-8?Q?Zo=C3=AB_Dupr=C3=A9?= <zoe@example.org>\r\n"
    "To: Ann Example <ann@example.org>\r\n"
    "Subject: =?UTF-8?Q?Caf=C3=A9_menu_&_photos?=\r\n"
    "Date: Sun, 6 Dec 2026 09:30:00 +0100\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n"
    "--outer\r\nContent-Type: multipart/alternative; boundary=\"alt\"\r\n\r\n"
    "--alt\r\nContent-Type: text/plain; charset=ISO-8859-1\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n"
    "Bonjour Ann,\r\n\r\nhere is the menu of the caf=E9 for Saturday, and two photos of the terrace.\r\n"
    "The cr=E8me br=FBl=E9e is a must.\r\n\r\nZo=EB\r\n"
    "--alt\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<p>Bonjour Ann,</p>\r\n--alt--\r\n"
    "--outer\r\nContent-Type: application/pdf; name=\"menu.pdf\"\r\nContent-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment; filename=\"menu.pdf\"\r\n\r\nJVBERi0xLjQKJcfsj6IKMSAwIG9iago8PC9UeXBlL0NhdGFsb2c+PgplbmRvYmoK\r\n"
    "--outer\r\nContent-Type: image/jpeg; name=\"=?UTF-8?Q?terrasse_=C3=A9t=C3=A9.jpg?=\"\r\n"
    "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment\r\n\r\n/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAMCAgMCAgMDAwMEAwMEBQgFBQQEBQoHBwYIDAoMDAsKCwsNDhIQDQ4RDgsLEBYQERMUFRUVDA8XGBYUGBIUFRT/\r\n"
    "--outer--\r\n";

std::vector<TAddressEntry> BookEntries() {
  const char* const rows[][3] = {{"bob", "Example, Bob", "bob@example.org"},
                                 {"carol", "Smith, Carol", "carol@example.org"},
                                 {"team", "", "bob@example.org, carol@example.org, zoe@example.org"},
                                 {"zoe", "Dupr\xC3\xA9, Zo\xC3\xAB", "zoe@example.org"}};
  std::vector<TAddressEntry> entries;
  for (const auto& row : rows) entries.push_back(TAddressEntry{row[0], row[1], row[2]});
  return entries;
}

// Three filter rules, saved into the settings file.
bool SaveRules() {
  TMailFilter filters;
  const char* const rules[][3] = {{"List-Id", "hikers.example.org", "Lists/Hikers"},
                                  {"From", "invoices@", "Invoices"},
                                  {"Subject", "[weekend]", "Projects/2026"}};
  for (const auto& rule : rules) {
    if (!filters.PutRule({{{rule[0], rule[1]}}, rule[2]}, 0)) return false;
  }
  return filters.SaveFilters();
}

// A long UTF-8 subject folded over two lines, from a sender written "Last, First".
const std::string kFolded = std::string("From: \"Doe, John\" <john@example.com>\r\n") +
                            "To: Ann Example <ann@example.org>\r\n"
                            "Subject: =?UTF-8?B?UsO8Y2tibGljayBhdWYgZGFzIEphaHJlc3RyZWZmZW4gaW4gWsO8cmljaDogUHJvdG9rb2xsLCA=?=\r\n"
                            "\t=?UTF-8?B?Rm90b3MgdW5kIGRpZSBuw6RjaHN0ZW4gU2Nocml0dGUgZsO8ciAyMDI3?=\r\n"
                            "Date: Mon, 7 Dec 2026 08:00:00 +0100\r\n"
                            "Return-Path: <bounce@example.com>\r\nMessage-ID: <folded@example.com>\r\n"
                            "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n"
                            "Hallo Ann,\r\n\r\nanbei das Protokoll.\r\n\r\nJohn\r\n";

// An HTML-only newsletter: named character references, a list, a table and links.
const char* const kHtmlEntities =
    "From: =?UTF-8?Q?Caf=C3=A9_Cr=C3=A8me?= <news@example.net>\r\n"
    "To: Ann Example <ann@example.org>\r\n"
    "Subject: =?UTF-8?Q?This_week_=E2=80=94_cr=C3=A8me_br=C3=BBl=C3=A9e?=\r\n"
    "Date: Mon, 7 Dec 2026 09:00:00 +0100\r\n"
    "MIME-Version: 1.0\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n"
    "<html><head><style>p{margin:0}</style></head><body>"
    "<h2>Caf&eacute; Cr&egrave;me &mdash; this week</h2>"
    "<p>Dear guest, our cr&egrave;me br&ucirc;l&eacute;e is back&hellip; &ldquo;Na&iuml;ve&rdquo; "
    "prices: 4&nbsp;&euro;.</p><ul><li>Item one: caf&eacute; au lait</li><li>Item two: "
    "&frac12; baguette</li></ul><table><tr><td>Mon&ndash;Fri</td><td>7&ndash;19 h</td></tr>"
    "<tr><td>Sat</td><td>8&ndash;14 h</td></tr></table>"
    "<a href=\"https://shop.example.net/\">Visit the shop</a><br>&copy; 2026 Caf&eacute; Cr&egrave;me"
    "</body></html>\r\n";

// Files `text` into Inbox under the name its header gives; "" when that fails.
std::string FileIntoInbox(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find("\r\n", start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  FilingResult result;
  SilentUserInterface ui;
  std::string work = NamePart(UniqueFileName(MailSettings.MailDirectory + "Spool", ".new"));
  if (!StoreOf(MailSettings).FileMessage(ui, "\"Inbox\"", "Spool", work, lines, true, result) || result.copies.empty()) return "";
  return result.copies[0].name;
}

bool PrepareHome(std::string& received) {
  std::string home = HomeFolder();
  MailSettings = Settings{};
  MailSettings.MailDirectory = home + "Mail/";
  MailSettings.DefaultMailFolder = "Inbox";
  MailSettings.Signature = MailSettings.MailDirectory + "System/Signatures/signature.txt";
  MailSettings.SendServer = "smtp.example.org";
  MailSettings.SendPort = "465";
  MailSettings.Secure.SendSecurity = "SSL/TLS";
  MailSettings.Secure.MailSecurity = "SSL/TLS";
  MailSettings.MailServer = "pop.example.org";
  MailSettings.MailPort = "995";
  MailSettings.UserName = "ann";
  MailSettings.PassWord = EncodePassword("secret");
  MailSettings.MyName = "Ann Example";
  MailSettings.MailAddress = "ann@example.org";
  MailSettings.DefaultABPath = DefaultAddressBookPath(MailSettings);
  received = MailSettings.MailDirectory + "Inbox/Plans for the weekend.mail";
  return SaveSettings(MailSettings) && SaveRules() &&
         SaveAddressBook(MailSettings.DefaultABPath, BookEntries()) && MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames).CheckMailDirs(MailSettings.DefaultMailFolder, true, true, true) && MakeFolders(MailSettings.MailDirectory + "Projects/2026") &&
         WriteNewFile(received, kReceived) &&
         WriteNewFile(MailSettings.MailDirectory + "Inbox/Cafe menu.mail", kMultipart) &&
         WriteMessageLines(MailSettings.Signature, {"Ann Example", "ann@example.org"});
}

// Lets the windows lay themselves out and paint.
void Settle() {
  QEventLoop loop;
  QTimer::singleShot(400, &loop, &QEventLoop::quit);
  loop.exec();
}

bool Save(QWidget& widget, const QString& folder, const char* name) {
  Settle();
  QString path = QDir(folder).filePath(name);
  bool saved = widget.grab().save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
  return saved;
}

int Run(Services& services, const QString& folder) {
  std::string received;
  if (!QDir().mkpath(folder) || !PrepareHome(received)) {
    std::fprintf(stderr, "could not prepare the throwaway home\n");
    return EXIT_FAILURE;
  }
  TCorvelProg window(services);
  if (!window.StartUp()) return EXIT_FAILURE;
  window.resize(760, 540);
  window.show();
  bool ok = true;
  window.CreateMailViewer(received, "", "", "");
  ok &= Save(window, folder, "received-message.png");
  window.CreateMailViewer(MailSettings.MailDirectory + "Inbox/Cafe menu.mail", "", "", "");
  ok &= Save(window, folder, "multipart-with-attachments.png");
  for (const auto& [text, picture] : {std::pair<std::string, const char*>{kFolded, "folded-subject.png"},
                                      {kHtmlEntities, "html-entities.png"}}) {
    const std::string filed = FileIntoInbox(text);
    ok &= !filed.empty();
    window.CreateMailViewer(filed, "", "", "");
    ok &= Save(window, folder, picture);
  }
  window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), "Bob Example <bob@example.org>", received,
                          "Re: Plans for the weekend");
  ok &= Save(window, folder, "reply-with-signature.png");
  window.DoParms({"mailto:zoe@example.org?cc=bob@example.org&subject=Saturday%20at%20the%20caf%C3%A9"
                  "&body=Hi%20Zo%C3%AB%2C%0A%0Acount%20me%20in%20for%20Saturday."});
  ok &= Save(window, folder, "mailto-composition.png");
  {
    TFolderSelect dialog(window.RunServices().ui, window.RunServices().Store(), &window);
    dialog.SetFolders("\"Inbox\",\"Projects/2026\"");
    dialog.show();
    ok &= Save(dialog, folder, "folder-selection.png");
  }
  {
    TSetupDlg setup(services, &window);
    setup.SelectPage("User settings");
    setup.show();
    ok &= Save(setup, folder, "setup-dialog.png");
    setup.SelectPage("Filters");
    ok &= Save(setup, folder, "filters.png");
    // New, a Save refused for its empty fields, New again: still one line for the new rule.
    TFilterEditor& filters = *setup.Filters;
    filters.NewButtonClick();
    filters.SaveFilterClick();
    filters.NewButtonClick();
    filters.HeaderText->setEditText("Subject");
    filters.SearchText->setText("invoice");
    ok &= Save(setup, folder, "filter-editor-new-new.png");
    setup.CancelBtnClick();
  }
  {
    TAddressBookForm book(services.ui, services.settings, &window);
    book.show();
    ok &= Save(book, folder, "address-book.png");
  }
  {
    TMailSelectDlg recipients(services.ui, services.settings, &window);
    recipients.show();
    ok &= Save(recipients, folder, "recipient-dialog.png");
  }
  {
    TAboutBox about(&window);
    about.show();
    ok &= Save(about, folder, "about-box.png");
  }
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}

// The whole screen with the main window framed by the window manager (if one runs): its
// title bar shows the window icon. Waits a bounded time for the frame.
bool SaveScreen(Services& services, const QString& folder) {
  TCorvelProg window(services);
  if (!window.StartUp()) return false;
  window.setGeometry(60, 60, 700, 300);
  window.show();
  window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), "bob@example.org", "", "Hello");
  for (int i = 0; i < 50 && window.frameGeometry() == window.geometry(); ++i) Settle();
  Settle();
  QString path = QDir(folder).filePath("icon-title.png");
  // The frame at twice its size, so that the title bar's small icon can be made out.
  QRect frame = window.frameGeometry().adjusted(-8, -8, 8, 8);
  QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  bool saved = screen.scaled(screen.size() * 2, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(path, "PNG");
  std::fprintf(stderr, "%s %s%s\n", saved ? "wrote" : "could not write", qPrintable(path),
               window.frameGeometry() == window.geometry() ? " (no window manager frame)" : "");
  return saved;
}

// The mailbox window on the Inbox the demo's Get / Send All filled, in the home the demo
// left behind (scripts/screenshots --demo runs the demo first).
int RunDemo(Services& services, const QString& folder) {
  if (!QDir().mkpath(folder)) return EXIT_FAILURE;
  TCorvelProg window(services);
  if (!window.StartUp()) return EXIT_FAILURE;
  window.resize(980, 600);
  window.show();
  TMailboxWindow* mailbox = ShowMailbox(window, services);
  if (mailbox == nullptr || !mailbox->ShowFolder(services.Store().FolderPath(services.settings.DefaultMailFolder)))
    return EXIT_FAILURE;
  bool ok = Save(window, folder, "mailbox-window.png");
  window.RunCommand(Command::FindMessages, {.subject = "invoice"});
  auto* search = window.findChild<TSearchWindow*>();
  for (int i = 0; search != nullptr && search->Searching() && i < 50; ++i) Settle();
  ok &= search != nullptr && !search->Searching() && Save(window, folder, "search-results.png");
  return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}

}  // namespace
}  // namespace corvelle

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  app.setWindowIcon(corvelle::ProgramIcon());
  corvelle::LoggingUi ui;
  QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  corvelle::BookAddressActions book_actions(ui, corvelle::MailSettings);
  corvelle::Services services = corvelle::DesktopServices(ui, corvelle::MailSettings, book_actions);
  if (argc > 2 && std::string(argv[2]) == "--demo") return corvelle::RunDemo(services, folder);
  int status = corvelle::Run(services, folder);
  if (status == EXIT_SUCCESS && argc > 2 && std::string(argv[2]) == "--title-bar" &&
      !corvelle::SaveScreen(services, folder))
    status = EXIT_FAILURE;
  return status;
}
