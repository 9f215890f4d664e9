// SPDX-License-Identifier: GPL-3.0-or-later
// vemoswr-icon: paints the program's icon from its own meter, as a scalable SVG and as PNGs
// of the usual sizes, laid out as an icon theme folder (scalable/apps, NxN/apps).
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>
#include <QWidget>
#include <cstdio>

#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace {

// The meter as the main window lays it out, painted straight onto any device: the
// widget's own cached images would put a bitmap into the SVG.
class IconDial : public vemo::TDCDial {
 public:
  using TDCDial::TDCDial;
  void Draw(QPainter& Canvas) {
    Paint(Canvas);
    PaintMarker(Canvas);
  }
};

constexpr int kUnits = 64;  // the icon's own coordinates, scaled to every size

// A rounded tile with the gauge's half disc filling its width.
void PaintIcon(QPainter& Canvas, IconDial& Dial) {
  Canvas.setRenderHint(QPainter::Antialiasing);
  QPainterPath Tile;
  Tile.addRoundedRect(QRectF(2, 2, kUnits - 4, kUnits - 4), 10, 10);
  Canvas.fillPath(Tile, QColor(0x10, 0x30, 0x60));

  const int R = Dial.Radius();
  const QPoint C = Dial.Center();
  const qreal Scale = (kUnits - 12.0) / (2 * R + 4);
  Canvas.save();
  Canvas.translate(kUnits / 2.0, kUnits / 2.0 + Scale * R / 2);
  Canvas.scale(Scale, Scale);
  Canvas.translate(-C.x(), -C.y());
  Dial.Draw(Canvas);
  Canvas.restore();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: vemoswr-icon OUTPUT-FOLDER\n");
    return 2;
  }
  const QDir Out(QString::fromLocal8Bit(argv[1]));

  // The program's meter on its 30 W scale, its labels and minor ticks left out (they would be
  // specks and grey mush at 16 pixels). Laid out four times larger than in the window, so
  // the whole-pixel geometry stays smooth when scaled, with bands and pointer as bold in
  // proportion as on a small meter.
  QWidget Panel;
  Panel.resize(297, 130);
  IconDial Dial(&Panel);
  vemo::InitMeter(Dial);
  vemo::CurrentRange = 1;
  vemo::SetMeterRange(Dial, 0);
  Dial.LabelSets().Clear();
  Dial.TickSets().Delete(1);
  Dial.SetBounds(0, 0, 280, 142);
  for (int i = 0; i < Dial.Ranges().Count(); ++i) Dial.Ranges().Items(i)->SetThickness(20);
  Dial.SetPosition(21);
  Dial.SetMarkerStyle(vemo::msUserDrawn);
  Dial.OnDrawMarker = [](vemo::TDCDial* Sender, QPainter& Canvas, QPoint Center, int Angle) {
    Canvas.setPen(QPen(Qt::red, Sender->Radius() / 9.0, Qt::SolidLine, Qt::RoundCap));
    Canvas.drawLine(Center, Center + vemo::PolarOffset(Angle, Sender->Radius() - 2));
  };

  bool Written = Out.mkpath(QStringLiteral("scalable/apps"));
  {
    QSvgGenerator Svg;
    Svg.setFileName(Out.filePath(QStringLiteral("scalable/apps/vemoswr.svg")));
    Svg.setSize(QSize(kUnits, kUnits));
    Svg.setViewBox(QRect(0, 0, kUnits, kUnits));
    Svg.setTitle(QStringLiteral("VemoSWR"));
    QPainter Canvas(&Svg);
    PaintIcon(Canvas, Dial);
  }
  for (const int Size : {16, 22, 24, 32, 48, 64, 128, 256}) {
    // Painted at each size, not scaled down from one bitmap, so small sizes stay sharp.
    QImage Image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
    {
      QPainter Canvas(&Image);
      Canvas.scale(Size / double(kUnits), Size / double(kUnits));
      PaintIcon(Canvas, Dial);
    }
    const QString Folder = QStringLiteral("%1x%1/apps").arg(Size);
    Written = Out.mkpath(Folder) && Image.save(Out.filePath(Folder + "/vemoswr.png")) && Written;
  }
  if (!Written) {
    std::fprintf(stderr, "vemoswr-icon: cannot write the icons into %s\n", argv[1]);
    return 1;
  }
  return 0;
}
