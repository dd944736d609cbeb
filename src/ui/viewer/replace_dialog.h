#pragma once
// The replace dialog: the find dialog with a replace text and the Replace and Replace All
// buttons. Its Find Next searches like the find dialog's.

#include "ui/viewer/find_dialog.h"

namespace corvelle {

class TReplaceDialog : public TFindDialog {
  Q_OBJECT
 public:
  explicit TReplaceDialog(QWidget* parent = nullptr);

  QString ReplaceWith() const;

  QLineEdit* ReplaceEdit;
  QPushButton* ReplaceBtn;
  QPushButton* ReplaceAllBtn;

 signals:
  void replace(const QString& what, const QString& with, corvelle::SearchOptions options, bool all);
};

}  // namespace corvelle
