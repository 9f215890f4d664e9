// SPDX-License-Identifier: GPL-3.0-or-later
// The receive buffer, dates, number conversion and the model support table.
#include "monitor/Buffer.h"
#include "monitor/DateTime.h"
#include "monitor/ModelSupport.h"
#include "monitor/NumConvert.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vemo {
namespace {

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no exception)";
}

// --- TBuffer ---------------------------------------------------------------------------

TEST(ReceiveBuffer, HoldsBytesInArrivalOrderAndRefusesThe4097th) {
  TBuffer buffer;
  for (int i = 0; i < 4096; ++i) buffer.Put(static_cast<uint8_t>(i));
  EXPECT_EQ(buffer.Count(), 4096);
  EXPECT_EQ(MessageOf([&] { buffer.Put(0xAA); }), "Buffer is full.");
  EXPECT_EQ(buffer.Count(), 4096);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(buffer.Get(), static_cast<uint8_t>(i)) << i;
  EXPECT_EQ(MessageOf([&] { buffer.Get(); }), "Buffer is empty.");
}

TEST(ReceiveBuffer, WrapsItsIndicesAtTheEndOfTheRing) {
  TBuffer buffer;
  for (int i = 0; i < 4095; ++i) buffer.Put(1);
  for (int i = 0; i < 4095; ++i) buffer.Get();
  EXPECT_EQ(buffer.Head(), 4095);
  buffer.Put(7);
  EXPECT_EQ(buffer.Head(), 0);
  buffer.Put(8);
  EXPECT_EQ(buffer.Head(), 1);
  EXPECT_EQ(buffer.Get(), 7);
  EXPECT_EQ(buffer.Get(), 8);
  EXPECT_EQ(buffer.Tail(), 1);
}

TEST(ReceiveBuffer, ClearDropsEverythingAndAnnouncesEveryPut) {
  TBuffer buffer;
  int appended = 0;
  QObject::connect(&buffer, &TBuffer::Appended, &buffer, [&] { ++appended; });
  buffer.Put(1);
  buffer.Put(2);
  EXPECT_EQ(appended, 2);
  buffer.Clear();
  EXPECT_EQ(buffer.Count(), 0);
  EXPECT_EQ(MessageOf([&] { buffer.Get(); }), "Buffer is empty.");
  buffer.Put(3);
  EXPECT_EQ(buffer.Get(), 3);
}

// --- Dates -----------------------------------------------------------------------------

TEST(Dates, DayNumbersCountFrom30December1899) {
  struct Row {
    int y, m, d;
    double day;
  };
  const Row rows[] = {{1899, 12, 30, 0},     {1899, 12, 31, 1},    {1899, 12, 29, -1},
                      {1900, 3, 1, 61},      {1980, 1, 1, 29221},  {2000, 7, 24, 36731},
                      {2000, 10, 19, 36818}, {2002, 5, 14, 37390}, {2003, 10, 20, 37914},
                      {2003, 11, 20, 37945}, {2010, 1, 8, 40186},  {2080, 2, 29, 65805}};
  for (const Row& r : rows) {
    EXPECT_EQ(EncodeDate(r.y, r.m, r.d), r.day) << r.y << "-" << r.m << "-" << r.d;
    int y = 0, m = 0, d = 0;
    DecodeDate(r.day, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, r.y * 10000 + r.m * 100 + r.d) << r.day;
  }
}

TEST(Dates, EveryDayOfTwoCenturiesRoundTrips) {
  for (double day = -1000; day < 75000; ++day) {
    int y = 0, m = 0, d = 0;
    DecodeDate(day, y, m, d);
    ASSERT_EQ(EncodeDate(y, m, d), day);
  }
}

TEST(Dates, TextsAreReadMonthFirstAndCheckedForExistence) {
  EXPECT_EQ(StrToDate("03/15/2010"), EncodeDate(2010, 3, 15));
  EXPECT_EQ(StrToDate("3/5/1999"), EncodeDate(1999, 3, 5));
  EXPECT_EQ(StrToDate(" 2/29/2000 "), EncodeDate(2000, 2, 29));
  for (const char* bad : {"13/01/2010", "02/29/2001", "00/10/2010", "12/32/2010", "1/2", "",
                          "1-2-2010", "1/2/2010x", "a1/2/2010"})
    EXPECT_EQ(MessageOf([&] { StrToDate(bad); }), "'" + std::string(bad) + "' is not a valid date");
  EXPECT_THROW(EncodeDate(2001, 2, 29), EConvertError);
  EXPECT_EQ(DateToStr(EncodeDate(2010, 3, 5)), "3/5/2010");
  EXPECT_EQ(DateToIso(EncodeDate(2010, 3, 5)), "2010-03-05");
  EXPECT_EQ(DateToIso(0), "1899-12-30");
}

// --- Numbers ---------------------------------------------------------------------------

TEST(NumberConversion, IntegersAcceptBlanksSignAndHexadecimal) {
  const std::pair<const char*, int32_t> good[] = {{"0", 0},
                                                  {"35389", 35389},
                                                  {"  2621", 2621},
                                                  {"-12", -12},
                                                  {"+7", 7},
                                                  {"$00A9", 0xA9},
                                                  {"$ffff", 0xFFFF},
                                                  {"2147483647", 2147483647},
                                                  {"-2147483648", -2147483647 - 1},
                                                  {"$FFFFFFFF", -1},
                                                  {"-$10", -16}};
  for (const auto& [text, value] : good) EXPECT_EQ(StrToInt(text), value) << text;
  for (const char* bad :
       {"", " ", "12 ", "1.5", "$", "$G1", "--1", "2147483648", "0x10", "A", "\r\n"})
    EXPECT_EQ(MessageOf([&] { StrToInt(bad); }),
              "'" + std::string(bad) + "' is not a valid integer value")
        << bad;
}

