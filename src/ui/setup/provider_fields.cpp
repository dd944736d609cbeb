#include "ui/setup/provider_fields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QUrl>

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "ui/common/byte_fields.h"
#include "ui/common/hinted_edit.h"
#include "ui/common/named.h"
#include "ui/setup/security_fields.h"

namespace corvelle {
namespace {

constexpr const char* kBrowserTip = "With OAuth2 you sign in in the browser: no password is needed here.";

QComboBox* MakeChoice(const char* name, const char* hint) {
  auto* box = Named(new QComboBox, name);
  box->setFocusPolicy(Qt::StrongFocus);  // reached by Tab like the fields around it
  box->setToolTip(QString::fromUtf8(hint));
  box->setStatusTip(QString::fromUtf8(hint));
  return box;
}

QString Text(const std::string& ascii) { return QString::fromStdString(ascii); }

// A security box set to `text`, then its port: the box moves a usual port along, the preset's wins.
void SetServer(QComboBox* security, QLineEdit* port, const std::string& text, const std::string& port_text) {
  if (!text.empty()) security->setCurrentIndex(static_cast<int>(SecurityFromText(text, port_text)));
  if (!port_text.empty()) port->setText(Text(port_text));
}

}  // namespace

ProviderFields::ProviderFields(QFormLayout* form, const PageFields& page) : QObject(form), form_(form), page_(page) {
  ProviderBox = MakeChoice("ProviderBox", "Choosing a provider fills in its servers, ports, security and sign-in method.");
  SignInBox = MakeChoice("SignInBox",
                         "How Corvelle signs in to both servers: with a password (for most providers an app "
                         "password made for Corvelle), or with OAuth2 in the browser.");
  for (const char* text : kSignInTexts) SignInBox->addItem(QString::fromUtf8(text));
  ClientIdTxt = HintedEdit(nullptr, "ClientIdTxt", "The ID of the OAuth2 client you registered with the provider (see the user guide).");
  ClientSecretTxt = HintedEdit(nullptr, "ClientSecretTxt", "The secret the provider gave with the OAuth2 client ID.");
  ClientSecretTxt->setEchoMode(QLineEdit::Password);
  ProviderHelp = Named(new QLabel, "ProviderHelp");
  ProviderHelp->setOpenExternalLinks(true);
  ProviderHelp->setWordWrap(true);
  form->insertRow(0, "Provider:", ProviderBox);
  form->insertRow(1, "Sign in with:", SignInBox);
  form->insertRow(2, "OAuth2 client ID:", ClientIdTxt);
  form->insertRow(3, "Client secret:", ClientSecretTxt);
  form->insertRow(4, QString(), ProviderHelp);
  password_tip_ = page.password->toolTip();
  send_password_tip_ = page.security->SendPasswordTxt->toolTip();
  connect(ProviderBox, &QComboBox::currentIndexChanged, this, &ProviderFields::ChooseProvider);
  connect(SignInBox, &QComboBox::currentIndexChanged, this, &ProviderFields::ShowSignIn);
  connect(page.mail_address, &QLineEdit::textEdited, this, &ProviderFields::SuggestFromAddress);
  QWidget::setTabOrder(ProviderBox, SignInBox);
  QWidget::setTabOrder(SignInBox, ClientIdTxt);
  QWidget::setTabOrder(ClientIdTxt, ClientSecretTxt);
  QWidget::setTabOrder(ClientSecretTxt, page.send_server);
}

void ProviderFields::Load(const Settings& s) {
  presets_ = LoadProviderPresets(s);
  loaded_sign_in_ = s.Secure.SignIn;
  loaded_provider_ = s.Secure.Provider;
  const QSignalBlocker quiet_provider(ProviderBox), quiet_sign_in(SignInBox);  // loading fills in nothing
  ProviderBox->clear();
  ProviderBox->addItem("(none)");
  for (const ProviderPreset& preset : presets_) ProviderBox->addItem(Text(preset.name));
  int chosen = 0;
  if (const ProviderPreset* preset = FindProviderPreset(presets_, s.Secure.Provider))
    chosen = static_cast<int>(preset - presets_.data()) + 1;
  else if (!s.Secure.Provider.empty())
    ProviderBox->addItem(Text(s.Secure.Provider));  // kept, though no preset describes it now
  ProviderBox->setCurrentIndex(chosen || s.Secure.Provider.empty() ? chosen : ProviderBox->count() - 1);
  SignInBox->setCurrentIndex(static_cast<int>(AccountSignIn(s)));
  const ProviderPreset* preset = Chosen();
  SetFieldBytes(ClientIdTxt, preset ? preset->oauth.client_id : "", FieldKind::kText);
  SetFieldBytes(ClientSecretTxt, preset ? preset->oauth.client_secret : "", FieldKind::kText);
  ShowSignIn();
}

void ProviderFields::Store(Settings& s) const {
  int index = ProviderBox->currentIndex();
  if (const ProviderPreset* preset = Chosen())
    s.Secure.Provider = preset->name;
  else
    s.Secure.Provider = index > 0 ? loaded_provider_ : "";
  auto method = static_cast<SignInMethod>(SignInBox->currentIndex());
  bool unchanged_default = loaded_sign_in_.empty() && method == SignInMethod::kPassword;
  s.Secure.SignIn = unchanged_default ? "" : SignInText(method);
}

bool ProviderFields::SaveClient() const {
  const ProviderPreset* preset = Chosen();
  if (!preset || SignInBox->currentIndex() != static_cast<int>(SignInMethod::kOAuth2)) return true;
  std::string id = FieldBytes(ClientIdTxt, FieldKind::kText), secret = FieldBytes(ClientSecretTxt, FieldKind::kText);
  if (id == preset->oauth.client_id && secret == preset->oauth.client_secret) return true;
  return SaveProviderClient(preset->name, id, secret);
}

const ProviderPreset* ProviderFields::Chosen() const {
  size_t index = static_cast<size_t>(ProviderBox->currentIndex());
  return index >= 1 && index <= presets_.size() ? &presets_[index - 1] : nullptr;
}

void ProviderFields::ChooseProvider(int) {
  if (const ProviderPreset* p = Chosen()) {
    page_.mail_server->setText(Text(p->mail_server));
    page_.send_server->setText(Text(p->send_server));
    SetServer(page_.security->MailSecurityBox, page_.mail_port, p->mail_security, p->mail_port);
    SetServer(page_.security->SendSecurityBox, page_.send_port, p->send_security, p->send_port);
    SetFieldBytes(ClientIdTxt, p->oauth.client_id, FieldKind::kText);
    SetFieldBytes(ClientSecretTxt, p->oauth.client_secret, FieldKind::kText);
    SignInBox->setCurrentIndex(static_cast<int>(p->sign_in));
  }
  ShowSignIn();
}

// A new setup (no server typed yet) takes the preset of the address's domain.
void ProviderFields::SuggestFromAddress(const QString& address) {
  if (ProviderBox->currentIndex() != 0 || !page_.mail_server->text().isEmpty() || !page_.send_server->text().isEmpty())
    return;
  if (const ProviderPreset* p = SuggestProviderPreset(presets_, address.toStdString()))
    ProviderBox->setCurrentIndex(static_cast<int>(p - presets_.data()) + 1);
}

void ProviderFields::ShowSignIn() {
  bool oauth = SignInBox->currentIndex() == static_cast<int>(SignInMethod::kOAuth2);
  const ProviderPreset* p = Chosen();
  bool client = oauth && p && p->HasOAuth();
  form_->setRowVisible(ClientIdTxt, client);
  form_->setRowVisible(ClientSecretTxt, client && (p->client_secret_required || !ClientSecretTxt->text().isEmpty()));
  for (auto [edit, tip] : {std::pair{page_.password, password_tip_}, std::pair{page_.security->SendPasswordTxt, send_password_tip_}}) {
    edit->setEnabled(!oauth);
    edit->setToolTip(oauth ? QString::fromUtf8(kBrowserTip) : tip);
  }
  QString help;
  if (oauth && !p)
    help = "Choose a provider to sign in with OAuth2.";
  else if (oauth && !p->HasOAuth())
    help = Text(p->name).toHtmlEscaped() + " offers no OAuth2 sign-in: sign in with a password.";
  else if (p && !p->help_url.empty())
    help = QString("Help from %1: <a href=\"%2\">%3</a>")
               .arg(Text(p->name).toHtmlEscaped(), Text(p->help_url).toHtmlEscaped(),
                    QUrl(Text(p->help_url)).host().toHtmlEscaped());
  ProviderHelp->setText(help);
  ProviderHelp->setToolTip(p ? Text(p->help_url) : QString());
  form_->setRowVisible(ProviderHelp, !help.isEmpty());
}

}  // namespace corvelle
