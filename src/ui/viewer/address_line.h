#pragma once
// An address line of a message window: a drop-down list of addresses, one entry each,
// that reports a double-click. A click opens the list, so the second click of a
// double-click lands on the open list; both places report it.

#include <QComboBox>
#include <string>
#include <vector>

namespace corvelle {

class TAddressLine : public QComboBox {
  Q_OBJECT
 public:
  explicit TAddressLine(QWidget* parent = nullptr);

  // The entries as bytes: those set here as they were given, others as UTF-8.
  std::vector<std::string> Entries() const;
  // Replaces the entries; the first one is selected.
  void SetEntries(const std::vector<std::string>& entries);

 signals:
  void doubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace corvelle
