#pragma once
// The attachments of a message window, listed under its text: name, type and size. A
// received message's attachments can be saved (file dialog) or opened with the desktop's
// application; a composition's are the files it will send, added by "Attach file..." or by
// dropping files on the window.

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/mime/mime_reader.h"
#include "core/mime/mime_writer.h"

class QPushButton;
class QTreeWidget;

namespace corvelle {

class UserInterface;

class TAttachmentPane : public QWidget {
  Q_OBJECT
 public:
  // Tells the user through `ui`.
  explicit TAttachmentPane(UserInterface& ui, QWidget* parent = nullptr);

  // A received message: its listed attachments, their bytes taken from `message_path`
  // when saved or opened. Hidden when there are none.
  void ShowReceived(const std::string& message_path, const std::vector<MimeAttachment>& attachments);

  // A composition: the files it carries (hidden while none).
  void SetOutgoing(std::vector<OutgoingAttachment> attachments);
  void AddFiles(const std::vector<std::string>& paths);
  const std::vector<OutgoingAttachment>& Outgoing() const { return outgoing_; }

  // Saves attachment `row` to `path` (an existing file only replaced when `replace`, and
  // then atomically); false with a message shown when it cannot be written.
  bool SaveAttachment(int row, const std::string& path, bool replace);

  QTreeWidget* AttachmentList;
  QPushButton* SaveBtn;
  QPushButton* OpenBtn;
  QPushButton* RemoveBtn;

 private:
  UserInterface& ui_;
  void AddRow(const std::string& name, const std::string& type, size_t size);
  bool Bytes(int row, std::string& out) const;
  void SaveClick();
  void OpenClick();
  void RemoveClick();

  std::string message_path_;
  std::vector<OutgoingAttachment> outgoing_;
};

// "12 bytes", "3.4 KB", "20.0 MB".
QString SizeText(size_t size);

}  // namespace corvelle
