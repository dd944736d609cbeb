#include "ui/viewer/attachment_pane.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/common/file_dialog_state.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"
#include "ui/viewer/opened_attachments.h"

namespace corvelle {
namespace {

std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  ReadWholeFile(path, bytes);
  return bytes;
}

// A name that cannot leave the folder it is saved in, without control characters, short
// enough for a file system.
QString SafeName(const std::string& name) { return TextToQt(OpenedAttachmentName(name)); }

}  // namespace

QString SizeText(size_t size) {
  if (size < 1024) return QString::number(size) + " bytes";
  if (size < 1024 * 1024) return QString::number(size / 1024.0, 'f', 1) + " KB";
  return QString::number(size / (1024.0 * 1024.0), 'f', 1) + " MB";
}

TAttachmentPane::TAttachmentPane(UserInterface& ui, QWidget* parent) : QWidget(parent), ui_(ui) {
  setObjectName("AttachmentPane");
  AttachmentList = Named(new QTreeWidget(this), "AttachmentList");
  AttachmentList->setAccessibleName("Attachments");
  AttachmentList->setHeaderLabels({"Name", "Type", "Size"});
  AttachmentList->setRootIsDecorated(false);
  AttachmentList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  AttachmentList->setMaximumHeight(96);
  SaveBtn = Named(new QPushButton("Save...", this), "SaveBtn");
  OpenBtn = Named(new QPushButton("Open", this), "OpenBtn");
  RemoveBtn = Named(new QPushButton("Remove", this), "RemoveBtn");
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {SaveBtn, OpenBtn, RemoveBtn}) buttons->addWidget(button);
  buttons->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 2);
  layout->addWidget(AttachmentList, 1);
  layout->addLayout(buttons);
  connect(SaveBtn, &QPushButton::clicked, this, &TAttachmentPane::SaveClick);
  connect(OpenBtn, &QPushButton::clicked, this, &TAttachmentPane::OpenClick);
  connect(RemoveBtn, &QPushButton::clicked, this, &TAttachmentPane::RemoveClick);
  connect(AttachmentList, &QTreeWidget::itemDoubleClicked, this, &TAttachmentPane::OpenClick);
  hide();
}

void TAttachmentPane::AddRow(const std::string& name, const std::string& type, size_t size) {
  auto* item = new QTreeWidgetItem(AttachmentList, {SafeName(name), TextToQt(type), SizeText(size)});
  item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
}

void TAttachmentPane::ShowReceived(const std::string& message_path, const std::vector<MimeAttachment>& attachments) {
  message_path_ = message_path;
  outgoing_.clear();
  AttachmentList->clear();
  for (const MimeAttachment& attachment : attachments) AddRow(attachment.name, attachment.type, attachment.size);
  RemoveBtn->hide();
  SaveBtn->show();
  setVisible(!attachments.empty());
  if (!attachments.empty()) AttachmentList->setCurrentItem(AttachmentList->topLevelItem(0));
}

void TAttachmentPane::SetOutgoing(std::vector<OutgoingAttachment> attachments) {
  message_path_.clear();
  outgoing_ = std::move(attachments);
  AttachmentList->clear();
  for (const OutgoingAttachment& attachment : outgoing_) AddRow(attachment.name, attachment.type, attachment.bytes.size());
  SaveBtn->hide();
  RemoveBtn->show();
  setVisible(!outgoing_.empty());
}

void TAttachmentPane::AddFiles(const std::vector<std::string>& paths) {
  std::vector<OutgoingAttachment> attachments = outgoing_;
  for (const std::string& path : paths) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
      ShowMessage(ui_, "File does not exist.");
      continue;
    }
    const std::string name = path.substr(path.rfind('/') + 1);
    attachments.push_back({name, TypeForFileName(name), std::move(bytes)});
  }
  SetOutgoing(std::move(attachments));
}

bool TAttachmentPane::Bytes(int row, std::string& out) const {
  if (row < 0) return false;
  if (message_path_.empty()) {
    if (static_cast<size_t>(row) >= outgoing_.size()) return false;
    out = outgoing_[row].bytes;
    return true;
  }
  return ExtractAttachment(ReadFileBytes(message_path_), static_cast<size_t>(row), out);
}

bool TAttachmentPane::SaveAttachment(int row, const std::string& path, bool replace) {
  std::string bytes;
  if (!Bytes(row, bytes) || !(replace ? ReplaceFileAtomically(path, bytes) : WriteNewFile(path, bytes))) {
    ShowMessage(ui_, "Attachment could not be saved.");
    return false;
  }
  return true;
}

void TAttachmentPane::SaveClick() {
  const int row = AttachmentList->indexOfTopLevelItem(AttachmentList->currentItem());
  if (row < 0) return;
  const QString chosen = QFileDialog::getSaveFileName(
      this, "Save attachment", QDir(SaveStartFolder()).filePath(AttachmentList->currentItem()->text(0)));
  if (chosen.isEmpty()) return;
  // The dialog has asked before an existing file is replaced.
  if (SaveAttachment(row, PathFromQt(chosen), true)) RememberSaveFolder(chosen);
}

// The attachment goes to the process's private folder and the desktop opens it from there;
// the folder stays until the program ends, since the application opening the file needs it.
void TAttachmentPane::OpenClick() {
  const int row = AttachmentList->indexOfTopLevelItem(AttachmentList->currentItem());
  if (row < 0) return;
  const std::string path = ProcessAttachments().NewPath(PathFromQt(AttachmentList->currentItem()->text(0)));
  if (path.empty()) {
    ShowMessage(ui_, "Attachment could not be saved.");
    return;
  }
  if (SaveAttachment(row, path, false)) QDesktopServices::openUrl(QUrl::fromLocalFile(PathToQt(path)));
}

void TAttachmentPane::RemoveClick() {
  const int row = AttachmentList->indexOfTopLevelItem(AttachmentList->currentItem());
  if (row < 0 || static_cast<size_t>(row) >= outgoing_.size()) return;
  std::vector<OutgoingAttachment> attachments = outgoing_;
  attachments.erase(attachments.begin() + row);
  SetOutgoing(std::move(attachments));
}

}  // namespace corvelle
