#include <gtest/gtest.h>

#include "core/signin/provider_preset.h"
#include "platform/profile.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::WriteFile;
using namespace std::string_literals;

class ProviderPresetsTest : public testing::MailFixture {
 protected:
  void WriteSettings(const std::string& sections) { WriteFile(IniPath(), "[main]\r\nMyName=Joe\r\n" + sections); }
  std::vector<ProviderPreset> Load() { return LoadProviderPresets(MailSettings); }
  // AccountOAuth for provider `name`; its reason, "" when it succeeded.
  std::string OAuthProblem(const std::string& name) {
    MailSettings.Secure.Provider = name;
    std::string why;
    return AccountOAuth(MailSettings, endpoints, why) ? "" : why;
  }
  OAuthEndpoints endpoints;
};

TEST_F(ProviderPresetsTest, EveryShippedSectionIsAUsablePreset) {
  std::string path = ProviderPresetsPath();
  ASSERT_FALSE(path.empty());
  std::vector<ProviderPreset> presets = Load();
  EXPECT_EQ(presets.size(), PrivateProfile(path).SectionNames().size()) << "a shipped section was left out";
  for (const ProviderPreset& p : presets) {
    EXPECT_TRUE(!p.mail_server.empty() && !p.send_server.empty() && !p.mail_security.empty()) << p.name;
    EXPECT_EQ(p.sign_in == SignInMethod::kOAuth2, p.HasOAuth()) << p.name;
    EXPECT_TRUE(p.oauth.client_id.empty()) << "no client ships: " << p.name;
  }
  const ProviderPreset* gmail = FindProviderPreset(presets, "gmail");
  ASSERT_TRUE(gmail);
  EXPECT_EQ(gmail->send_server + ":" + gmail->send_port + " " + gmail->send_security, "smtp.gmail.com:465 SSL/TLS");
  EXPECT_EQ(gmail->oauth.scope, "https://mail.google.com/");
  const ProviderPreset* microsoft = FindProviderPreset(presets, "Microsoft");
  ASSERT_TRUE(microsoft);
  EXPECT_EQ(microsoft->send_port + " " + microsoft->send_security, "587 STARTTLS");
  EXPECT_FALSE(microsoft->client_secret_required);
}

TEST_F(ProviderPresetsTest, SettingsSectionHoldsTheClientAndOverridesThePreset) {
  WriteSettings("[Provider GMAIL]\r\nClientId=id-1.apps\r\nClientSecret=shh\r\nSendPort=587\r\nSendSecurity=STARTTLS\r\n");
  std::vector<ProviderPreset> presets = Load();
  const ProviderPreset* gmail = FindProviderPreset(presets, "Gmail");
  ASSERT_TRUE(gmail);
  EXPECT_EQ(gmail->name, "Gmail") << "the shipped name stays";
  EXPECT_EQ(gmail->send_port + gmail->send_security + gmail->mail_port, "587STARTTLS995");
  EXPECT_EQ(OAuthProblem("gmail"), "");
  EXPECT_EQ(endpoints.client_id + " " + endpoints.client_secret, "id-1.apps shh");
  EXPECT_EQ(endpoints.token_url, "https://oauth2.googleapis.com/token");
}

TEST_F(ProviderPresetsTest, SectionWithEndpointsDefinesAProviderOfItsOwn) {
  WriteSettings(
      "[Provider Sandbox]\r\nAuthorizeUrl=http://127.0.0.1:4100/authorize\r\nTokenUrl=http://127.0.0.1:4100/token\r\n"
      "Scope=mail\r\nClientId=corvelle-test\r\n[Provider Leftover]\r\nClientId=old\r\n");
  std::vector<ProviderPreset> presets = Load();
  const ProviderPreset* sandbox = FindProviderPreset(presets, "sandbox");
  ASSERT_TRUE(sandbox);
  EXPECT_EQ(sandbox->sign_in, SignInMethod::kOAuth2);
  EXPECT_FALSE(FindProviderPreset(presets, "Leftover")) << "a client id alone names no provider";
  EXPECT_EQ(OAuthProblem("Sandbox"), "");
  EXPECT_EQ(endpoints.authorize_url + " " + endpoints.scope, "http://127.0.0.1:4100/authorize mail");
}

