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
#include <string>

namespace vemo::test {
namespace {

QString Source(const QString& path) {
  QFile file(QStringLiteral(VEMO_SOURCE_DIR "/") + path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The code without its comment lines, which may quote an option only as an example.
QString Code(const QString& path) {
  return Source(path).remove(
      QRegularExpression(R"(^\s*//.*$)", QRegularExpression::MultilineOption));
}

// The page as a reader sees it: roff's "\-" is a dash.
QString Page(const QString& name) {
  return Source("packaging/man/" + name).replace(QStringLiteral("\\-"), QStringLiteral("-"));
}

QString Help(const QString& program) {
  QProcess p;
  p.start(QDir(QCoreApplication::applicationDirPath() + "/../bin").absoluteFilePath(program),
          {"--help"});
  p.waitForFinished(10000);
  return QString::fromUtf8(p.readAllStandardOutput());
}

// Every match of the first group of pattern in text.
std::set<QString> Matches(const QString& text, const QString& pattern) {
  std::set<QString> found;
  auto it = QRegularExpression(pattern).globalMatch(text);
  while (it.hasNext()) found.insert(it.next().captured(1));
  return found;
}

TEST(ManPages, EveryOptionAProgramTakesIsInItsHelpAndOnItsPage) {
  const struct {
    QString program, parser, page;
  } programs[] = {
      {"VemoSWR", "app/ProgramOptions.cpp", "vemoswr.1"},
      {"vemoswr-cli", "app/cli/CliOptions.cpp", "vemoswr-cli.1"},
      {"vemoswrd", "app/service/ServiceOptions.cpp", "vemoswrd.8"},
      {"vemoswr-sim", "sim/SimOptions.cpp", "vemoswr-sim.1"},
  };
  for (const auto& p : programs) {
    const std::set<QString> options = Matches(Code(p.parser), R"re("(--[a-z][a-z0-9-]*))re");
    ASSERT_FALSE(options.empty()) << p.parser.toStdString();
    const QString help = Help(p.program), page = Page(p.page);
    ASSERT_FALSE(help.isEmpty()) << p.program.toStdString();
    for (const QString& option : options) {
      EXPECT_TRUE(help.contains(option))
          << p.program.toStdString() << " --help lacks " << option.toStdString();
      EXPECT_TRUE(page.contains(option))
          << p.page.toStdString() << " lacks " << option.toStdString();
    }
  }
}

TEST(ManPages, PagesNameTheCsvColumnsTheSimulatorsControlLinesAndTheLockFiles) {
  const QString cli = Page("vemoswr-cli.1");
  for (const QString& column : QString(kReadingCsvHeader).split(','))
    EXPECT_TRUE(cli.contains(column)) << "CSV column " << column.toStdString();

  const QString sim = Page("vemoswr-sim.1");
  for (const QString& command : Matches(Code("sim/SimServer.cpp"), R"re(what == "([a-z-]+)")re"))
    EXPECT_TRUE(sim.contains(command)) << "control line " << command.toStdString();

  for (const char* page : {"vemoswr.1", "vemoswr-cli.1", "vemoswrd.8"})
    EXPECT_TRUE(Page(page).contains("VEMOSWR_LOCK_DIR") && Page(page).contains("LCK.."))
        << page << " does not tell of the lock files";
  EXPECT_TRUE(Help("VemoSWR").contains("~/.config/VemoSWR/VemoSWR.ini"));
}

}  // namespace
}  // namespace vemo::test
