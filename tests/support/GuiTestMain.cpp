// SPDX-License-Identifier: GPL-3.0-or-later
// Widget tests run offscreen so they need no display.
#include <gtest/gtest.h>
#include <QApplication>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  const vemo::test::TestEnvironment environment;
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
