// OAuth2 sign-in against a fake authorization server on 127.0.0.1. The test is the browser:
// it follows the authorize address and the server's redirect back to the program's listener.
// A fake keyring holds the refresh tokens; a recording interface answers the questions.

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <QUrlQuery>

#include "core/accounts/account.h"
#include "core/signin/secret_store.h"
#include "fake_oauth_server.h"
#include "net/transfer/titled_interface.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/signin/browser_opener.h"
#include "ui/signin/oauth_credentials.h"
#include "ui/signin/sign_in_services.h"
#include "ui_support.h"

namespace corvelle {
namespace {

using testing::FakeOAuthServer;
using testing::RecordingUi;

const char kKey[] = "oauth2 ann@Example";

struct MapStore : SecretStore {
  Result Read(const std::string& key, std::string& secret) override {
    auto found = secrets.find(key);
    if (found == secrets.end()) return Result::kMissing;
    secret = found->second;
    return Result::kDone;
  }
  Result Write(const std::string& key, const std::string& secret) override {
    secrets[key] = secret;
    return Result::kDone;
  }
  Result Remove(const std::string& key) override { return secrets.erase(key) ? Result::kDone : Result::kMissing; }
  std::map<std::string, std::string> secrets;
};

// The user's browser: opens the address and follows the redirect back to the listener.
struct TestBrowser {
  UrlOpener Opener(bool follow = true) {
    return [this, follow](const QUrl& url) {
      opened.push_back(url);
      if (!follow) return true;
      QNetworkReply* reply = network.get(QNetworkRequest(url));
      QObject::connect(reply, &QNetworkReply::finished, reply, [this, reply] {
        page = QString::fromUtf8(reply->readAll());
        reply->deleteLater();
      });
      return true;
    };
  }
  QNetworkAccessManager network;
  std::vector<QUrl> opened;
  QString page;
};

}  // namespace

class OAuthCredentialsTest : public QObject {
  Q_OBJECT

  struct Run {
    explicit Run(FakeOAuthServer& server, SecretStore* secrets, bool follow = true)
        : credentials([this, &server](const std::string& provider, OAuthAccount& account, std::string&) {
                        providers.push_back(provider);
                        account = {provider, server.Endpoints()};
                        return true;
                      },
                      secrets, browser.Opener(follow), {20000, 10000}) {}
    bool Get(const std::string& provider = "Example") {
      credential = {};
      why.clear();
      return credentials.Get(ui, {LoginTarget::Service::kPop3, "pop.example.org", "995", "ann", provider}, credential,
                             why);
    }
    std::vector<std::string> providers;  // what the account source was asked for
    TestBrowser browser;
    RecordingUi ui;
    OAuthCredentials credentials;
    Credential credential;
    std::string why;
  };

 private slots:
  void FirstSignInKeepsTheRefreshTokenAndPkceHolds() {
    FakeOAuthServer server;
    MapStore store;
    Run run(server, &store);
    QVERIFY2(run.Get(), run.why.c_str());
    QCOMPARE(run.credential.method, SignInMethod::kOAuth2);
    QCOMPARE(run.credential.secret, std::string("access-1"));
    QCOMPARE(store.secrets[kKey], std::string("refresh/+1"));
    QVERIFY(server.problems.empty());
    QCOMPARE(run.browser.opened.size(), size_t(1));
    QCOMPARE(run.browser.opened[0].host(), QString("127.0.0.1"));
    QTRY_VERIFY(run.browser.page.contains("You may close this window"));
    QVERIFY(run.ui.boxes.empty());
    // Held for the run: no second request.
    QVERIFY(run.Get());
    QCOMPARE(server.grants.size(), size_t(1));
  }

  void StoredRefreshTokenIsUsedWithoutTheBrowserAndRotated() {
    FakeOAuthServer server;
    MapStore store;
    QVERIFY(Run(server, &store).Get());
    Run next(server, &store);
    QVERIFY2(next.Get(), next.why.c_str());
    QCOMPARE(next.credential.secret, std::string("access-2"));
    QVERIFY(next.browser.opened.empty());
    QCOMPARE(server.grants.back(), QString("refresh_token"));
    QCOMPARE(store.secrets[kKey], std::string("refresh/+2"));
  }

  void AccessTokenAboutToExpireOrRefusedIsRenewed() {
    FakeOAuthServer server;
    server.expires_in = 30;
    Run run(server, nullptr);  // no keyring: the refresh token lives in memory
    QVERIFY(run.Get());
    QVERIFY(run.Get());
    QCOMPARE(run.credential.secret, std::string("access-2"));
    server.expires_in = 3600;
    QVERIFY(run.Get());
    QCOMPARE(run.credential.secret, std::string("access-3"));
    QVERIFY(run.Get());
    QCOMPARE(run.credential.secret, std::string("access-3"));
    run.credentials.Refused({LoginTarget::Service::kSmtp, "smtp.example.org", "465", "ann", "Example"});
    QVERIFY(run.Get());
    QCOMPARE(run.credential.secret, std::string("access-4"));
    QCOMPARE(run.browser.opened.size(), size_t(1));
  }

