// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dial's scale elements (label sets, coloured ranges, tick sets) and the three owned,
// ordered lists that hold them. Every element is placed in position units, so one list
// serves any scale. Each item reports changes through OnChange; each list reports added,
// deleted and cleared items through its own OnChange.

#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Exception.h"
#include "ui/meter/DCStream.h"
#include "ui/meter/DCTypes.h"

namespace vemo {

// An index outside a list.
class EListError : public Exception {
 public:
  using Exception::Exception;
};

using TItemNotify = std::function<void()>;

// The font of a label set, with the colour its text is drawn in.
class TFont {
 public:
  TColor Color() const { return fColor; }
  QString Name() const { return fName; }
  TFontPitch Pitch() const { return fPitch; }
  int Size() const { return fSize; }  // points
  TFontStyles Style() const { return fStyle; }
  void SetColor(TColor Value);
  void SetName(const QString& Value);
  void SetPitch(TFontPitch Value);
  void SetSize(int Value);
  void SetStyle(TFontStyles Value);
  // Copies every attribute; one change notification when anything differed.
  void Assign(const TFont& Source);
  QFont ToQFont() const;

  TItemNotify OnChange;

 private:
  void Changed();

  TColor fColor = clWindowText;
  // Narrow and small: on a gauge as small as the program's meter, four-digit labels centred
  // at 70 % of the radius must stay clear of ticks that start at 80 %.
  QString fName = QStringLiteral("Liberation Sans Narrow");
  TFontPitch fPitch = fpDefault;
  int fSize = 6;
  TFontStyles fStyle = 0;
};

// Numbers along the scale, every Interval positions from StartValue, centred on a circle.
class TLabelSet {
 public:
  TLabelSet();
  TLabelSet(const TLabelSet&) = delete;
  TLabelSet& operator=(const TLabelSet&) = delete;
  virtual ~TLabelSet() = default;

  TFont& Font() { return fFont; }
  const TFont& Font() const { return fFont; }
  void SetFont(const TFont& Value) { fFont.Assign(Value); }
  int LabelSetID() const { return fLabelSetID; }
  int Interval() const { return fInterval; }
  TRelativeRadius Radius() const { return fRadius; }
  int StartValue() const { return fStartValue; }
  void SetLabelSetID(int Value);
  // Interval must be 0 or greater; 0 draws one label.
  void SetInterval(int Value);
  void SetRadius(TRelativeRadius Value);
  void SetStartValue(int Value);

  TItemNotify OnChange;

 protected:
  virtual void Changed();

 private:
  TFont fFont;
  int fLabelSetID = 0;
  int fInterval = 20;
  TRelativeRadius fRadius = -70;
  int fStartValue = 0;
};

// A coloured band between StartValue and EndValue, from Radius outward by Thickness.
class TRange {
 public:
  TRange() = default;
  TRange(const TRange&) = delete;
  TRange& operator=(const TRange&) = delete;
  virtual ~TRange() = default;

  TColor BorderColor() const { return fBorderColor; }
  TColor Color() const { return fColor; }
  int EndValue() const { return fEndValue; }
  int RangeID() const { return fRangeID; }
  TRelativeRadius Radius() const { return fRadius; }
  int StartValue() const { return fStartValue; }
  TRelativeRadius Thickness() const { return fThickness; }
  void SetBorderColor(TColor Value);
  void SetColor(TColor Value);
  void SetEndValue(int Value);
  void SetRangeID(int Value);
  void SetRadius(TRelativeRadius Value);
  void SetStartValue(int Value);
  void SetThickness(TRelativeRadius Value);

  // The polygon last built for this range, kept between paints while the dial caches
  // ranges. A held array always has a count; the dial checks that when it resets caches.
  bool HasCachedPolygon() const { return fCachedPoints != nullptr; }
  const QPoint* CachedPoints() const { return fCachedPoints.get(); }
  int CachedCount() const { return fCachedCount; }
  void SetCachedPolygon(std::unique_ptr<QPoint[]> Points, int Count);
  void FreeCachedPolygon();

  TItemNotify OnChange;

 protected:
  virtual void Changed();

 private:
  TColor fBorderColor = clBlack;
  TColor fColor = clRed;
  int fEndValue = 100;
  int fRangeID = 0;
  TRelativeRadius fRadius = -100;
  int fStartValue = 0;
  TRelativeRadius fThickness = -10;
  std::unique_ptr<QPoint[]> fCachedPoints;
  int fCachedCount = 0;
};

// Tick marks every Interval positions from StartValue, from Radius outward by Length.
class TTickSet {
 public:
  TTickSet() = default;
  TTickSet(const TTickSet&) = delete;
  TTickSet& operator=(const TTickSet&) = delete;
  virtual ~TTickSet() = default;