TEST(NumberConversion, RealsAcceptBlanksPointAndExponent) {
  const std::pair<const char*, double> good[] = {
      {"100.0", 100.0}, {" 12.5", 12.5}, {"12.5 ", 12.5}, {"  0.1", 0.1},   {"-3", -3},
      {"+.5", 0.5},     {"5.", 5.0},     {"1E3", 1000},   {"2.5e-2", 0.025}};
  for (const auto& [text, value] : good) EXPECT_DOUBLE_EQ(StrToFloat(text), value) << text;
  for (const char* bad :
       {"", "-----", " . ", "1,5", "1E", "1e+", "12a", "inf", "nan", "1E999", "- 1"})
    EXPECT_EQ(MessageOf([&] { StrToFloat(bad); }),
              "'" + std::string(bad) + "' is not a valid floating point value")
        << bad;
}

// --- Model support ---------------------------------------------------------------------

TEST(ModelSupport, CommandsFollowModelAndFirmwareDate) {
  using F = MonitorFeature;
  struct Row {
    const char* model;
    TDateTime date;
    F feature;
    bool supported;
  };
  const TDateTime old = EncodeDate(1999, 1, 1);
  const TDateTime recent = EncodeDate(2012, 6, 1);
  const Row rows[] = {
      // Commands every monitor has, identified or not.
      {"", 0, F::AlarmReset, true},
      {"XYZ", old, F::VSWRLevel, true},
      {"KRFMON01", old, F::CheckOnZeroPower, true},
      {"TQAMO001", old, F::DACGains, true},
      // Status word.
      {"KRFMON01", recent, F::StatusWord, false},
      {"KRFMON02", recent, F::StatusWord, false},
      {"KRFMON03", old, F::StatusWord, true},
      {"KRFMON04", old, F::StatusWord, true},
      {"VPMon002", EncodeDate(2000, 7, 24), F::StatusWord, false},
      {"VPMon002", EncodeDate(2000, 7, 25), F::StatusWord, true},
      {"KRFMO999", recent, F::StatusWord, false},
      // Second relay.
      {"KRFMON04", old, F::SecondRelay, true},
      {"KRFMON03", recent, F::SecondRelay, false},
      {"VPMon002", recent, F::SecondRelay, false},
      // Latch.
      {"KRFMON03", old, F::LatchAlarm, true},
      {"VPMon002", EncodeDate(2003, 10, 19), F::LatchAlarm, false},
      {"VPMon002", EncodeDate(2003, 10, 20), F::LatchAlarm, true},
      {"KRFMON02", recent, F::LatchAlarm, false},
      // Alarm at power-up.
      {"KRFMON03", EncodeDate(2003, 11, 19), F::AlarmAtPowerUp, false},
      {"KRFMON03", EncodeDate(2003, 11, 20), F::AlarmAtPowerUp, true},
      {"KRFMON04", EncodeDate(2004, 3, 28), F::AlarmAtPowerUp, true},
      {"KRFMON04", EncodeDate(2004, 3, 29), F::AlarmAtPowerUp, false},
      {"VPMon002", EncodeDate(2004, 3, 29), F::AlarmAtPowerUp, false},
      {"VPMon002", EncodeDate(2004, 3, 30), F::AlarmAtPowerUp, true},
      {"KRFMON01", recent, F::AlarmAtPowerUp, false},
      // High power.
      {"KRFMON02", recent, F::HighPowerAlarm, false},
      {"KRFMON03", old, F::HighPowerAlarm, true},
      {"VPMon002", old, F::HighPowerAlarm, true},
      // Low power.
      {"KRFMON01", recent, F::LowPowerAlarm, false},
      {"KRFMON02", old, F::LowPowerAlarm, true},
      {"VPMon002", EncodeDate(2002, 5, 13), F::LowPowerAlarm, false},
      {"VPMon002", EncodeDate(2002, 5, 14), F::LowPowerAlarm, true},
      {"KRFMO999", recent, F::LowPowerAlarm, false},
      // Push-to-talk: any model, by date alone.
      {"KRFMON01", EncodeDate(2010, 1, 7), F::PushToTalk, false},
      {"KRFMON01", EncodeDate(2010, 1, 8), F::PushToTalk, true},
      {"SOMEONE1", EncodeDate(2010, 1, 8), F::PushToTalk, true},
      {"", 0, F::PushToTalk, false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ModelSupports(r.model, r.date, r.feature), r.supported)
        << r.model << " " << DateToIso(r.date) << " feature " << static_cast<int>(r.feature);
}

TEST(ModelSupport, IdentificationPrefixesAndModelTraits) {
  EXPECT_TRUE(IsAcceptedIdentification("TQAMO123"));
  EXPECT_TRUE(IsAcceptedIdentification("KRFMO999"));
  EXPECT_TRUE(IsAcceptedIdentification("VPMon002"));
  EXPECT_FALSE(IsAcceptedIdentification("VPMON002"));
  EXPECT_FALSE(IsAcceptedIdentification("KRF"));
  EXPECT_TRUE(IsDualRelayModel("KRFMON04"));
  EXPECT_FALSE(IsDualRelayModel("KRFMON03"));
  EXPECT_EQ(FullScaleReplyLength("KRFMON01"), 7);
  EXPECT_EQ(FullScaleReplyLength("KRFMON02"), 7);
  EXPECT_EQ(FullScaleReplyLength("KRFMON03"), 9);
  EXPECT_EQ(FullScaleReplyLength(""), 9);
}

}  // namespace
}  // namespace vemo
