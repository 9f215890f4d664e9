// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/meter/Meter.h"

#include <QWidget>
#include <algorithm>
#include <array>

#include "ui/meter/DCDial.h"

namespace vemo {

std::uint8_t CurrentRange = 0;

namespace {

constexpr std::array<TMeterScale, kMeterScaleCount> kScales{{
    {"30 Watts", 30, 5, 1, 5, 25},
    {"60 Watts", 60, 5, 1, 10, 50},
    {"120 Watts", 120, 10, 2, 20, 100},
    {"300 Watts", 300, 25, 5, 50, 250},
    {"600 Watts", 600, 50, 10, 100, 500},
    {"1200 Watts", 1200, 100, 25, 200, 1000},
    {"3 Kilowatts", 3000, 500, 100, 1000, 2500},
    {"6 Kilowatts", 6000, 1000, 250, 1000, 5000},
    {"12 Kilowatts", 12000, 1000, 250, 2000, 10000},
    {"30 Kilowatts", 30000, 5000, 1000, 10000, 25000},
    {"60 Kilowatts", 60000, 5000, 1250, 10000, 50000},
    {"120 Kilowatts", 120000, 10000, 2500, 20000, 100000},
    {"300 Kilowatts", 300000, 50000, 10000, 100000, 250000},
    {"600 Kilowatts", 600000, 50000, 12500, 100000, 500000},
}};

// Scales from this index on are labelled in kilowatts.
constexpr int kFirstKilowattScale = 6;

}  // namespace

const TMeterScale& MeterScale(int Index) {
  return kScales.at(static_cast<std::size_t>(Index));
}

void InitMeter(TDCDial& Dial) {
  Dial.SetReadOnly(true);
  const int PanelWidth =
      Dial.parentWidget() != nullptr ? Dial.parentWidget()->width() : Dial.width() + 10;
  Dial.SetBounds(5, 5, PanelWidth - 10, 120);
  Dial.SetStyle(dsGauge);
  Dial.SetDialSpread(210);
  Dial.SetBorderStyle(bsNormal);
  Dial.SetColor(clWhite);
  Dial.SetDialColor(clWhite);

  TTickSet Major;
  Major.SetRadius(-80);
  Dial.TickSets().Add(Major);

  TTickSet Minor;
  Minor.SetRadius(-80);
  Minor.SetLength(5);
  Dial.TickSets().Add(Minor);

  Dial.LabelSets().Add(TLabelSet());

  TRange Black;
  Black.SetColor(clBlack);
  Black.SetRadius(-90);
  Black.SetThickness(5);
  Dial.Ranges().Add(Black);

  TRange Red;
  Red.SetBorderColor(clRed);
  Red.SetRadius(-90);
  Red.SetThickness(5);
  Dial.Ranges().Add(Red);
}

void SetMeterRange(TDCDial& Dial, std::uint8_t Index) {
  if (Index == CurrentRange) return;
  // Parked at 0 while the scale changes, so a narrower scale never strands the pointer.
  const int Remembered = Dial.Position();
  Dial.SetPosition(0);
  if (Index < kMeterScaleCount) {
    const TMeterScale& S = kScales[Index];
    Dial.SetMaxValue(S.FullScale);
    Dial.TickSets().Items(0)->SetInterval(S.Major);
    Dial.TickSets().Items(1)->SetInterval(S.Minor);
    Dial.LabelSets().Items(0)->SetInterval(S.Labels);
    TRange* Black = Dial.Ranges().Items(0);
    Black->SetStartValue(0);
    Black->SetEndValue(S.RedStart);
    TRange* Red = Dial.Ranges().Items(1);
    Red->SetStartValue(S.RedStart);
    Red->SetEndValue(S.FullScale);
    CurrentRange = Index;
  }
  Dial.SetPosition(std::min(Remembered, Dial.MaxValue()));
}

void AutoRangeMeter(TDCDial& Dial, int Watts) {
  Dial.SetPosition(0);
  int Candidate = 0;
  while (Candidate < kMeterScaleCount - 1 && kScales[Candidate].FullScale <= Watts) ++Candidate;
  if (Candidate > CurrentRange) {
    SetMeterRange(Dial, static_cast<std::uint8_t>(Candidate));
  } else if (Candidate < CurrentRange) {
    // Down only as far as keeps the reading out of the red band of the lower scale.
    const bool BelowRed = Watts < kScales[Candidate].RedStart;
    SetMeterRange(Dial, static_cast<std::uint8_t>(BelowRed ? Candidate : Candidate + 1));
  }
  Dial.SetPosition(std::clamp(Watts, 0, Dial.MaxValue()));
}

QString MeterUnitCaption(int Range) {
  return Range < kFirstKilowattScale ? QStringLiteral("(W)") : QStringLiteral("(KW)");
}

QString MeterLabelText(int Range, int Position) {
  return QString::number(Range < kFirstKilowattScale ? Position : Position / 1000);
}

}  // namespace vemo
