// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every test program sets up before its tests: the folders of the built programs and
// of artefacts, and a private lock folder, so that no test leaves lock files in the
// system's and tests running in parallel never see each other's locks. Removed, with
// whatever is left in it, when the program ends.

#include <QTemporaryDir>
#include <QtGlobal>

namespace vemo::test {

class TestEnvironment {
 public:
  TestEnvironment() {
    if (qEnvironmentVariableIsEmpty("VEMO_BIN_DIR")) qputenv("VEMO_BIN_DIR", VEMO_DEFAULT_BIN_DIR);
    if (qEnvironmentVariableIsEmpty("VEMO_ARTIFACT_DIR"))
      qputenv("VEMO_ARTIFACT_DIR", VEMO_DEFAULT_ARTIFACT_DIR);
    if (qEnvironmentVariableIsEmpty("VEMOSWR_LOCK_DIR") && locks_.isValid())
      qputenv("VEMOSWR_LOCK_DIR", locks_.path().toUtf8());
  }

 private:
  QTemporaryDir locks_;
};

}  // namespace vemo::test
