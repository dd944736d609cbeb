#include "ui/messages/message_print.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextLayout>
#include <cmath>

#include "core/user_interface.h"
#include "ui/common/font_mapping.h"

namespace corvelle {
namespace {

constexpr const char* kNoPrinter = "No printer is available.";
constexpr const char* kPrinterFailed = "The printer could not be opened.";
constexpr int kTabColumns = 8;
constexpr double kScreenDpi = 96;  // the resolution font heights in pixels were chosen at

}  // namespace

std::unique_ptr<QPrinter> DefaultPrinter() {
  QPrinterInfo info = QPrinterInfo::defaultPrinter();
  if (info.isNull()) {
    QList<QPrinterInfo> printers = QPrinterInfo::availablePrinters();
    if (printers.isEmpty()) return nullptr;
    info = printers.first();
  }
  return std::make_unique<QPrinter>(info, QPrinter::HighResolution);
}

namespace {

// `text` with each TAB replaced by the spaces up to the next tab stop (every eight
// columns). A TAB left to the layout would be placed by the page's own tab stops, and a
// text channel would cut the line there.
QString ExpandTabs(const QString& text) {
  if (!text.contains('\t')) return text;
  QString expanded;
  for (QChar c : text) {
    if (c == '\t')
      expanded += QString(kTabColumns - expanded.size() % kTabColumns, ' ');
    else
      expanded += c;
  }
  return expanded;
}

// Prints one text line from `y` on, wrapped at the page width, starting new pages as they
// fill. Returns the position below it.
qreal PrintLine(QPainter& painter, QPrinter& printer, const QString& text, qreal y) {
  QTextLayout layout(ExpandTabs(text), painter.font(), &printer);
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  layout.beginLayout();
  qreal height = 0;
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(printer.width());
    line.setPosition(QPointF(0, height));
    height += line.height();
  }
  layout.endLayout();
  for (int i = 0; i < layout.lineCount(); ++i) {
    QTextLine line = layout.lineAt(i);
    if (y > 0 && y + line.height() > printer.height()) {
      printer.newPage();
      y = 0;
    }
    line.draw(&painter, QPointF(0, y - line.y()));
    y += line.height();
  }
  return y;
}

}  // namespace

QFont PrinterFont(const FontRecord& record) {
  QFont font = ToQFont(record);
  if (record.size > 0)
    font.setPointSize(record.size);
  else if (record.height != 0)
    font.setPointSizeF(std::abs(record.height) * 72.0 / kScreenDpi);
  return font;
}

bool PrintLines(const PrinterFactory& make_printer, UserInterface& ui, const QString& title, const QStringList& lines,
                const QFont& font) {
  std::unique_ptr<QPrinter> printer = make_printer();
  if (!printer) {
    ShowMessage(ui, kNoPrinter);
    return false;
  }
  printer->setDocName(title);
  QPainter painter;
  if (!painter.begin(printer.get())) {
    ShowMessage(ui, kPrinterFailed);
    return false;
  }
  painter.setFont(QFont(font, printer.get()));
  qreal y = 0;
  for (const QString& line : lines) y = PrintLine(painter, *printer, line, y);
  return painter.end();
}

}  // namespace corvelle