TEST_F(ProviderPresetsTest, AccountOAuthSaysWhatIsMissing) {
  WriteSettings("[Provider Microsoft]\r\nClientId=ms-id\r\n[Provider Gmail]\r\nClientId=g-id\r\n");
  EXPECT_EQ(OAuthProblem("Microsoft"), "") << "no secret needed";
  struct Row {
    const char* name;
    const char* provider;
    const char* says;
  } rows[] = {
      {"none chosen", "", "choose one under Setup, User settings, Provider"},
      {"unknown", "Nowhere", "[Provider Nowhere] of " },
      {"password provider", "Yahoo", "choose Password"},
      {"secret missing", "Gmail", "Client secret"},
  };
  for (const Row& row : rows)
    EXPECT_NE(OAuthProblem(row.provider).find(row.says), std::string::npos) << row.name << ": " << OAuthProblem(row.provider);
  Account work;
  work.Name = "work";
  MailSettings = AccountSettings(MailSettings, work);
  EXPECT_NE(OAuthProblem("").find("under Setup, Accounts, work, Provider"), std::string::npos) << "a further account's page";
  WriteSettings("");
  std::string why = OAuthProblem("Microsoft");
  EXPECT_NE(why.find("OAuth2 client ID"), std::string::npos) << why;
  EXPECT_NE(why.find("[Provider Microsoft] of " + IniPath()), std::string::npos) << why;
}

TEST_F(ProviderPresetsTest, BadSectionsAreLeftOutAndBadFilesGiveNone) {
  std::string presets = home / "providers.ini";
  WriteFile(presets, "\0\xff[garbage\r\n[Good]\r\nMailServer=pop.good.example\r\nMailPort=995\r\n"s +
                         "[Port]\r\nMailPort=99999\r\n[Security]\r\nSendSecurity=TLS\r\n[Scheme]\r\nSignIn=OAuth2\r\n"
                         "AuthorizeUrl=ftp://a.example/\r\n[Remote]\r\nTokenUrl=http://token.example/\r\n"
                         "[Huge]\r\nScope=" + std::string(5000, 's') + "\r\n[Method]\r\nSignIn=Magic\r\n[]\r\nMailPort=1\r\n");
  std::vector<ProviderPreset> read = ReadProviderPresets(presets, IniPath());
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].name + " " + read[0].mail_server, "Good pop.good.example");
  EXPECT_TRUE(ReadProviderPresets(home / "missing.ini", home / "missing-too.ini").empty());
  EXPECT_TRUE(ReadProviderPresets(home.path(), IniPath()).empty()) << "a folder";
  WriteSettings("[Provider Good]\r\nMailPort=port\r\n");
  read = ReadProviderPresets(presets, IniPath());
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].mail_port, "995") << "a bad settings section leaves the preset as shipped";
}

TEST_F(ProviderPresetsTest, MailDomainSuggestsAPreset) {
  std::vector<ProviderPreset> presets = Load();
  const ProviderPreset* suggested = SuggestProviderPreset(presets, "Joe <Joe@GoogleMail.com>");
  EXPECT_TRUE(suggested && suggested->name == "Gmail");
  EXPECT_FALSE(SuggestProviderPreset(presets, "joe@mail.gmail.com.example"));
  EXPECT_FALSE(SuggestProviderPreset(presets, "gmail.com"));
}

TEST_F(ProviderPresetsTest, SavedClientIsWrittenOnlyWhereSet) {
  WriteSettings("[Provider Gmail]\r\nClientSecret=old\r\n");
  ASSERT_TRUE(SaveProviderClient("Microsoft", "ms-id", ""));
  ASSERT_TRUE(SaveProviderClient("Gmail", "g-id", ""));
  EXPECT_EQ(ReadFile(IniPath()),
            "[main]\r\nMyName=Joe\r\n[Provider Gmail]\r\nClientSecret=\r\nClientId=g-id\r\n[Provider Microsoft]\r\nClientId=ms-id\r\n");
}

}  // namespace
}  // namespace corvelle
