#pragma once
// The stored message font (FontRecord) and Qt's QFont. Heights follow the old convention:
// negative is the character height in pixels; colour 0x80000000 + n is system colour n
// (only the window-text colour, 8, is mapped; others fall back to it), else 0x00BBGGRR.

#include <QColor>
#include <QFont>

#include "core/settings/settings.h"

class QPalette;

namespace corvelle {

// The face (a monospace font stands in where it is absent), pixel size from a negative
// height (a positive height is taken as pixels too; zero uses the point size), style.
QFont ToQFont(const FontRecord& record);

// `font` as a record: face, size in points and height in pixels at `dpi` dots per inch,
// style; the colour is kept from `base` (the font dialog has no colour).
FontRecord FromQFont(const QFont& font, const FontRecord& base, int dpi);

// The text colour of a record: system colours from `palette`, others as 0x00BBGGRR.
QColor FontColor(const FontRecord& record, const QPalette& palette);

}  // namespace corvelle
