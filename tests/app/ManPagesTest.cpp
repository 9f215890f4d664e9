// SPDX-License-Identifier: GPL-3.0-or-later
// Every option a program takes is in its --help and on its manual page, and the pages say
// what users look up there: the tool's CSV columns, the simulator's control lines, the
// lock files.
#include "station/ReadingCsv.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <set>

namespace vemo::test {
namespace {

// A source file without its comment lines, which may quote an option only as an example.
QString Code(const QString& path) {
  QFile file(QStringLiteral(VEMO_SOURCE_DIR "/") + path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll())
      .remove(QRegularExpression(R"(^\s*//.*$)", QRegularExpression::MultilineOption));
}

// The page as a reader sees it: roff's "\-" is a dash.
QString Page(const QString& name) {
  return Code("packaging/man/" + name).replace(QStringLiteral("\\-"), QStringLiteral("-"));
}

QString Help(const QString& program) {
  QProcess p;
  p.start(QDir(QCoreApplication::applicationDirPath() + "/../bin").absoluteFilePath(program),
          {"--help"});
  p.waitForFinished(10000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

std::set<QString> Matches(const QString& text, const QString& pattern) {
  std::set<QString> found;
  for (auto it = QRegularExpression(pattern).globalMatch(text); it.hasNext();)
    found.insert(it.next().captured(1));
  return found;
}

TEST(ManPages, EveryOptionAProgramTakesIsInItsHelpAndOnItsPage) {
  const QString programs[][3] = {{"VemoSWR", "app/ProgramOptions.cpp", "vemoswr.1"},
                                 {"vemoswr-cli", "app/cli/CliOptions.cpp", "vemoswr-cli.1"},
                                 {"vemoswrd", "app/service/ServiceOptions.cpp", "vemoswrd.8"},
                                 {"vemoswr-sim", "sim/SimOptions.cpp", "vemoswr-sim.1"}};
  for (const auto& [program, parser, page] : programs) {
    const std::set<QString> options = Matches(Code(parser), R"re("(--[a-z][a-z0-9-]*))re");
    const QString help = Help(program), text = Page(page);
    ASSERT_FALSE(options.empty() || help.isEmpty()) << program.toStdString();
    for (const QString& option : options) {
      EXPECT_TRUE(help.contains(option)) << program.toStdString() << " " << option.toStdString();
      EXPECT_TRUE(text.contains(option)) << page.toStdString() << " " << option.toStdString();
    }
  }
}

TEST(ManPages, PagesNameTheCsvColumnsTheSimulatorsControlLinesAndTheLockFiles) {
  for (const QString& column : QString(kReadingCsvHeader).split(','))
    EXPECT_TRUE(Page("vemoswr-cli.1").contains(column)) << column.toStdString();
  for (const QString& line : Matches(Code("sim/SimServer.cpp"), R"re(what == "([a-z-]+)")re"))
    EXPECT_TRUE(Page("vemoswr-sim.1").contains(line)) << line.toStdString();
  for (const char* page : {"vemoswr.1", "vemoswr-cli.1", "vemoswrd.8"})
    EXPECT_TRUE(Page(page).contains("VEMOSWR_LOCK_DIR") && Page(page).contains("LCK..")) << page;
  EXPECT_TRUE(Help("VemoSWR").contains("~/.config/VemoSWR/VemoSWR.ini"));
}

}  // namespace
}  // namespace vemo::test
