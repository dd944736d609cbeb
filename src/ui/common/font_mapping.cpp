#include "ui/common/font_mapping.h"

#include <QPalette>
#include <cmath>

namespace corvelle {

QFont ToQFont(const FontRecord& record) {
  QFont font(QString::fromStdString(record.name));
  font.setStyleHint(QFont::TypeWriter);  // fixed pitch where the face is missing
  font.setFixedPitch(true);
  if (record.height != 0)
    font.setPixelSize(std::abs(record.height));
  else if (record.size > 0)
    font.setPointSize(record.size);
  font.setBold(record.bold);
  font.setItalic(record.italic);
  font.setUnderline(record.underline);
  font.setStrikeOut(record.strike_out);
  return font;
}

FontRecord FromQFont(const QFont& font, const FontRecord& base, int dpi) {
  FontRecord record = base;
  record.name = font.family().toStdString();
  if (dpi <= 0) dpi = 96;
  if (font.pixelSize() > 0) {
    record.height = -font.pixelSize();
    record.size = static_cast<int>(std::lround(font.pixelSize() * 72.0 / dpi));
  } else if (font.pointSizeF() > 0) {
    record.size = static_cast<int>(std::lround(font.pointSizeF()));
    record.height = -static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0));
  }
  record.bold = font.bold();
  record.italic = font.italic();
  record.underline = font.underline();
  record.strike_out = font.strikeOut();
  return record;
}

QColor FontColor(const FontRecord& record, const QPalette& palette) {
  auto color = static_cast<unsigned>(record.color);
  if (color & 0x80000000u) return palette.color(QPalette::WindowText);
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

}  // namespace corvelle