  void DeadRefreshTokenAsksAndNoKeepsNothing() {
    FakeOAuthServer server;
    server.refresh_dead = true;
    MapStore store;
    store.secrets[kKey] = "stale";
    Run run(server, &store);
    run.ui.Script({Answer::No});
    QVERIFY(!run.Get());
    QCOMPARE(run.ui.boxes.size(), size_t(1));
    const std::string question = run.ui.boxes[0].text;
    QVERIFY2(question.find("Example for ann is no longer valid") != std::string::npos, question.c_str());
    QVERIFY(question.find("invalid_grant: Token has been expired or revoked.") != std::string::npos);
    QVERIFY(run.why.find("no longer valid") != std::string::npos);
    QVERIFY(store.secrets.empty());
    QVERIFY(run.browser.opened.empty());
    // The other half of the run (sending, say) is neither asked again nor sent to the browser;
    // the next run goes to the browser.
    QVERIFY(!run.Get());
    QCOMPARE(run.ui.boxes.size(), size_t(1));
    QVERIFY(run.browser.opened.empty());
    run.credentials.BeginRun();
    QVERIFY(run.Get());
    QCOMPARE(run.browser.opened.size(), size_t(1));
  }

  // One sign-in serves every account: each login names its account's provider, which keys
  // the token it keeps.
  void EachLoginSignsInWithItsOwnProvider() {
    FakeOAuthServer server;
    MapStore store;
    Run run(server, &store);
    QVERIFY2(run.Get("Example"), run.why.c_str());
    QVERIFY2(run.Get("Other"), run.why.c_str());
    QCOMPARE(run.providers, (std::vector<std::string>{"Example", "Other"}));
    QCOMPARE(run.credential.secret, std::string("access-2"));
    QCOMPARE(store.secrets["oauth2 ann@Other"], std::string("refresh/+2"));
    QCOMPARE(store.secrets[kKey], std::string("refresh/+1"));
  }

  // A further account's logins are made over its own settings: it signs in with OAuth2
  // through the run's one sign-in, though the first account uses a password.
  void FurtherAccountsSignInThroughTheSameOAuth2() {
    struct Recorded : Credentials {
      bool Get(UserInterface&, const LoginTarget& target, Credential&, std::string&) override {
        providers.push_back(target.provider);
        return true;
      }
      std::vector<std::string> providers;
    };
    testing::UiEnvironment env;
    Recorded* oauth2 = nullptr;
    auto sign_in = InstallSignIn(
        env.services,
        [&oauth2](SecretStore*) {
          auto made = std::make_unique<Recorded>();
          oauth2 = made.get();
          return std::unique_ptr<Credentials>(std::move(made));
        },
        300);
    Account work;
    work.SignIn = "OAuth2";
    work.Provider = "Other";
    const Settings settings = AccountSettings(env.services.settings, work);
    std::unique_ptr<Credentials> credentials = env.services.Transfer(env.ui).account_credentials(settings);
    Credential credential;
    std::string why;
    QVERIFY(credentials->Get(env.ui, {LoginTarget::Service::kSmtp, "smtp", "465", "ann", "Other"}, credential, why));
    QCOMPARE(oauth2->providers, std::vector<std::string>{"Other"});
  }

  void DeadRefreshTokenAndYesSignsInAgain() {
    FakeOAuthServer server;
    MapStore store;
    store.secrets[kKey] = "stale";
    Run run(server, &store);
    run.ui.Script({Answer::Yes});
    QVERIFY2(run.Get(), run.why.c_str());
    QCOMPARE(store.secrets[kKey], std::string("refresh/+1"));
  }

  void RefusedVerifierFails() {
    FakeOAuthServer server;
    server.refuse_verifier = true;
    MapStore store;
    Run run(server, &store);
    QVERIFY(!run.Get());
    const std::string refused = "the server said: invalid_grant: PKCE verification failed";
    QCOMPARE(run.why, "Signing in to Example for ann failed: " + refused + ".");
    QTRY_VERIFY(run.browser.page.contains(QString::fromStdString("The sign-in failed: " + refused)));
    QVERIFY(store.secrets.empty());
  }

