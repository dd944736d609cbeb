#include "ui/help/about_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "core/settings/settings.h"

namespace corvelle {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle("About");
  auto* icon = new QLabel(this);
  QIcon program = QIcon::fromTheme("internet-mail", style()->standardIcon(QStyle::SP_MessageBoxInformation));
  icon->setPixmap(program.pixmap(48, 48));
  ProductName = new QLabel("Corvelle, 32-bit", this);
  ProductName->setObjectName("ProductName");
  QFont bold = ProductName->font();
  bold.setBold(true);
  ProductName->setFont(bold);
  Version = new QLabel(QString("Version ") + kVersion, this);
  Version->setObjectName("Version");
  Comments = new QLabel("A mail interface for your file manager.", this);
  Comments->setObjectName("Comments");
  Comments->setWordWrap(true);
  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(ProductName);
  texts->addWidget(Version);
  texts->addSpacing(8);
  texts->addWidget(Comments);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
}

}  // namespace corvelle