  TColor Color() const { return fColor; }
  int TickSetID() const { return fTickSetID; }
  int Interval() const { return fInterval; }
  TRelativeRadius Radius() const { return fRadius; }
  TRelativeRadius Length() const { return fLength; }
  int StartValue() const { return fStartValue; }
  TTickStyle TickStyle() const { return fTickStyle; }
  void SetColor(TColor Value);
  void SetTickSetID(int Value);
  // Interval must be 0 or greater; 0 draws one tick.
  void SetInterval(int Value);
  void SetRadius(TRelativeRadius Value);
  void SetLength(TRelativeRadius Value);
  void SetStartValue(int Value);
  void SetTickStyle(TTickStyle Value);

  TItemNotify OnChange;

 protected:
  virtual void Changed();

 private:
  TColor fColor = clBlack;
  int fTickSetID = 0;
  int fInterval = 20;
  TRelativeRadius fRadius = -100;
  TRelativeRadius fLength = -10;
  int fStartValue = 0;
  TTickStyle fTickStyle = tsLine;
};

// What the three lists share: the change notification, assignment and streaming.
class TDCList {
 public:
  TDCList() = default;
  TDCList(const TDCList&) = delete;
  TDCList& operator=(const TDCList&) = delete;
  virtual ~TDCList() = default;

  virtual int Count() const = 0;
  virtual const char* ClassName() const = 0;
  // The name of the list's stored property ("LabelSets", "Ranges", "TickSets").
  virtual const char* PropertyName() const = 0;

  // From a list of the same class: replace the items by copies of Source's. Any other
  // source (or none) fails with "Cannot assign a <source> to a <this>".
  void Assign(const TDCList* Source);

  // The stored value: format number, list start, the fields of every item, list end.
  void WriteData(TDCWriter& Writer) const;
  // Replaces the items by those read; the format number is read and ignored.
  void ReadData(TDCReader& Reader);

  std::function<void(TDCList*)> OnChange;

 protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  virtual void ClearItems() = 0;
  virtual void AddFromList(const TDCList& Source) = 0;
  virtual void WriteItems(TDCWriter& Writer) const = 0;
  virtual void ReadItem(TDCReader& Reader) = 0;
};

// The format number written ahead of every list.
inline constexpr int kListFormat = 200;

template <class TItem>
class TDCItemList : public TDCList {
 public:
  int Count() const override { return static_cast<int>(fItems.size()); }
  // The item at Index (0-based), owned by the list.
  TItem* Items(int Index) const {
    CheckIndex(Index);
    return fItems[static_cast<std::size_t>(Index)].get();
  }
  // Appends a copy of Item; the caller keeps Item.
  void Add(const TItem& Item) {
    auto Copy = std::make_unique<TItem>();
    CopyFields(*Copy, Item);
    fItems.push_back(std::move(Copy));
    Changed();
  }
  void AddFrom(const TDCItemList& List) {
    // Counted first, so adding a list to itself doubles it once.
    const int N = List.Count();
    for (int i = 0; i < N; ++i) Add(*List.Items(i));
  }
  void Clear() {
    fItems.clear();
    Changed();
  }
  void Delete(int Index) {
    CheckIndex(Index);
    fItems.erase(fItems.begin() + Index);
    Changed();
  }
  int IndexOf(const TItem* Item) const {
    for (std::size_t i = 0; i < fItems.size(); ++i)
      if (fItems[i].get() == Item) return static_cast<int>(i);
    return -1;
  }

 protected:
  void ClearItems() override { Clear(); }
  void AddFromList(const TDCList& Source) override {
    AddFrom(static_cast<const TDCItemList&>(Source));
  }

 private:
  void CheckIndex(int Index) const {
    if (Index < 0 || Index >= Count())
      throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  }

  std::vector<std::unique_ptr<TItem>> fItems;
};

void CopyFields(TLabelSet& Dest, const TLabelSet& Source);
void CopyFields(TRange& Dest, const TRange& Source);
void CopyFields(TTickSet& Dest, const TTickSet& Source);

class TDCLabelSetList final : public TDCItemList<TLabelSet> {
 public:
  const char* ClassName() const override { return "TDCLabelSetList"; }
  const char* PropertyName() const override { return "LabelSets"; }

 protected:
  void WriteItems(TDCWriter& Writer) const override;
  void ReadItem(TDCReader& Reader) override;
};

class TDCRangeList final : public TDCItemList<TRange> {
 public:
  const char* ClassName() const override { return "TDCRangeList"; }
  const char* PropertyName() const override { return "Ranges"; }

 protected:
  void WriteItems(TDCWriter& Writer) const override;
  void ReadItem(TDCReader& Reader) override;
};

class TDCTickSetList final : public TDCItemList<TTickSet> {
 public:
  const char* ClassName() const override { return "TDCTickSetList"; }
  const char* PropertyName() const override { return "TickSets"; }

 protected:
  void WriteItems(TDCWriter& Writer) const override;
  void ReadItem(TDCReader& Reader) override;
};

}  // namespace vemo
