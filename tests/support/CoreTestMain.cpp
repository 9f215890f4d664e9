// SPDX-License-Identifier: GPL-3.0-or-later
// Tests of the widget-free layers run inside a QCoreApplication: the serial layer's
// notifications and the session's waits need an event loop on the main thread.
#include <gtest/gtest.h>
#include <QCoreApplication>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
  const vemo::test::TestEnvironment environment;
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
