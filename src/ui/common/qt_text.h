#pragma once
// Byte strings of the core and Qt's strings. Paths go through the file-name encoding of
// the system; the program's own texts and file contents through DisplayText.

#include <QFile>
#include <QString>
#include <string>

#include "ui/common/qt_user_interface.h"

namespace corvelle {

inline QString PathToQt(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
inline std::string PathFromQt(const QString& path) { return QFile::encodeName(path).toStdString(); }

// Text for display: UTF-8 when valid, else Windows-1252.
inline QString TextToQt(const std::string& text) { return QtUserInterface::DisplayText(text); }
// Text typed by the user, stored as UTF-8.
inline std::string TextFromQt(const QString& text) { return text.toStdString(); }

}  // namespace corvelle
