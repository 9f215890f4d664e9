// SPDX-License-Identifier: GPL-3.0-or-later
// Readings, the raw-mode switch, the full scale and the EEPROM words.
#include "SessionFixture.h"

#include <cmath>

namespace vemo::test {
namespace {

using ::testing::ElementsAre;

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

TEST_F(SessionTest, ReadingsAreScaledByTheFullScaleRange) {
  IdentifyAs("KRFMON03");
  struct Row {
    std::string fullScale;  // reply to "7"
    const char* reply;      // reply to "T"
    float forward, reflected;
    bool raw, alarm, zeroCheck;
  };
  const Row rows[] = {
      {FullScaleReply(625), "100.0,12.50 0\r\n>", 100.0f, 12.5f, false, false, false},
      {FullScaleReply(5000), "100.0,12.50 0\r\n>", 100000.0f, 12500.0f, false, false, false},
      {FullScaleReply(500, 0), "100.0,12.50 0\r\n>", 0.1f, 0.0125f, false, false, false},
      {FullScaleReply(5000), "  123,  4.5R1\r\n>", 123.0f, 4.5f, true, false, true},
      {FullScaleReply(5000), "  1.5, 0.02A0\r\n>", 1500.0f, 20.0f, false, true, false},
      {FullScaleReply(60), " 50.0,    0 5\r\n>", 50.0f, 0.0f, false, false, true},
  };
  for (const Row& r : rows) {
    port.Answer(r.fullScale).Answer(r.reply);
    TMonitorReading reading;
    monitor.GetReading(reading);
    EXPECT_FLOAT_EQ(reading.Forward, r.forward) << r.reply;
    EXPECT_FLOAT_EQ(reading.Reflected, r.reflected) << r.reply;
    EXPECT_EQ(reading.RawMode, r.raw) << r.reply;
    EXPECT_EQ(reading.Alarm, r.alarm) << r.reply;
    EXPECT_EQ(reading.CheckOnZeroPower, r.zeroCheck) << r.reply;
    EXPECT_EQ(monitor.CheckOnZeroPower(), r.zeroCheck) << r.reply;
  }
  EXPECT_EQ(port.sent().size(), 2 * std::size(rows));
  EXPECT_THAT(std::vector(port.sent().begin(), port.sent().begin() + 2), ElementsAre("7", "T"));
}

TEST_F(SessionTest, LeftoverPromptBeforeAReadingIsDroppedAndTheReplyToppedUp) {
  port.AnswerInChunks({{">100.0,12.50 0\r\n", 0}, {">", 30}});
  EXPECT_EQ(monitor.CommandT(), "100.0,12.50 0\r\n>");
  port.AnswerInChunks({{"0\r\n>100.0,12.5", 0}, {"0 0\r\n>", 30}});
  EXPECT_EQ(monitor.CommandT(), "100.0,12.50 0\r\n>");
}

TEST_F(SessionTest, ReadingThatIsNoNumberFailsAsAWhole) {
  port.Answer(FullScaleReply(625)).Answer("-----,12.50 0\r\n>");
  TMonitorReading reading;
  EXPECT_EQ(MessageOf([&] { monitor.GetReading(reading); }), "Error in GetReading");
  // Failures of the exchanges themselves are not replaced.
  port.Answer("xxxxxxxxx");
  EXPECT_EQ(MessageOf([&] { monitor.GetReading(reading); }),
            "Unexpected resultxxxxxxxxx in Command7.");
}

TEST_F(SessionTest, ReadingBeyondTheRangeOfAFloatIsAConversionError) {
  const struct {
    std::string fullScale;
    const char* reply;
  } rows[] = {
      {FullScaleReply(625), " 9e99,12.50 0\r\n>"},
      {FullScaleReply(625), "100.0,-9e99 0\r\n>"},
      {FullScaleReply(625), " 4e38,12.50 0\r\n>"},
      {FullScaleReply(5000), " 1e38,12.50 0\r\n>"},  // finite until scaled to watts
  };
  for (const auto& r : rows) {
    port.Answer(r.fullScale).Answer(r.reply);
    TMonitorReading reading;
    EXPECT_EQ(MessageOf([&] { monitor.GetReading(reading); }), "Error in GetReading") << r.reply;
  }
}

TEST_F(SessionTest, RawModeIsToggledOnlyWhenItDiffers) {
  port.Answer("  123,  4.5R1\r\n>");
  monitor.SetRawMode(true);
  EXPECT_THAT(port.sent(), ElementsAre("T"));

  port.ClearSent();
  port.Answer("  123,  4.5R1\r\n>").Answer("Z");
  monitor.SetRawMode(false);
  EXPECT_THAT(port.sent(), ElementsAre("T", "Z"));

  port.Answer("z");
  EXPECT_EQ(MessageOf([&] { monitor.CommandZ(); }), "Unexpected result in CommandZ.");
}

TEST_F(SessionTest, FullScaleReplyLayouts) {
  struct Row {
    const char* model;
    std::string reply;
    double fullScale;
    int mantissa, exponent, range;
  };
  const Row rows[] = {
      // Two data bytes: whole watts.
      {"KRFMON01", "P=" + Bytes({0x02, 0x71}) + "\r\n>", 625, 625, 3, 0},
      {"KRFMON02", "P=" + Bytes({0x03, 0xE8}) + "\r\n>", 1000, 1000, 3, 3},
      // Three data bytes.
      {"KRFMON03", "P=" + Bytes({0x01, 0x86, 0xA0}) + "\r\n>\n", 100000, 100000, 3, 3},
      // Mantissa, one uninterpreted byte, signed exponent.
      {"KRFMON03", "P=" + Bytes({0x27, 0x10, 0x55, 0xFE}) + "\r\n>", 0.1, 10000, -2, -3},
      {"VPMon002", "P=" + Bytes({0x03, 0xE8, 0x00, 0x00}) + "\r\n>", 1, 1000, 0, 0},
      {"VPMon002", "P=" + Bytes({0x30, 0xD4, 0x00, 0x01}) + "\r\n>", 125, 12500, 1, 0},
      {"", "P=" + Bytes({0x00, 0x01, 0x00, 0x03}) + "\r\n>", 1, 1, 3, 0},
      {"", "P=" + Bytes({0x03, 0xE7, 0x00, 0x00}) + "\r\n>", 0.999, 999, 0, -3},
  };
  for (const Row& r : rows) {
    if (*r.model) IdentifyAs(r.model);
    port.Answer(r.reply);
    monitor.Command7();
    EXPECT_DOUBLE_EQ(monitor.FullScale(), r.fullScale) << r.model;
    EXPECT_EQ(monitor.FSMantissa(), r.mantissa) << r.model;
    EXPECT_EQ(monitor.FSExponent(), r.exponent) << r.model;
    EXPECT_EQ(monitor.RangeExponent(), r.range) << r.model;
    EXPECT_DOUBLE_EQ(monitor.FwdCalPower(), r.fullScale * 0.16) << r.model;
    EXPECT_DOUBLE_EQ(monitor.RflCalPower(), r.fullScale * 0.016) << r.model;
  }
}

TEST_F(SessionTest, FullScaleBytesThatLookLikeALineBreakKeepTheReplyLayout) {
  const struct {
    const char* model;
    std::string reply;
    double fullScale;
  } rows[] = {
      {"KRFMON01", "P=" + Bytes({0x0D, 0x0A}) + "\r\n>", 3338},
      {"KRFMON03", "P=" + Bytes({0x00, 0x0D, 0x0A}) + "\r\n>\n", 3338},
      {"KRFMON03", "P=" + Bytes({0x0D, 0x0A, 0x0D, 0x03}) + "\r\n>", 3338},
  };
  for (const auto& r : rows) {
    IdentifyAs(r.model);
    port.Answer(r.reply);
    monitor.Command7();
    EXPECT_DOUBLE_EQ(monitor.FullScale(), r.fullScale) << r.model;
    EXPECT_EQ(monitor.RangeExponent(), 3) << r.model;
  }
}

TEST_F(SessionTest, FullScaleReplyIsRealignedOnItsPrefix) {
  IdentifyAs("KRFMON01");
  port.AnswerInChunks({{"\r\n>P=" + Bytes({0x02}), 0}, {Bytes({0x71}) + "\r\n>", 20}});
  monitor.Command7();
  EXPECT_DOUBLE_EQ(monitor.FullScale(), 625);
  port.Answer("abcdefg");
  EXPECT_EQ(MessageOf([&] { monitor.Command7(); }), "Unexpected resultabcdefg in Command7.");
}

TEST_F(SessionTest, SessionStartsWithTheDefaultFullScale) {
  EXPECT_DOUBLE_EQ(monitor.FullScale(), 625);
  EXPECT_EQ(monitor.FSMantissa(), 62500);
  EXPECT_EQ(monitor.FSExponent(), 1);
  EXPECT_EQ(monitor.RangeExponent(), 0);
  EXPECT_DOUBLE_EQ(monitor.FwdCalPower(), 100);
  EXPECT_DOUBLE_EQ(monitor.RflCalPower(), 10);
  EXPECT_EQ(monitor.ModelId(), "");
  EXPECT_EQ(monitor.FirmwareDate(), 0);
}

TEST_F(SessionTest, EepromWordsTravelHighByteFirst) {
  port.Answer(Bytes({0x12, 0x34}));
  EXPECT_EQ(monitor.ReadEeprom(3), 0x1234);
  port.Answer(Bytes({0xAB, 0xCD}));
  monitor.WriteEeprom(2, 0xABCD);
  EXPECT_THAT(port.sent(), ElementsAre(Bytes({'X', 3, 1}), Bytes({'Y', 2, 0xAB, 0xCD})));

  port.Answer(Bytes({0xAB, 0xCE}));
  EXPECT_EQ(MessageOf([&] { monitor.WriteEeprom(2, 0xABCD); }), "Error writing to EEPROM");
}

TEST_F(SessionTest, EepromWriteTakesItsEchoFromBytesAlreadyReceived) {
  // The write does not empty the buffer first: a byte waiting there is part of the echo.
  buffer.Put(0x00);
  port.Answer(Bytes({0x05}));
  monitor.WriteEeprom(9, 5);
}

TEST_F(SessionTest, FullScaleIsStoredAsMantissaAndDecimalExponent) {
  struct Row {
    double watts;
    int mantissa, exponent;
  };
  const Row rows[] = {
      {100, 12500, 1},    {40, 50000, 0},      {52.428, 65535, 0},
      {52.4284, 6554, 1}, {20.0004, 25000, 0},  // 25000.5: halves go to the even neighbour
      {2.5004, 3126, 0},                        // 3125.5
      {1e6, 12500, 5}};
  for (const Row& r : rows) {
    // The monitor echoes each word written, then answers the full-scale command.
    const std::string m = Bytes({r.mantissa >> 8, r.mantissa & 0xFF});
    const std::string e = Bytes({0, r.exponent});
    port.ClearSent();
    port.Answer(m).Answer(e).Answer(FullScaleReply(1000));
    monitor.SetFullScale(r.watts);
    EXPECT_THAT(port.sent(), ElementsAre("Y\x20" + m, "Y\x22" + e, "7")) << r.watts;
    EXPECT_DOUBLE_EQ(monitor.FullScale(), 1000);
  }
}

TEST_F(SessionTest, FullScaleThatCannotBeStoredIsRefusedBeforeAnythingIsSent) {
  for (double watts : {0.0, -5.0, 0.0001, std::nan(""), HUGE_VAL})
    EXPECT_EQ(MessageOf([&] { monitor.SetFullScale(watts); }), "Invalid full scale power") << watts;
  for (double watts : {1e6 + 1, 1e30})
    EXPECT_EQ(MessageOf([&] { monitor.SetFullScale(watts); }),
              "Invalid full scale power: at most 1000000 W (1 MW)")
        << watts;
  EXPECT_TRUE(port.sent().empty());
}

TEST_F(SessionTest, FullScaleIsReadBackFromTheEeprom) {
  port.Answer(Bytes({0x30, 0xD4})).Answer(Bytes({0x00, 0x01}));
  EXPECT_DOUBLE_EQ(monitor.ReadFullScale(), 125);
  port.Answer(Bytes({0xC3, 0x50})).Answer(Bytes({0x12, 0x00}));
  EXPECT_DOUBLE_EQ(monitor.ReadFullScale(), 50);
  port.Answer(Bytes({0x27, 0x10})).Answer(Bytes({0x00, 0xFE}));
  EXPECT_DOUBLE_EQ(monitor.ReadFullScale(), 0.1);
  EXPECT_EQ(monitor.RangeExponent(), -3);
  // The calibration powers follow only the full-scale command.
  EXPECT_DOUBLE_EQ(monitor.FwdCalPower(), 100);
  EXPECT_THAT(port.sent(),
              ElementsAre(Bytes({'X', 32, 1}), Bytes({'X', 34, 1}), Bytes({'X', 32, 1}),
                          Bytes({'X', 34, 1}), Bytes({'X', 32, 1}), Bytes({'X', 34, 1})));
}

}  // namespace
}  // namespace vemo::test
