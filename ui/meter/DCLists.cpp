// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/meter/DCLists.h"

#include <typeinfo>

#include "ui/meter/DCAssert.h"

namespace vemo {

namespace {

// Stores Value into Field and reports the change, unless nothing changes.
template <class T, class Notify>
void Update(T& Field, const T& Value, Notify&& Changed) {
  if (Field == Value) return;
  Field = Value;
  Changed();
}

TRelativeRadius ReadRelativeRadius(TDCReader& Reader) {
  const int V = Reader.ReadInteger();
  if (V < -32768 || V > 32767) throw EReadError("Invalid property value");
  return static_cast<TRelativeRadius>(V);
}

}  // namespace

// --- TFont --------------------------------------------------------------------------------

void TFont::Changed() {
  if (OnChange) OnChange();
}

void TFont::SetColor(TColor Value) {
  Update(fColor, Value, [this] { Changed(); });
}
void TFont::SetName(const QString& Value) {
  Update(fName, Value, [this] { Changed(); });
}
void TFont::SetPitch(TFontPitch Value) {
  Update(fPitch, Value, [this] { Changed(); });
}
void TFont::SetSize(int Value) {
  Update(fSize, Value, [this] { Changed(); });
}
void TFont::SetStyle(TFontStyles Value) {
  Update(fStyle, Value, [this] { Changed(); });
}

void TFont::Assign(const TFont& Source) {
  if (&Source == this) return;
  const bool Differs = fColor != Source.fColor || fName != Source.fName ||
                       fPitch != Source.fPitch || fSize != Source.fSize || fStyle != Source.fStyle;
  fColor = Source.fColor;
  fName = Source.fName;
  fPitch = Source.fPitch;
  fSize = Source.fSize;
  fStyle = Source.fStyle;
  if (Differs) Changed();
}

QFont TFont::ToQFont() const {
  QFont F(fName);
  F.setPointSize(fSize > 0 ? fSize : 1);
  F.setBold((fStyle & fsBold) != 0);
  F.setItalic((fStyle & fsItalic) != 0);
  F.setUnderline((fStyle & fsUnderline) != 0);
  F.setStrikeOut((fStyle & fsStrikeOut) != 0);
  if (fPitch != fpDefault) F.setFixedPitch(fPitch == fpFixed);
  return F;
}

// --- TLabelSet ----------------------------------------------------------------------------

TLabelSet::TLabelSet() {
  fFont.OnChange = [this] { Changed(); };
}

void TLabelSet::Changed() {
  if (OnChange) OnChange();
}

void TLabelSet::SetLabelSetID(int Value) {
  Update(fLabelSetID, Value, [this] { Changed(); });
}

void TLabelSet::SetInterval(int Value) {
  DC_ASSERT(Value >= 0, "Error in call to TLabelSet.SetInterval: Interval must be zero or greater");
  Update(fInterval, Value, [this] { Changed(); });
}

void TLabelSet::SetRadius(TRelativeRadius Value) {
  Update(fRadius, Value, [this] { Changed(); });
}
void TLabelSet::SetStartValue(int Value) {
  Update(fStartValue, Value, [this] { Changed(); });
}

// --- TRange -------------------------------------------------------------------------------

void TRange::Changed() {
  if (OnChange) OnChange();
}

void TRange::SetBorderColor(TColor Value) {
  Update(fBorderColor, Value, [this] { Changed(); });
}
void TRange::SetColor(TColor Value) {
  Update(fColor, Value, [this] { Changed(); });
}
void TRange::SetEndValue(int Value) {
  Update(fEndValue, Value, [this] { Changed(); });
}
void TRange::SetRangeID(int Value) {
  Update(fRangeID, Value, [this] { Changed(); });
}
void TRange::SetRadius(TRelativeRadius Value) {
  Update(fRadius, Value, [this] { Changed(); });
}
void TRange::SetStartValue(int Value) {
  Update(fStartValue, Value, [this] { Changed(); });
}
void TRange::SetThickness(TRelativeRadius Value) {
  Update(fThickness, Value, [this] { Changed(); });
}

void TRange::SetCachedPolygon(std::unique_ptr<QPoint[]> Points, int Count) {
  fCachedPoints = std::move(Points);
  fCachedCount = Count;
}

void TRange::FreeCachedPolygon() {
  fCachedPoints.reset();
  fCachedCount = 0;
}

// --- TTickSet -----------------------------------------------------------------------------

void TTickSet::Changed() {
  if (OnChange) OnChange();
}

void TTickSet::SetColor(TColor Value) {
  Update(fColor, Value, [this] { Changed(); });
}
void TTickSet::SetTickSetID(int Value) {
  Update(fTickSetID, Value, [this] { Changed(); });
}

void TTickSet::SetInterval(int Value) {
  DC_ASSERT(Value >= 0, "Error in call to TTickSet.SetInterval: Interval must be zero or greater");
  Update(fInterval, Value, [this] { Changed(); });
}

void TTickSet::SetRadius(TRelativeRadius Value) {
  Update(fRadius, Value, [this] { Changed(); });
}
void TTickSet::SetLength(TRelativeRadius Value) {
  Update(fLength, Value, [this] { Changed(); });
}
void TTickSet::SetStartValue(int Value) {
  Update(fStartValue, Value, [this] { Changed(); });
}
void TTickSet::SetTickStyle(TTickStyle Value) {
  Update(fTickStyle, Value, [this] { Changed(); });
}

// --- copying ------------------------------------------------------------------------------

void CopyFields(TLabelSet& Dest, const TLabelSet& Source) {
  Dest.SetFont(Source.Font());
  Dest.SetLabelSetID(Source.LabelSetID());
  Dest.SetInterval(Source.Interval());
  Dest.SetRadius(Source.Radius());
  Dest.SetStartValue(Source.StartValue());
  Dest.OnChange = Source.OnChange;
}

void CopyFields(TRange& Dest, const TRange& Source) {
  Dest.SetBorderColor(Source.BorderColor());
  Dest.SetColor(Source.Color());
  Dest.SetEndValue(Source.EndValue());
  Dest.SetRangeID(Source.RangeID());
  Dest.SetRadius(Source.Radius());
  Dest.SetStartValue(Source.StartValue());
  Dest.SetThickness(Source.Thickness());
}

void CopyFields(TTickSet& Dest, const TTickSet& Source) {
  Dest.SetColor(Source.Color());
  Dest.SetTickSetID(Source.TickSetID());
  Dest.SetInterval(Source.Interval());
  Dest.SetRadius(Source.Radius());
  Dest.SetLength(Source.Length());
  Dest.SetStartValue(Source.StartValue());
  Dest.SetTickStyle(Source.TickStyle());
}

// --- TDCList ------------------------------------------------------------------------------

void TDCList::Assign(const TDCList* Source) {
  if (Source != nullptr && typeid(*Source) == typeid(*this)) {
    // Assigning a list to itself must keep its items, not clear them first.
    if (Source == this) return;
    ClearItems();
    AddFromList(*Source);
    return;
  }
  throw EConvertError(std::string("Cannot assign a ") +
                      (Source != nullptr ? Source->ClassName() : "nil") + " to a " + ClassName());
}

void TDCList::WriteData(TDCWriter& Writer) const {
  Writer.WriteInteger(kListFormat);
  Writer.WriteListBegin();
  WriteItems(Writer);
  Writer.WriteListEnd();
}

void TDCList::ReadData(TDCReader& Reader) {
  Reader.ReadInteger();  // format number
  Reader.ReadListBegin();
  ClearItems();
  while (!Reader.EndOfList()) ReadItem(Reader);
  Reader.ReadListEnd();
}

void TDCLabelSetList::WriteItems(TDCWriter& Writer) const {
  for (int i = 0; i < Count(); ++i) {
    const TLabelSet& L = *Items(i);
    Writer.WriteInteger(L.Font().Color());
    Writer.WriteString(L.Font().Name());
    Writer.WriteInteger(L.Font().Pitch());
    Writer.WriteInteger(L.Font().Size());
    Writer.WriteRawByte(L.Font().Style());
    Writer.WriteInteger(L.LabelSetID());
    Writer.WriteInteger(L.Interval());
    Writer.WriteInteger(L.Radius());
    Writer.WriteInteger(L.StartValue());
  }
}

void TDCLabelSetList::ReadItem(TDCReader& Reader) {
  TLabelSet L;
  L.Font().SetColor(Reader.ReadInteger());
  L.Font().SetName(Reader.ReadString());
  const int Pitch = Reader.ReadInteger();
  if (Pitch < fpDefault || Pitch > fpFixed) throw EReadError("Invalid property value");
  L.Font().SetPitch(static_cast<TFontPitch>(Pitch));
  L.Font().SetSize(Reader.ReadInteger());
  L.Font().SetStyle(Reader.ReadRawByte());
  L.SetLabelSetID(Reader.ReadInteger());
  L.SetInterval(Reader.ReadInteger());
  L.SetRadius(ReadRelativeRadius(Reader));
  L.SetStartValue(Reader.ReadInteger());
  Add(L);
}

void TDCRangeList::WriteItems(TDCWriter& Writer) const {
  for (int i = 0; i < Count(); ++i) {
    const TRange& R = *Items(i);
    Writer.WriteInteger(R.BorderColor());
    Writer.WriteInteger(R.Color());
    Writer.WriteInteger(R.EndValue());
    Writer.WriteInteger(R.RangeID());
    Writer.WriteInteger(R.Radius());
    Writer.WriteInteger(R.StartValue());
    Writer.WriteInteger(R.Thickness());
  }
}

void TDCRangeList::ReadItem(TDCReader& Reader) {
  TRange R;
  R.SetBorderColor(Reader.ReadInteger());
  R.SetColor(Reader.ReadInteger());
  R.SetEndValue(Reader.ReadInteger());
  R.SetRangeID(Reader.ReadInteger());
  R.SetRadius(ReadRelativeRadius(Reader));
  R.SetStartValue(Reader.ReadInteger());
  R.SetThickness(ReadRelativeRadius(Reader));
  Add(R);
}

void TDCTickSetList::WriteItems(TDCWriter& Writer) const {
  for (int i = 0; i < Count(); ++i) {
    const TTickSet& T = *Items(i);
    Writer.WriteInteger(T.Color());
    Writer.WriteInteger(T.TickSetID());
    Writer.WriteInteger(T.Interval());
    Writer.WriteInteger(T.Radius());
    Writer.WriteInteger(T.Length());
    Writer.WriteInteger(T.StartValue());
    Writer.WriteInteger(T.TickStyle());
  }
}

void TDCTickSetList::ReadItem(TDCReader& Reader) {
  TTickSet T;
  T.SetColor(Reader.ReadInteger());
  T.SetTickSetID(Reader.ReadInteger());
  T.SetInterval(Reader.ReadInteger());
  T.SetRadius(ReadRelativeRadius(Reader));
  T.SetLength(ReadRelativeRadius(Reader));
  T.SetStartValue(Reader.ReadInteger());
  const int Style = Reader.ReadInteger();
  if (Style < tsUserDrawn || Style > tsLowered) throw EReadError("Invalid property value");
  T.SetTickStyle(static_cast<TTickStyle>(Style));
  Add(T);
}

}  // namespace vemo
