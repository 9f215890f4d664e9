// SPDX-License-Identifier: GPL-3.0-or-later
// The talking meter's voice through Qt's speech API, on the engine this machine has.
#include <QSignalSpy>
#include <QTest>
#include <QTextToSpeech>

#include <gtest/gtest.h>

#include "station/SpokenReading.h"
#include "ui/access/Speaker.h"

namespace vemo {
namespace {

TEST(Speaker, SpeaksAReadingOrSaysOnceThatItCannot) {
  QStringList problems;
  Speaker speaker([&](const QString& message) { problems.append(message); });
  speaker.Say(SpokenReading(47, 1.2, 1.3, speaker.Locale()));
  speaker.Say(QStringLiteral("again"));
  if (QTextToSpeech::availableEngines().isEmpty()) {
    // Without an engine: one message for the status line, however often it is asked.
    EXPECT_EQ(problems.size(), 1);
    EXPECT_FALSE(speaker.Usable());
    GTEST_SKIP() << "No speech engine installed: only the message without one was checked.";
  }
  // An engine that cannot reach its speech service fails at once or soon after; that too
  // must come as one message, not as silence.
  QTest::qWait(500);
  EXPECT_LE(problems.size(), 1);
  EXPECT_EQ(speaker.Usable(), problems.isEmpty());
  if (!speaker.Usable())
    GTEST_SKIP() << "The speech engine is not running: " << problems[0].toStdString();
}

}  // namespace
}  // namespace vemo
