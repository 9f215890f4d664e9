// SPDX-License-Identifier: GPL-3.0-or-later
// Ownership, notifications, assignment and streaming of the dial's element lists.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "ui/meter/DCAssert.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/DCLists.h"

namespace vemo {
namespace {

void SetRange(TRange& R, int Start, int End, TColor Color) {
  R.SetStartValue(Start);
  R.SetEndValue(End);
  R.SetColor(Color);
}

void AddRange(TDCRangeList& List, int Start, int End, TColor Color) {
  TRange R;
  SetRange(R, Start, End, Color);
  List.Add(R);
}

TEST(DCLists, AddKeepsACopyAndLeavesTheCallersItemSeparate) {
  TDCRangeList List;
  TRange Mine;
  SetRange(Mine, 10, 20, clBlack);
  List.Add(Mine);
  ASSERT_EQ(List.Count(), 1);
  EXPECT_NE(List.Items(0), &Mine);
  EXPECT_EQ(List.IndexOf(&Mine), -1);
  EXPECT_EQ(List.IndexOf(List.Items(0)), 0);
  Mine.SetEndValue(99);
  EXPECT_EQ(List.Items(0)->EndValue(), 20);
  EXPECT_EQ(List.Items(0)->StartValue(), 10);
  EXPECT_EQ(List.Items(0)->Color(), clBlack);
}

TEST(DCLists, AddingALabelSetCopiesItsFontAndItsNotification) {
  TDCLabelSetList List;
  TLabelSet Mine;
  int Calls = 0;
  Mine.OnChange = [&] { ++Calls; };
  Mine.Font().SetName("Serif");
  Mine.Font().SetSize(14);
  Mine.Font().SetStyle(fsBold | fsItalic);
  Calls = 0;
  List.Add(Mine);
  EXPECT_EQ(List.Items(0)->Font().Name(), "Serif");
  EXPECT_EQ(List.Items(0)->Font().Size(), 14);
  EXPECT_EQ(List.Items(0)->Font().Style(), fsBold | fsItalic);
  List.Items(0)->Font().SetColor(clRed);  // a font change is a change of its label set
  EXPECT_EQ(Calls, 1);
  EXPECT_EQ(Mine.Font().Color(), clWindowText);
}

TEST(DCLists, EveryStructuralChangeNotifiesOnceAndOutOfRangeIndicesFail) {
  TDCTickSetList List;
  int Calls = 0;
  List.OnChange = [&](TDCList* Sender) {
    EXPECT_EQ(Sender, &List);
    ++Calls;
  };
  List.Add(TTickSet());
  List.Add(TTickSet());
  List.Add(TTickSet());
  EXPECT_EQ(Calls, 3);
  List.Delete(1);
  EXPECT_EQ(Calls, 4);
  EXPECT_EQ(List.Count(), 2);
  EXPECT_THROW(List.Delete(2), EListError);
  EXPECT_THROW(List.Items(-1), EListError);
  try {
    List.Items(5);
  } catch (const EListError& Failure) {
    EXPECT_STREQ(Failure.what(), "List index out of bounds (5)");
  }
  List.Clear();
  EXPECT_EQ(Calls, 5);
  EXPECT_EQ(List.Count(), 0);
}

TEST(DCLists, AssignReplacesFromTheSameClassKeepsItselfAndRefusesOthers) {
  TDCRangeList Source;
  AddRange(Source, 1, 2, clBlack);
  AddRange(Source, 3, 4, clRed);
  TDCRangeList Target;
  AddRange(Target, 7, 8, clWhite);
  Target.Assign(&Source);
  ASSERT_EQ(Target.Count(), 2);
  EXPECT_EQ(Target.Items(1)->EndValue(), 4);
  EXPECT_NE(Target.Items(0), Source.Items(0));

  Target.Assign(&Target);
  EXPECT_EQ(Target.Count(), 2);

  Target.AddFrom(Target);
  EXPECT_EQ(Target.Count(), 4);

  TDCLabelSetList Labels;
  try {
    Labels.Assign(&Source);
    ADD_FAILURE();
  } catch (const EConvertError& Failure) {
    EXPECT_STREQ(Failure.what(), "Cannot assign a TDCRangeList to a TDCLabelSetList");
  }
  try {
    Labels.Assign(nullptr);
    ADD_FAILURE();
  } catch (const EConvertError& Failure) {
    EXPECT_STREQ(Failure.what(), "Cannot assign a nil to a TDCLabelSetList");
  }
}

TEST(DCLists, NegativeIntervalsAreRefused) {
  TLabelSet L;
  TTickSet T;
  EXPECT_THROW(L.SetInterval(-1), EAssertionFailed);
  EXPECT_THROW(T.SetInterval(-5), EAssertionFailed);
  EXPECT_EQ(L.Interval(), 20);
  EXPECT_EQ(T.Interval(), 20);
  try {
    T.SetInterval(-1);
  } catch (const EAssertionFailed& Failure) {
    EXPECT_EQ(std::string(Failure.what())
                  .rfind("Error in call to TTickSet.SetInterval: Interval must be zero or greater "
                         "(DCDial, line ",
                         0),
              0u);
  }
  L.SetInterval(0);
  EXPECT_EQ(L.Interval(), 0);
}

TEST(DCLists, StreamedRangesCarryFormatMarkersAndFieldsInOrder) {
  TDCRangeList List;
  TRange R;
  SetRange(R, -5, 70000, clRed);
  R.SetBorderColor(0x123456);
  R.SetRangeID(7);
  R.SetRadius(-90);
  R.SetThickness(5);
  List.Add(R);
  TDCWriter Writer;
  List.WriteData(Writer);

  TDCReader Reader(Writer.Data());
  EXPECT_EQ(Reader.ReadInteger(), 200);
  Reader.ReadListBegin();
  for (int Field : {0x123456, int(clRed), 70000, 7, -90, -5, 5})
    EXPECT_EQ(Reader.ReadInteger(), Field);
  EXPECT_TRUE(Reader.EndOfList());
  Reader.ReadListEnd();
  EXPECT_TRUE(Reader.AtEnd());
}

TEST(DCLists, LabelSetFontStyleIsOneUntaggedByteAfterTheSize) {
  TDCLabelSetList List;
  TLabelSet L;
  L.Font().SetStyle(fsUnderline);
  L.Font().SetPitch(fpFixed);
  L.SetLabelSetID(3);
  List.Add(L);
  TDCWriter Writer;
  List.WriteData(Writer);

  TDCReader Reader(Writer.Data());
  Reader.ReadInteger();
  Reader.ReadListBegin();
  EXPECT_EQ(Reader.ReadInteger(), clWindowText);
  EXPECT_EQ(Reader.ReadString(), "Liberation Sans Narrow");
  EXPECT_EQ(Reader.ReadInteger(), fpFixed);
  EXPECT_EQ(Reader.ReadInteger(), 6);
  EXPECT_EQ(Reader.ReadRawByte(), fsUnderline);
  for (int Field : {3, 20, -70, 0}) EXPECT_EQ(Reader.ReadInteger(), Field);
  Reader.ReadListEnd();
}

TEST(DCLists, ReadingReplacesTheContentsWithEqualItems) {
  TDCTickSetList Source;
  TTickSet T;
  T.SetColor(0x00FF00);
  T.SetTickSetID(-2);
  T.SetInterval(1250);
  T.SetRadius(-80);
  T.SetLength(5);
  T.SetStartValue(100000);
  T.SetTickStyle(tsLowered);
  Source.Add(T);
  Source.Add(TTickSet());
  TDCWriter Writer;
  Source.WriteData(Writer);

  TDCTickSetList Target;
  for (int i = 0; i < 3; ++i) Target.Add(TTickSet());
  TDCReader Reader(Writer.Data());
  Target.ReadData(Reader);
  ASSERT_EQ(Target.Count(), 2);
  const TTickSet& Back = *Target.Items(0);
  EXPECT_EQ(Back.Color(), 0x00FF00);
  EXPECT_EQ(Back.TickSetID(), -2);
  EXPECT_EQ(Back.Interval(), 1250);
  EXPECT_EQ(Back.Radius(), -80);
  EXPECT_EQ(Back.Length(), 5);
  EXPECT_EQ(Back.StartValue(), 100000);
  EXPECT_EQ(Back.TickStyle(), tsLowered);
  EXPECT_EQ(Target.Items(1)->TickStyle(), tsLine);

  TDCLabelSetList Labels;
  TLabelSet L;
  L.Font().SetName(QString::fromUtf8("Schrift \xC3\xA4"));
  L.Font().SetColor(0x0000FF);
  L.SetStartValue(-40);
  Labels.Add(L);
  TDCWriter LabelWriter;
  Labels.WriteData(LabelWriter);
  TDCLabelSetList LabelsBack;
  TDCReader LabelReader(LabelWriter.Data());
  LabelsBack.ReadData(LabelReader);
  EXPECT_EQ(LabelsBack.Items(0)->Font().Name(), L.Font().Name());
  EXPECT_EQ(LabelsBack.Items(0)->Font().Color(), 0x0000FF);
  EXPECT_EQ(LabelsBack.Items(0)->StartValue(), -40);
}

TEST(DCLists, DamagedStreamsFailToRead) {
  TDCRangeList Source;
  AddRange(Source, 0, 10, clRed);
  TDCWriter Writer;
  Source.WriteData(Writer);
  const QByteArray Whole = Writer.Data();

  TDCRangeList Target;
  TDCReader Truncated(Whole.left(Whole.size() - 3));
  EXPECT_THROW(Target.ReadData(Truncated), EReadError);

  QByteArray WrongTag = Whole;
  WrongTag[3] = char(TValueType::vaString);  // the list start marker, after the 16-bit 200
  TDCReader Wrong(WrongTag);
  EXPECT_THROW(Target.ReadData(Wrong), EReadError);
}

TEST(DCLists, DialStoresOnlyNonEmptyListsUnderTheirNames) {
  TDCDial Empty;
  TDCWriter EmptyWriter;
  Empty.WriteElements(EmptyWriter);
  EXPECT_EQ(EmptyWriter.Data(), QByteArray(1, char(TValueType::vaNull)));

  TDCDial Dial;
  AddRange(Dial.Ranges(), 0, 50, clBlack);
  Dial.TickSets().Add(TTickSet());
  TDCWriter Writer;
  Dial.WriteElements(Writer);
  TDCReader Names(Writer.Data());
  EXPECT_EQ(Names.ReadPropName(), "Ranges");

  TDCDial Copy;
  Copy.LabelSets().Add(TLabelSet());
  AddRange(Copy.Ranges(), 1, 2, clRed);
  AddRange(Copy.Ranges(), 3, 4, clRed);
  TDCReader Reader(Writer.Data());
  Copy.ReadElements(Reader);
  EXPECT_EQ(Copy.Ranges().Count(), 1);
  EXPECT_EQ(Copy.Ranges().Items(0)->EndValue(), 50);
  EXPECT_EQ(Copy.TickSets().Count(), 1);
  EXPECT_EQ(Copy.LabelSets().Count(), 1);  // not in the stream: left as it was

  TDCWriter Unknown;
  Unknown.WritePropName("Needles");
  Unknown.WriteInteger(200);
  TDCReader UnknownReader(Unknown.Data());
  EXPECT_THROW(Copy.ReadElements(UnknownReader), EReadError);
}

// A copy keeps the handler of the dial's item. Once the dial is gone and its memory reused, a
// change to the copy must not call into it. Run in a child, since the fault is a crash.
TEST(DCListsDeathTest, LabelSetsCopiedOutOfADialStayUsableAfterTheDialIsGone) {
  EXPECT_EXIT(
      {
        alignas(TDCDial) std::byte Storage[sizeof(TDCDial)];
        TDCLabelSetList Copy;
        auto* Dial = new (Storage) TDCDial;
        Dial->LabelSets().Add(TLabelSet());
        Copy.Assign(&Dial->LabelSets());
        Dial->~TDCDial();
        std::memset(Storage, 0, sizeof Storage);
        Copy.Items(0)->SetInterval(5);
        Copy.Items(0)->Font().SetSize(12);
        std::exit(Copy.Items(0)->Interval() == 5 ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace vemo
