// Widget tests run offscreen so they need no display.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("VEMO_BIN_DIR")) qputenv("VEMO_BIN_DIR", VEMO_DEFAULT_BIN_DIR);
  if (qEnvironmentVariableIsEmpty("VEMO_ARTIFACT_DIR"))
    qputenv("VEMO_ARTIFACT_DIR", VEMO_DEFAULT_ARTIFACT_DIR);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
