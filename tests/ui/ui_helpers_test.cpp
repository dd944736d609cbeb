// Small pieces of the interface: the font record in Qt, dialog filters, hint parts.

#include <QFontMetrics>
#include <QPalette>
#include <QTest>

#include "ui/common/file_dialog_state.h"
#include "ui/common/font_mapping.h"
#include "ui/main/menus.h"

namespace corvelle {

class UiHelpersTest : public QObject {
  Q_OBJECT

 private slots:
  void defaultFontIsFixedPitchWithPixelHeight() {
    QFont font = ToQFont(FontRecord{});
    QCOMPARE(font.family(), QString("Courier New"));
    QCOMPARE(font.pixelSize(), 13);
    QCOMPARE(font.styleHint(), QFont::TypeWriter);
    QFontMetrics metrics(font);  // a monospace face stands in where the face is missing
    QCOMPARE(metrics.horizontalAdvance('i'), metrics.horizontalAdvance('W'));
    QVERIFY(!font.bold() && !font.italic());
  }

  void styleAndHeightMapBothWays() {
    FontRecord record;
    record.name = "DejaVu Sans Mono";
    record.size = 20;
    record.height = -16;
    record.bold = record.underline = true;
    QFont font = ToQFont(record);
    QCOMPARE(font.pixelSize(), 16);
    QVERIFY(font.bold() && font.underline() && !font.italic() && !font.strikeOut());
    FontRecord back = FromQFont(font, record, 96);
    QCOMPARE(back.name, record.name);
    QCOMPARE(back.height, -16);
    QCOMPARE(back.size, 12);  // the height decides; the size follows it
    QVERIFY(back.bold && back.underline && !back.italic && !back.strike_out);

    QFont points("Serif");
    points.setPointSize(12);
    FontRecord from_points = FromQFont(points, record, 120);
    QCOMPARE(from_points.size, 12);
    QCOMPARE(from_points.height, -20);
    QCOMPARE(from_points.color, record.color);
  }

  void colorsAreSystemOrBgr() {
    QPalette palette;
    palette.setColor(QPalette::WindowText, QColor(1, 2, 3));
    FontRecord record;
    QCOMPARE(FontColor(record, palette), QColor(1, 2, 3));
    record.color = 0x00FF8000;  // blue FF, green 80, red 00
    QCOMPARE(FontColor(record, palette), QColor(0x00, 0x80, 0xFF));
  }

  void dialogFilters() {
    QCOMPARE(NameFilters("Mail Files (*.mail;*.newmail)|*.mail;*.newmail|Text Files|*.txt"),
             QStringList({"Mail Files (*.mail *.newmail)", "Text Files (*.txt)"}));
    QCOMPARE(NameFilters("All files (*.*)|*.*"), QStringList({"All files (*)"}));
    QCOMPARE(NameFilters("odd|"), QStringList({"odd ()"}));
    QCOMPARE(NameFilters(""), QStringList());
    QCOMPARE(InitialDirectory("/home/ann/Mail/"), QString("/home/ann/Mail"));
    QCOMPARE(InitialDirectory("/"), QString("/"));
  }

  void hintParts() {
    QCOMPARE(ShortHint("New message|Start a new mail message"), QString("New message"));
    QCOMPARE(LongHint("New message|Start a new mail message"), QString("Start a new mail message"));
    QCOMPARE(LongHint("Exit the application"), QString("Exit the application"));
    QCOMPARE(ShortHint("Exit the application"), QString("Exit the application"));
    QCOMPARE(LongHint("a|b|c"), QString("b|c"));
  }
};

}  // namespace corvelle

QTEST_MAIN(corvelle::UiHelpersTest)
#include "ui_helpers_test.moc"