  void HostileTokenEndpointFailsCleanly_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("reason");
    const QByteArray huge = "{\"access_token\":\"" + QByteArray(1 << 20, 'a') + "\"}";
    QTest::newRow("huge body") << 200 << huge << "larger than 64 KiB";
    QTest::newRow("bad JSON") << 200 << QByteArray("{\"access_token\":") << "not valid JSON";
    QTest::newRow("no access token") << 200 << QByteArray(R"({"token_type":"Bearer"})") << "no access token";
    QTest::newRow("control characters") << 200 << QByteArray(R"({"access_token":"a\r\nb"})")
                                        << "control characters";
    QTest::newRow("server error") << 500 << QByteArray("<html>oops</html>") << "HTTP status 500";
  }
  void HostileTokenEndpointFailsCleanly() {
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, reason);
    FakeOAuthServer server;
    server.token_answer = FakeOAuthServer::Answer{status, body};
    MapStore store;
    Run run(server, &store);
    QVERIFY(!run.Get());
    QVERIFY2(run.why.find("Signing in to Example for ann failed: ") == 0, run.why.c_str());
    QVERIFY2(run.why.find(reason.toStdString()) != std::string::npos, run.why.c_str());
    QVERIFY(store.secrets.empty());
  }

  void UnreachableServerKeepsTheRefreshToken() {
    FakeOAuthServer server;
    server.Close();
    MapStore store;
    store.secrets[kKey] = "kept";
    Run run(server, &store);
    QVERIFY(!run.Get());
    QVERIFY2(run.why.find("Signing in to Example for ann failed: ") == 0, run.why.c_str());
    QCOMPARE(store.secrets[kKey], std::string("kept"));
    QVERIFY(run.browser.opened.empty());
  }

  void ForgedAnswerInTheBrowserIsRefused() {
    FakeOAuthServer server;
    MapStore store;
    Run run(server, &store, false);
    bool sent = false;
    run.ui.on_events = [&] {
      if (sent) return;
      sent = true;
      QUrl back(QUrlQuery(run.browser.opened.at(0)).queryItemValue("redirect_uri", QUrl::FullyDecoded));
      back.setQuery("code=stolen&state=forged");
      run.browser.network.get(QNetworkRequest(back));
    };
    QVERIFY(!run.Get());
    QVERIFY2(run.why.find("does not belong to this sign-in") != std::string::npos, run.why.c_str());
    QVERIFY(server.grants.empty());
  }

  void KeyringThatFailsKeepsTheSignInForTheRun() {
    struct LockedStore : MapStore {
      Result Write(const std::string&, const std::string&) override { return Result::kUnavailable; }
    } store;
    FakeOAuthServer server;
    server.expires_in = 30;
    Run run(server, &store);
    QVERIFY(run.Get());
    QVERIFY(run.Get());
    QCOMPARE(run.credential.secret, std::string("access-2"));
    QCOMPARE(run.browser.opened.size(), size_t(1));
    QCOMPARE(run.ui.boxes.size(), size_t(1));
    QVERIFY(run.ui.boxes[0].text.find("could not be kept in the system keyring") != std::string::npos);
  }

  void NobodyToSignInOpensNoBrowser() {
    FakeOAuthServer server;
    Run run(server, nullptr);
    SilentUserInterface nobody;
    QVERIFY(!run.credentials.Get(nobody, {LoginTarget::Service::kSmtp, "smtp", "465", "ann", "Example"}, run.credential, run.why));
    QVERIFY2(run.why.find("Signing in to Example for ann needs your browser") == 0, run.why.c_str());
    // Nor when the boxes of a further identity's sending carry its title.
    TitledInterface titled(nobody);
    titled.title = "work";
    QVERIFY(!run.credentials.Get(titled, {LoginTarget::Service::kSmtp, "smtp", "465", "ann", "Other"}, run.credential,
                                 run.why));
    QVERIFY2(run.why.find("needs your browser") != std::string::npos, run.why.c_str());
    QVERIFY(run.browser.opened.empty());
  }

  void CancelEndsTheWaitForTheBrowser() {
    FakeOAuthServer server;
    MapStore store;
    Run run(server, &store, false);
    run.ui.on_events = [&] { run.credentials.Cancel(); };
    QVERIFY(!run.Get());
    QVERIFY2(run.why.find("cancelled") != std::string::npos, run.why.c_str());
    QCOMPARE(run.browser.opened.size(), size_t(1));
    QVERIFY(store.secrets.empty());
  }

  void BrowserCommandsGetTheAddressAsOneArgument() {
    testing::TempDir dir;
    const QString record = QString::fromStdString(dir.path()) + "record";
    QFile script(record);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    testing::ScopedEnv browser("BROWSER", "/nonexistent/browser:" + record.toStdString() + " --url=%s");
    bool desktop_used = false;
    const QUrl address("http://127.0.0.1:1/authorize?a=1&b=x y;$(true)");
    QVERIFY(BrowserOpener([&](const QUrl&) { return desktop_used = true; })(address));
    QFile args(record + ".args");
    QTRY_VERIFY(args.exists() && args.size() > 0);
    QVERIFY(args.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(args.readAll()), "--url=" + address.toString(QUrl::FullyEncoded) + "\n");
    QVERIFY(!desktop_used);
  }
};

}  // namespace corvelle

QTEST_MAIN(corvelle::OAuthCredentialsTest)
#include "oauth_credentials_test.moc"
