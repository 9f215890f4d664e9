// Tests of the widget-free layers run inside a QCoreApplication: the serial layer's
// notifications and the session's waits need an event loop on the main thread.
#include <gtest/gtest.h>
#include <QCoreApplication>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("VEMO_BIN_DIR")) qputenv("VEMO_BIN_DIR", VEMO_DEFAULT_BIN_DIR);
  if (qEnvironmentVariableIsEmpty("VEMO_ARTIFACT_DIR"))
    qputenv("VEMO_ARTIFACT_DIR", VEMO_DEFAULT_ARTIFACT_DIR);
  testing::InitGoogleTest(&argc, argv);
  QCoreApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
