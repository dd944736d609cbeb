#include "ui/setup/keyring_fields.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>

#include "core/settings/settings.h"
#include "ui/common/byte_fields.h"
#include "ui/common/named.h"

namespace corvelle {
namespace {

constexpr const char* kInUseTip =
    "Passwords are kept in the desktop's keyring (the Secret Service), not in Corvelle's settings file.";
constexpr const char* kNoneTip =
    "No system keyring (Secret Service) answers on this desktop, so passwords stay in Corvelle's settings file.";

// Told once per run: whether a keyring answers does not change while Corvelle runs.
bool told_no_keyring = false;

}  // namespace

KeyringFields::KeyringFields(QFormLayout* form, QLineEdit* password, QLineEdit* send_password, SecretStore* store)
    : QObject(form), password_(password), send_password_(send_password), store_(store) {
  // Where none answers the page says so in the box's own words, not in a tip nobody sees.
  UseKeyringBox = Named(new QCheckBox(store ? "Keep passwords in the system keyring"
                                            : "Keep passwords in the system keyring (none answers here)"),
                        "UseKeyringBox");
  UseKeyringBox->setEnabled(store != nullptr);
  UseKeyringBox->setToolTip(QString::fromUtf8(store ? kInUseTip : kNoneTip));
  int row = -1;
  QFormLayout::ItemRole role;
  form->getWidgetPosition(password, &row, &role);
  form->insertRow(row + 1, QString(), UseKeyringBox);
  QWidget::setTabOrder(password, UseKeyringBox);
}

void KeyringFields::Load(const Settings& s) {
  const std::string& use = s.Secure.UseKeyring;
  loaded_checked_ = use == "1" || (use.empty() && store_);
  UseKeyringBox->setChecked(loaded_checked_);
  loaded_keys_ = PasswordKeys(s);
  PasswordSlots kept = KeptPasswords(s, store_);
  SetFieldBytes(password_, kept.mail, FieldKind::kText);
  SetFieldBytes(send_password_, kept.send, FieldKind::kText);
}

void KeyringFields::Store(Settings& s) const {
  if (UseKeyringBox->isChecked() != loaded_checked_) s.Secure.UseKeyring = UseKeyringBox->isChecked() ? "1" : "0";
}

std::vector<std::string> KeyringFields::Keep(UserInterface& ui, Settings& s) {
  PasswordSlots entered{FieldBytes(password_, FieldKind::kText), FieldBytes(send_password_, FieldKind::kText)};
  return KeepPasswords(ui, s, store_, loaded_keys_, entered, told_no_keyring);
}

void KeyringFields::RemoveLeft(UserInterface& ui, const std::vector<std::string>& keys) {
  RemoveLeftKeys(ui, store_, keys);
}

}  // namespace corvelle
