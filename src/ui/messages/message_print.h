#pragma once
// Printing a message's text: one printed line per text line, in order, TABs expanded to
// eight-column stops, on the default printer. The page layout is the printer's: its
// margins, a line wider than the page wrapped at the page width, a new page when one is
// full.

#include <QFont>
#include <QStringList>
#include <functional>
#include <memory>

#include "core/settings/settings.h"
#include "core/user_interface.h"

class QPrinter;

namespace corvelle {

// Makes the printer to print on; nullptr when there is none. Tests print to a PDF file.
using PrinterFactory = std::function<std::unique_ptr<QPrinter>()>;

// The system's default printer, or the first installed one; nullptr when there is none.
std::unique_ptr<QPrinter> DefaultPrinter();

// Prints `lines` in `font` as the job `title` on the printer `printer` makes. When there is
// no printer, or it cannot be opened, `ui` says so and nothing is printed; false then.
bool PrintLines(const PrinterFactory& printer, UserInterface& ui, const QString& title, const QStringList& lines,
                const QFont& font);

// The message font for paper: the size in points, since a size in screen pixels would
// shrink to nothing at a printer's resolution.
QFont PrinterFont(const FontRecord& record);

}  // namespace corvelle
