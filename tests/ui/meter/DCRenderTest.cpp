// SPDX-License-Identifier: GPL-3.0-or-later
// What the dial draws: the program's 287 x 120 power meter on several scales, the pointer's
// partial repaint against a full one, and the face, border and tick styles of a round dial.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace vemo {
namespace {

const QRgb Red = qRgb(255, 0, 0);
const QRgb Black = qRgb(0, 0, 0);
const QRgb White = qRgb(255, 255, 255);

// The main window's meter: a 297-pixel panel holding the dial, labelled in W or kW.
struct MeterPanel {
  QWidget Panel;
  TDCDial* Dial;

  explicit MeterPanel(std::uint8_t Range) : Dial(new TDCDial(&Panel)) {
    Panel.resize(297, 130);
    InitMeter(*Dial);
    Dial->OnLabelPosition = [](TDCDial*, int Position, QString& Text, int) {
      Text = MeterLabelText(CurrentRange, Position);
    };
    CurrentRange = Range == 1 ? 0 : 1;
    SetMeterRange(*Dial, Range);
    Panel.show();
    Settle();
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  // What the dial's image holds.
  QImage Image() const { return Dial->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  // What reached the window's backing store, the dial's area only.
  QImage Screen() const {
    return Panel.screen()
        ->grabWindow(Panel.winId(), Dial->x(), Dial->y(), Dial->width(), Dial->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
  }
  QPoint At(int Position, int Distance) const {
    return Dial->Center() + PolarOffset(Dial->PositionToAngle(Position), Distance);
  }
};

bool HasColourNear(const QImage& Image, QPoint P, QRgb Colour, int Reach = 1) {
  for (int Dy = -Reach; Dy <= Reach; ++Dy)
    for (int Dx = -Reach; Dx <= Reach; ++Dx)
      if (Image.valid(P.x() + Dx, P.y() + Dy) && Image.pixel(P.x() + Dx, P.y() + Dy) == Colour)
        return true;
  return false;
}

int CountNonWhite(const QImage& Image, const QRect& Box) {
  int N = 0;
  for (int y = Box.top(); y <= Box.bottom(); ++y)
    for (int x = Box.left(); x <= Box.right(); ++x)
      if (Image.valid(x, y) && Image.pixel(x, y) != White) ++N;
  return N;
}

// Pixels that differ between two images of one size (every pixel when the sizes differ).
int CountDifferences(const QImage& A, const QImage& B) {
  if (A.size() != B.size()) return A.width() * A.height() + 1;
  int N = 0;
  for (int y = 0; y < A.height(); ++y)
    for (int x = 0; x < A.width(); ++x)
      if (A.pixel(x, y) != B.pixel(x, y)) ++N;
  return N;
}

void ExpectPointerAt(const MeterPanel& M, const QImage& Image, int Position) {
  for (int Distance : {15, 35, 55})
    EXPECT_TRUE(HasColourNear(Image, M.At(Position, Distance), Red))
        << "pointer at " << Position << ", " << Distance << " px out";
}

void ExpectNoPointerAt(const MeterPanel& M, const QImage& Image, int Position) {
  for (int Distance : {15, 35, 55})
    EXPECT_FALSE(HasColourNear(Image, M.At(Position, Distance), Red, 0))
        << "ghost of " << Position << ", " << Distance << " px out";
}

// The dial drawn onto a device of pixel ratio Ratio, as a window on such a screen draws it.
QImage RenderAt(TDCDial& Dial, qreal Ratio) {
  QImage Image((QSizeF(Dial.size()) * Ratio).toSize(), QImage::Format_RGB32);
  Image.setDevicePixelRatio(Ratio);
  Dial.render(&Image);
  return Image;
}

void SaveArtifact(const QImage& Image, const QString& Name) {
  // Test executables live in <build>/tests; artifacts belong in <build>/artifacts.
  const QString Dir = qEnvironmentVariable(
      "VEMO_ARTIFACT_DIR", QCoreApplication::applicationDirPath() + "/../artifacts");
  QDir().mkpath(Dir);
  EXPECT_TRUE(Image.save(Dir + "/" + Name)) << Name.toStdString();
}

TEST(DCRender, MeterShowsPointerBandsAndLabelsOnEveryKindOfScale) {
  const struct {
    std::uint8_t Range;
    int Position;
    const char* Artifact;
  } Rows[] = {{0, 20, "meter-30W-at-20W.png"},
              {5, 1100, "meter-1200W-at-1100W.png"},
              {6, 2700, "meter-3kW-at-2700W.png"},
              {13, 250000, "meter-600kW-at-250kW.png"}};
  for (const auto& R : Rows) {
    MeterPanel M(R.Range);
    const int FullScale = MeterScale(R.Range).FullScale;
    M.Dial->SetPosition(R.Position);
    MeterPanel::Settle();
    const QImage Image = M.Screen();
    ASSERT_EQ(Image.size(), QSize(287, 120));
    ExpectPointerAt(M, Image, R.Position);
    // The bands lie between 78 and 83 pixels out.
    EXPECT_EQ(Image.pixel(M.At(FullScale * 11 / 12, 80)), Red) << FullScale;
    EXPECT_EQ(Image.pixel(M.At(FullScale / 3, 80)), Black) << FullScale;
    // Labels are centred 60 pixels out: "0" at the start and the full scale at the end.
    for (int Value : {0, FullScale}) {
      const QPoint C = M.At(Value, 60);
      EXPECT_GT(CountNonWhite(Image, QRect(C - QPoint(8, 6), C + QPoint(8, 6))), 6) << Value;
    }
    EXPECT_EQ(Image.pixel(M.Dial->Center() + QPoint(0, -30)), White);  // the plain face
    SaveArtifact(Image, R.Artifact);
  }
}

TEST(DCRender, LabelsReadInWattsOrKilowattsAlongTheScale) {
  for (const auto& [Range, Expected] :
       {std::pair<std::uint8_t, QStringList>{11, {"0", "20", "40", "60", "80", "100", "120"}},
        {5, {"0", "200", "400", "600", "800", "1000", "1200"}},
        {6, {"0", "1", "2", "3"}}}) {
    MeterPanel M(Range);
    QStringList Seen;
    M.Dial->OnLabelPosition = [&Seen](TDCDial*, int Position, QString& Text, int) {
      Text = MeterLabelText(CurrentRange, Position);
      Seen << Text;
    };
    M.Dial->Invalidate();
    MeterPanel::Settle();
    EXPECT_EQ(Seen, Expected);
  }
}

TEST(DCRender, MeterLabelsStayClearOfTheTicksOnEveryScale) {
  for (std::uint8_t Range = 0; Range < kMeterScaleCount; ++Range)
    for (const int Ratio : {1, 2}) {
      MeterPanel M(Range);
      M.Panel.hide();
      // Three paints that differ only in what is drawn in white: the labels, the ticks, both.
      const auto Paint = [&](bool Labels, bool Ticks) {
        M.Dial->LabelSets().Items(0)->Font().SetColor(Labels ? clBlack : clWhite);
        for (int i : {0, 1}) M.Dial->TickSets().Items(i)->SetColor(Ticks ? clBlack : clWhite);
        return RenderAt(*M.Dial, Ratio);
      };
      const QImage Bare = Paint(false, false);
      const QImage Labels = Paint(true, false);
      const QImage Ticks = Paint(false, true);
      const auto IsTick = [&](int x, int y) {
        return Ticks.valid(x, y) && Ticks.pixel(x, y) != Bare.pixel(x, y);
      };
      // At least one clear logical pixel between any label ink and any tick.
      int Ink = 0;
      int Touching = 0;
      for (int y = 0; y < Bare.height(); ++y)
        for (int x = 0; x < Bare.width(); ++x) {
          if (Labels.pixel(x, y) == Bare.pixel(x, y)) continue;
          ++Ink;
          bool Near = false;
          for (int Dy = -Ratio; Dy <= Ratio; ++Dy)
            for (int Dx = -Ratio; Dx <= Ratio; ++Dx) Near = Near || IsTick(x + Dx, y + Dy);
          if (Near) ++Touching;
        }
      EXPECT_GT(Ink, 0);
      EXPECT_EQ(Touching, 0) << MeterScale(Range).Text << " at pixel ratio " << Ratio;
    }
}

TEST(DCRender, MovingThePointerRepaintsOnlyWhatItTouchesAndLeavesNoGhosts) {
  MeterPanel M(3);  // 300 W
  const int Path[] = {0, 290, 10, 150, 151, 75, 260, 299, 300, 0, 120};
  for (int Position : Path) {
    M.Dial->SetPosition(Position);
    MeterPanel::Settle();
    // A partial repaint keeps the range polygons a full repaint would rebuild.
    ASSERT_TRUE(M.Dial->Ranges().Items(0)->HasCachedPolygon());
  }
  const QImage Moved = M.Screen();
  ExpectPointerAt(M, Moved, 120);
  for (int Old : {290, 10, 260}) ExpectNoPointerAt(M, Moved, Old);

  M.Dial->Invalidate();
  MeterPanel::Settle();
  const QImage Full = M.Screen();
  EXPECT_EQ(CountDifferences(Moved, Full), 0);
  EXPECT_EQ(M.Image(), Full);
}

TEST(DCRender, UserDrawnPointersAreDrawnByTheProgramAndRemovedWithTheFaceBeneath) {
  MeterPanel M(0);
  const QRgb Green = qRgb(0, 255, 0);
  QList<int> OldAngles;
  M.Dial->SetMarkerStyle(msUserDrawn);
  M.Dial->OnDrawMarker = [&](TDCDial*, QPainter& Canvas, QPoint Center, int Angle) {
    Canvas.setPen(QColor(Green));
    Canvas.drawLine(Center, Center + PolarOffset(Angle, 50));
    Canvas.fillRect(QRect(10, 10, 4, 4), QColor(Green));  // a user's pointer may reach anywhere
  };
  M.Dial->OnFixDialFace = [&](TDCDial*, QPainter&, QPoint Center, int OldAngle) {
    EXPECT_EQ(Center, QPoint(143, 118));
    OldAngles << OldAngle;
  };
  M.Dial->Invalidate();
  M.Dial->SetPosition(5);
  MeterPanel::Settle();
  M.Dial->SetPosition(25);
  MeterPanel::Settle();
  const QImage Image = M.Screen();
  EXPECT_EQ(OldAngles, QList<int>{M.Dial->PositionToAngle(5)});
  EXPECT_TRUE(HasColourNear(Image, M.At(25, 30), Green));
  EXPECT_FALSE(HasColourNear(Image, M.At(5, 30), Green));
  EXPECT_FALSE(HasColourNear(Image, M.At(25, 30), Red));
  EXPECT_EQ(Image.pixel(11, 11), Green);

  M.Dial->SetMarkerStyle(msLine);
  M.Dial->SetPosition(10);
  MeterPanel::Settle();
  const QImage Line = M.Screen();
  EXPECT_TRUE(HasColourNear(Line, M.At(10, 30), Red));
  EXPECT_FALSE(HasColourNear(Line, M.At(25, 30), Green));
  EXPECT_EQ(Line.pixel(11, 11), White);
}

TEST(DCRender, MarkerColourRepaintsThePointerAtOnceAndDisabledDialsShowNone) {
  MeterPanel M(0);
  M.Dial->SetPosition(15);
  M.Dial->SetMarkerColor(0xFF0000);  // blue
  MeterPanel::Settle();
  EXPECT_TRUE(HasColourNear(M.Screen(), M.At(15, 35), qRgb(0, 0, 255)));
  M.Dial->setEnabled(false);
  MeterPanel::Settle();
  EXPECT_FALSE(HasColourNear(M.Screen(), M.At(15, 35), qRgb(0, 0, 255)));
  M.Dial->SetPosition(25);
  MeterPanel::Settle();
  EXPECT_FALSE(HasColourNear(M.Screen(), M.At(25, 35), qRgb(0, 0, 255)));
}

TEST(DCRender, AtPixelRatioTwoTheFaceIsDrawnInDevicePixelsAndThePointerLeavesNoGhosts) {
  MeterPanel M(5);  // 1200 W: the longest labels
  M.Panel.hide();   // only the renders below paint it, all at ratio 2
  RenderAt(*M.Dial, 2);
  for (int Position : {1100, 0, 600, 601, 1200, 250}) M.Dial->SetPosition(Position);
  const QImage Moved = RenderAt(*M.Dial, 2);
  M.Dial->Invalidate();
  const QImage Full = RenderAt(*M.Dial, 2);
  ASSERT_EQ(Full.size(), QSize(574, 240));
  EXPECT_EQ(CountDifferences(Moved, Full), 0);
  // A face painted at ratio 1 and scaled up is made of uniform 2 x 2 blocks; text drawn in
  // device pixels is not.
  int FineBlocks = 0;
  for (int y = 0; y + 1 < Full.height(); y += 2)
    for (int x = 0; x + 1 < Full.width(); x += 2) {
      const QRgb P = Full.pixel(x, y);
      if (Full.pixel(x + 1, y) != P || Full.pixel(x, y + 1) != P || Full.pixel(x + 1, y + 1) != P)
        ++FineBlocks;
    }
  EXPECT_GT(FineBlocks, 100);
}

// A dark desktop palette: light text on dark windows and buttons.
QPalette DarkPalette() {
  QPalette Palette(QColor(0x35, 0x35, 0x35));
  Palette.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
  return Palette;
}

// The grey-level difference from Face of the ink in Box that stands out most: negative for
// ink darker than the face.
int InkContrast(const QImage& Image, const QRect& Box, QRgb Face) {
  int Most = 0;
  for (int y = Box.top(); y <= Box.bottom(); ++y)
    for (int x = Box.left(); x <= Box.right(); ++x) {
      const int D = Image.valid(x, y) ? qGray(Image.pixel(x, y)) - qGray(Face) : 0;
      if (std::abs(D) > std::abs(Most)) Most = D;
    }
  return Most;
}

TEST(DCRender, LabelsStandOutFromTheFaceUnderLightAndDarkPalettes) {
  for (const bool Dark : {false, true}) {
    const QPalette Palette = Dark ? DarkPalette() : QApplication::palette();
    // The meter's face is white whatever the palette: its labels must be dark.
    MeterPanel M(0);
    M.Panel.setPalette(Palette);
    MeterPanel::Settle();
    const QImage Meter = M.Image();
    const QPoint Thirty = M.At(30, 60);
    const QRgb Paper = Meter.pixel(M.Dial->Center() + QPoint(0, -30));
    EXPECT_LE(InkContrast(Meter, QRect(Thirty - QPoint(8, 6), Thirty + QPoint(8, 6)), Paper), -128)
        << "dark palette " << Dark;
    // A dial on the palette's own button face keeps the palette's text colour.
    QWidget Window;
    Window.setPalette(Palette);
    Window.resize(100, 100);
    auto* Dial = new TDCDial(&Window);
    Dial->LabelSets().Add(TLabelSet());
    Window.show();
    const QImage Round = RenderAt(*Dial, 2);  // small text reaches its full colour only here
    const QPoint Sixty = (Dial->Center() + PolarOffset(Dial->PositionToAngle(60), 25)) * 2;
    const QRgb Face = Round.pixel((Dial->Center() + QPoint(-10, 0)) * 2);
    const int Contrast =
        InkContrast(Round, QRect(Sixty - QPoint(16, 12), Sixty + QPoint(16, 12)), Face);
    EXPECT_GE(Dark ? Contrast : -Contrast, 128) << "dark palette " << Dark;
  }

  // For a person to look at: the meter on every scale on a dark desktop, at pixel ratio 2.
  QImage Sheet(2 * 287 * 2, 7 * 120 * 2, QImage::Format_RGB32);
  Sheet.setDevicePixelRatio(2);
  Sheet.fill(DarkPalette().color(QPalette::Window));
  QPainter Canvas(&Sheet);
  for (std::uint8_t Range = 0; Range < kMeterScaleCount; ++Range) {
    MeterPanel M(Range);
    M.Panel.setPalette(DarkPalette());
    M.Panel.hide();
    const QImage Image = RenderAt(*M.Dial, 2);
    const QPoint FullScale = M.At(MeterScale(Range).FullScale, 60) * 2;
    EXPECT_LE(InkContrast(Image, QRect(FullScale - QPoint(16, 12), FullScale + QPoint(16, 12)),
                          qRgb(255, 255, 255)),
              -128)
        << int(Range);
    Canvas.drawImage(QPoint(Range % 2 * 287, Range / 2 * 120), Image);
  }
  Canvas.end();
  SaveArtifact(Sheet, "meter-dark-palette-all-scales-ratio2.png");
}

// A round dial on white with a yellow face, to tell face, bevel and background apart.
struct RoundDial {
  QWidget Window;
  TDCDial* Dial;
  RoundDial() : Dial(new TDCDial(&Window)) {
    Window.resize(100, 100);
    Dial->SetColor(clWhite);
    Dial->SetDialColor(0x00FFFF);
    Window.show();
  }
  QImage Image() const { return Dial->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

TEST(DCRender, BorderStylesShadeTheRimFromTheUpperLeft) {
  const QRgb Yellow = qRgb(255, 255, 0);
  const struct {
    TStyle Style;
    TBorderStyle Border;
    QRgb UpperLeft, LowerRight, Centre;
  } Rows[] = {
      {dsDial, bsRaised, White, Black, Yellow},   {dsDial, bsLowered, Black, White, Yellow},
      {dsDial, bsNormal, Yellow, Yellow, Yellow}, {dsDial, bsUserDrawn, White, White, White},
      {dsGauge, bsRaised, White, 0, Yellow},      {dsGauge, bsLowered, Black, 0, Yellow}};
  for (const auto& R : Rows) {
    RoundDial D;
    D.Dial->SetStyle(R.Style);
    D.Dial->SetBorderStyle(R.Border);
    int FaceEvents = 0;
    D.Dial->OnDrawDialFace = [&](TDCDial*, QPainter&, QPoint Center) {
      EXPECT_EQ(Center, D.Dial->Center());
      ++FaceEvents;
    };
    const QImage Image = D.Image();
    const QPoint C = D.Dial->Center();
    const int Rim = D.Dial->Radius();
    EXPECT_EQ(FaceEvents, 1);
    EXPECT_TRUE(HasColourNear(Image, C + PolarOffset(135, Rim), R.UpperLeft))
        << R.Style << R.Border;
    if (R.Style == dsDial) {
      EXPECT_TRUE(HasColourNear(Image, C + PolarOffset(315, Rim), R.LowerRight)) << R.Border;
    }
    EXPECT_EQ(Image.pixel(C + PolarOffset(90, Rim / 2)), R.Centre) << R.Style << R.Border;
  }
}

TEST(DCRender, ElementsBeyondTheRimGoUnderTheFaceAndInnerOnesOnTop) {
  RoundDial D;
  D.Window.resize(200, 200);
  D.Dial->SetBounds(0, 0, 200, 200);  // radius 74
  TRange Outer;                       // 74..81: beyond the rim
  Outer.SetStartValue(60);
  Outer.SetRadius(-100);
  TRange Inner;  // 59..66, green
  Inner.SetStartValue(60);
  Inner.SetColor(0x00FF00);
  Inner.SetBorderColor(0x00FF00);
  Inner.SetRadius(-80);
  TTickSet Ticks;
  Ticks.SetRadius(-90);
  Ticks.SetInterval(10);
  D.Dial->Ranges().Add(Outer);
  D.Dial->Ranges().Add(Inner);
  D.Dial->TickSets().Add(Ticks);
  D.Dial->LabelSets().Add(TLabelSet());
  D.Dial->SetPosition(35);
  const QImage Image = D.Image();
  const QPoint C = D.Dial->Center();
  const int A = D.Dial->PositionToAngle(85);
  EXPECT_EQ(Image.pixel(C + PolarOffset(A, 78)), Red);
  EXPECT_EQ(Image.pixel(C + PolarOffset(A, 72)), qRgb(255, 255, 0));  // the face covers it
  EXPECT_EQ(Image.pixel(C + PolarOffset(A, 62)), qRgb(0, 255, 0));
  SaveArtifact(Image, "dial-raised-with-elements.png");
}

TEST(DCRender, TickStylesDrawLinesBevelsOrHandTheTickToTheProgram) {
  for (TTickStyle Style : {tsLine, tsRaised, tsLowered, tsUserDrawn}) {
    RoundDial D;
    D.Dial->SetBorderStyle(bsNormal);
    TTickSet T;
    T.SetRadius(-50);  // 18 px
    T.SetLength(-20);  // 7 px
    T.SetInterval(0);
    T.SetStartValue(50);  // straight up
    T.SetTickStyle(Style);
    D.Dial->TickSets().Add(T);
    QList<QPoint> Handed;
    D.Dial->OnDrawTick = [&](TDCDial*, QPainter&, int Position, QPoint TickPos, int) {
      EXPECT_EQ(Position, 50);
      Handed << TickPos;
    };
    const QImage Image = D.Image();
    switch (Style) {
      case tsLine:
        EXPECT_EQ(Image.pixel(50, 50 - 21), Black);
        break;
      case tsRaised:
      case tsLowered: {
        const QRgb Light = Style == tsRaised ? White : Black;
        const QRgb Dark = Style == tsRaised ? Black : White;
        EXPECT_EQ(Image.pixel(48, 29), Light);  // top edge of the 6 x 6 bevel at (50, 32)
        EXPECT_EQ(Image.pixel(52, 32), Dark);   // right edge
        break;
      }
      case tsUserDrawn:
        EXPECT_EQ(Handed, QList<QPoint>{QPoint(0, -18)});
        break;
    }
    if (Style != tsUserDrawn) {
      EXPECT_TRUE(Handed.isEmpty());
    }
  }
}

TEST(DCRender, PeakMarkerStandsOnTheRimMovesWithoutGhostsAndHides) {
  MeterPanel M(3);  // 300 W
  const QRgb Blue = qRgb(0, 0, 0xC0);
  const auto PeakAt = [&](const QImage& Image, int Position) {
    return HasColourNear(Image, M.At(Position, M.Dial->Radius() - 8), Blue);
  };
  EXPECT_FALSE(PeakAt(M.Screen(), 200)) << "no peak marker unless one is set";
  M.Dial->SetPosition(150);
  // Across the pointer and back, so the two partial repaints overlap.
  for (int Peak : {200, 150, 250, 140}) {
    M.Dial->SetPeakPosition(Peak);
    MeterPanel::Settle();
  }
  M.Dial->SetPosition(145);
  MeterPanel::Settle();
  const QImage Moved = M.Screen();
  EXPECT_TRUE(PeakAt(Moved, 140));
  for (int Old : {200, 250}) EXPECT_FALSE(PeakAt(Moved, Old)) << "ghost at " << Old;
  ExpectPointerAt(M, Moved, 145);
  M.Dial->Invalidate();
  MeterPanel::Settle();
  EXPECT_EQ(CountDifferences(Moved, M.Screen()), 0) << "partial repaints match a full paint";

  M.Dial->SetPeakPosition(TDCDial::kNoPeak);
  MeterPanel::Settle();
  EXPECT_FALSE(PeakAt(M.Screen(), 140));
  ExpectPointerAt(M, M.Screen(), 145);
}

}  // namespace
}  // namespace vemo
