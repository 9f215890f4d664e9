// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProfileFile.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "tests/platform/TempDir.h"

namespace vemo {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

std::vector<std::string> DirectoryNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ProfileFileTest, MissingFileReadsAsEmptyProfile) {
  TempDir dir;
  ProfileFile profile(dir / "VemoSWR.ini");
  EXPECT_EQ(profile.ReadInteger("Window", "Top", 5), 5);
  EXPECT_EQ(profile.ReadString("Window", "Top", "none"), "none");
  EXPECT_FALSE(profile.ReadBool("Meter", "Visible", false));
  EXPECT_FALSE(profile.ValueExists("Window", "Top"));
  EXPECT_TRUE(DirectoryNames(dir.path()).empty()) << "reading must not create the file";
}

TEST(ProfileFileTest, IntegersReadAsTheProfileLayerDefinesThem) {
  struct Row {
    const char* text;
    int expected;
  };
  const Row rows[] = {
      {"16", 16},
      {"0x10", 16},
      {"0X1f", 31},
      {"  42  ", 42},
      {"-7", -7},
      {"+3", 3},
      {"0x", -99},
      {"12abc", -99},
      {"", -99},
      {"abc", -99},
      {"2147483647", 2147483647},
      {"2147483648", -99},
      {"-2147483648", -2147483647 - 1},
      {"0xFFFFFFFF", -1},
      {"0x1FFFFFFFF", -99},
      {"1.5", -99},
      {"0x1G", -99},
      {"\"8\"", 8},
  };
  TempDir dir;
  std::string content = "[S]\n";
  for (size_t i = 0; i < std::size(rows); ++i)
    content += "K" + std::to_string(i) + "=" + rows[i].text + "\n";
  WriteFile(dir / "a.ini", content);
  ProfileFile profile(dir / "a.ini");
  for (size_t i = 0; i < std::size(rows); ++i)
    EXPECT_EQ(profile.ReadInteger("S", "K" + std::to_string(i), -99), rows[i].expected)
        << "value '" << rows[i].text << "'";
}

TEST(ProfileFileTest, AValueThatCannotBeReadIsReportedWithItsPlaceAndTheDefaultIsUsed) {
  TempDir dir;
  WriteFile(dir / "a.ini", "; settings\n[Window]\nTop=5 ; from the top\nLeft=7\nRight=x\n");
  const ProfileFile profile(dir / "a.ini");
  EXPECT_EQ(profile.ReadInteger("Window", "Top", 9), 9);
  EXPECT_EQ(profile.ReadInteger("window", "left", 50), 7);
  EXPECT_TRUE(profile.ReadBool("Window", "Right", true));
  const std::string place = AbsoluteFilePath(dir / "a.ini") + ", line ";
  EXPECT_EQ(profile.Problems(),
            (std::vector<std::string>{
                place + "3, [Window] Top: \"5 ; from the top\" is not a whole number (a comment "
                        "after a value is part of the value: put it on a line of its own). The "
                        "default, 9, is used.",
                place + "5, [Window] Right: \"x\" is not a whole number. The default, 1, is "
                        "used."}));
}

TEST(ProfileFileTest, BooleansAreAnyNonZeroIntegerAndFallBackToTheDefault) {
  TempDir dir;
  WriteFile(dir / "a.ini", "[Meter]\nA=1\nB=0\nC=2\nD=-1\nE=yes\nF=0x0\n");
  ProfileFile profile(dir / "a.ini");
  EXPECT_TRUE(profile.ReadBool("Meter", "A", false));
  EXPECT_FALSE(profile.ReadBool("Meter", "B", true));
  EXPECT_TRUE(profile.ReadBool("Meter", "C", false));
  EXPECT_TRUE(profile.ReadBool("Meter", "D", false));
  EXPECT_TRUE(profile.ReadBool("Meter", "E", true));
  EXPECT_FALSE(profile.ReadBool("Meter", "E", false));
  EXPECT_FALSE(profile.ReadBool("Meter", "F", true));
}

TEST(ProfileFileTest, SectionsAndKeysMatchWhateverTheirCase) {
  TempDir dir;
  WriteFile(dir / "a.ini", "[window]\nTOP = 7 \n[Meter]\nRange=3\nrange=9\n");
  ProfileFile profile(dir / "a.ini");
  EXPECT_EQ(profile.ReadInteger("Window", "Top", 0), 7);
  EXPECT_EQ(profile.ReadInteger("METER", "RANGE", 0), 3) << "the first of two equal keys wins";

  profile.WriteInteger("WINDOW", "top", 12);
  EXPECT_EQ(ReadFile(dir / "a.ini"), "[window]\nTOP =12\n[Meter]\nRange=3\nrange=9\n");
}

TEST(ProfileFileTest, WritingOneKeyKeepsEveryOtherLineByteForByte) {
  struct Row {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* after;
  };
  const Row rows[] = {
      {"existing key, CR LF kept",
       "; my notes\r\n[Window]\r\nTop=5\r\nLeft=50\r\n\r\n[Other]\r\nx=1\r\n", "Window", "Top",
       "; my notes\r\n[Window]\r\nTop=99\r\nLeft=50\r\n\r\n[Other]\r\nx=1\r\n"},
      {"missing key goes after the section's last key",
       "[Window]\nTop=5\n; trailing comment\n\n[Meter]\nVisible=1\n", "Window", "Left",
       "[Window]\nTop=5\nLeft=99\n; trailing comment\n\n[Meter]\nVisible=1\n"},
      {"missing key in an empty section goes after the header", "[Window]\n\n[Meter]\n", "Window",
       "Top", "[Window]\nTop=99\n\n[Meter]\n"},
      {"missing section goes at the end", "[Window]\nTop=5\n", "Meter", "Range",
       "[Window]\nTop=5\n[Meter]\nRange=99\n"},
      {"last line without a line break", "[Window]\nTop=5", "Window", "Left",
       "[Window]\nTop=5\nLeft=99\n"},
      {"last line ending in a lone CR", "[Window]\nTop=5\r", "Window", "Left",
       "[Window]\nTop=5\r\nLeft=99\n"},
      {"last line ending in a lone CR in a CR LF file", "[Window]\r\nTop=5\r", "Window", "Left",
       "[Window]\r\nTop=5\r\nLeft=99\r\n"},
      {"new section after a file without a final line break", "[Window]\nTop=5", "Meter", "Range",
       "[Window]\nTop=5\n[Meter]\nRange=99\n"},
      {"new section after a lone CR in a CR LF file", "[Window]\r\nTop=5\r", "Meter", "Range",
       "[Window]\r\nTop=5\r\n[Meter]\r\nRange=99\r\n"},
      {"CR LF file gets CR LF lines", "[Window]\r\nTop=5\r\n", "Meter", "Range",
       "[Window]\r\nTop=5\r\n[Meter]\r\nRange=99\r\n"},
      {"unknown keys and odd lines survive", "junk line\n[Window]\n  Top  =  5  ; x\nweird\n",
       "Window", "Top", "junk line\n[Window]\n  Top  =99\nweird\n"},
      {"a key in a later section of the same name is not touched", "[A]\nk=1\n[B]\nTop=1\n", "A",
       "Top", "[A]\nk=1\nTop=99\n[B]\nTop=1\n"},
      {"commented-out key is not the key", "[Window]\n;Top=1\n", "Window", "Top",
       "[Window]\nTop=99\n;Top=1\n"},
  };
  for (const Row& row : rows) {
    TempDir dir;
    WriteFile(dir / "a.ini", row.before);
    ProfileFile profile(dir / "a.ini");
    profile.WriteInteger(row.section, row.key, 99);
    EXPECT_EQ(ReadFile(dir / "a.ini"), row.after) << row.name;
    EXPECT_EQ(profile.ReadInteger(row.section, row.key, 0), 99) << row.name;
    EXPECT_EQ(ProfileFile(dir / "a.ini").ReadInteger(row.section, row.key, 0), 99) << row.name;
  }
}

TEST(ProfileFileTest, WritesRoundTripThroughAFreshReader) {
  TempDir dir;
  {
    ProfileFile profile(dir / "VemoSWR.ini");
    profile.WriteInteger("Communication", "ComPort", 3);
    profile.WriteBool("Meter", "Visible", true);
    profile.WriteInteger("Meter", "Range", -1);
    profile.WriteString("Ports", "COM3", "/dev/ttyUSB0");
  }
  ProfileFile reread(dir / "VemoSWR.ini");
  EXPECT_EQ(reread.ReadInteger("Communication", "ComPort", 1), 3);
  EXPECT_TRUE(reread.ReadBool("Meter", "Visible", false));
  EXPECT_EQ(reread.ReadInteger("Meter", "Range", 5), -1);
  EXPECT_EQ(reread.ReadString("Ports", "COM3", ""), "/dev/ttyUSB0");
  EXPECT_EQ(
      ReadFile(dir / "VemoSWR.ini"),
      "[Communication]\nComPort=3\n[Meter]\nVisible=1\nRange=-1\n[Ports]\nCOM3=/dev/ttyUSB0\n");
}

TEST(ProfileFileTest, BatchedWritesReachTheDiskTogetherAndKeepOthersChanges) {
  TempDir dir;
  WriteFile(dir / "a.ini", "[Window]\nTop=5\n");
  ProfileFile profile(dir / "a.ini");
  profile.BeginUpdate();
  profile.WriteInteger("Window", "Top", 10);
  profile.BeginUpdate();
  profile.WriteInteger("Window", "Left", 20);
  profile.EndUpdate();
  EXPECT_EQ(ReadFile(dir / "a.ini"), "[Window]\nTop=5\n") << "nothing written inside the batch";
  EXPECT_EQ(profile.ReadInteger("Window", "Left", 0), 20) << "reads see the pending writes";

  // Someone else adds a key while the batch is open; the replacement must not drop it.
  WriteFile(dir / "a.ini", "[Window]\nTop=5\n[Ports]\nCOM1=/tmp/link\n");
  profile.EndUpdate();
  EXPECT_EQ(ReadFile(dir / "a.ini"), "[Window]\nTop=10\nLeft=20\n[Ports]\nCOM1=/tmp/link\n");
}

TEST(ProfileFileTest, UnwritableFileRaisesWithItsFullPathAndLeavesNoTrace) {
  TempDir dir;
  std::filesystem::create_directory(dir / "sub");
  const std::string relativeDir = std::filesystem::relative(dir.path()).string();
  struct Row {
    std::string path;
    std::string shownPath;
  };
  const Row rows[] = {
      {dir / "missing/VemoSWR.ini", dir / "missing/VemoSWR.ini"},
      {dir / "sub", dir / "sub"},  // the path names a directory
      {relativeDir + "/sub/../sub", dir / "sub"},
  };
  for (const Row& row : rows) {
    ProfileFile profile(row.path);
    try {
      profile.WriteInteger("Window", "Top", 1);
      ADD_FAILURE() << "no exception for " << row.path;
    } catch (const Exception& e) {
      EXPECT_EQ(e.message(), "Unable to write to " + row.shownPath);
    }
  }
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"sub"});
  EXPECT_TRUE(DirectoryNames(dir / "sub").empty());
}

// Makes every write beyond a few bytes fail, even for root, for the lifetime of the object.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int);
};

TEST(ProfileFileTest, AFailedReplacementLeavesTheOldFileIntactAndNoTemporaryFile) {
  TempDir dir;
  const std::string old = "; keep me\n[Window]\nTop=5\n";
  WriteFile(dir / "a.ini", old);
  ProfileFile profile(dir / "a.ini");
  {
    FileSizeLimit limit(old.size());
    EXPECT_THROW(profile.WriteString("Window", "Title", std::string(200, 'x')), Exception);
  }
  EXPECT_EQ(ReadFile(dir / "a.ini"), old);
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"a.ini"});

  // The failed write stays pending and goes out with the next one.
  profile.WriteInteger("Window", "Top", 6);
  EXPECT_EQ(ReadFile(dir / "a.ini"),
            "; keep me\n[Window]\nTop=6\nTitle=" + std::string(200, 'x') + "\n");
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"a.ini"});
}

TEST(ProfileFileTest, TemporariesLeftByAKilledSaveGoAtTheNextSaveAndNothingElseDoes) {
  TempDir dir;
  const pid_t child = fork();
  if (child == 0) _exit(0);
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);  // a writer that is gone
  const std::string dead = std::to_string(child);
  const std::string own = std::to_string(getpid());
  const std::vector<std::string> stale = {".a.ini.tmp-" + dead + "-0", ".a.ini.tmp-" + dead + "-7",
                                          ".a.ini.tmp-1-3"};
  const std::vector<std::string> kept = {
      ".a.ini.tmp-1-4",  // a live writer's, fresh: it may be about to rename it
      ".a.ini.tmp-" + own + "-999",
      ".a.ini.tmp-" + dead + "-x",
      ".a.ini.tmp-" + dead,
      ".b.ini.tmp-" + dead + "-0",
      "a.ini.tmp-" + dead + "-0",
      ".a.ini.tmp-" + dead + "-0~"};
  for (const auto& names : {stale, kept})
    for (const std::string& name : names) WriteFile(dir / name, "[Half]\n");
  // A live writer's temporary a minute old was abandoned (the pid went to someone else).
  std::filesystem::last_write_time(
      dir / ".a.ini.tmp-1-3",
      std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2));
  ProfileFile(dir / "a.ini").WriteInteger("S", "K", 1);
  std::vector<std::string> expected = kept;
  expected.push_back("a.ini");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(DirectoryNames(dir.path()), expected);
}

TEST(ProfileFileTest, ReplacementKeepsPermissionsAndFollowsSymbolicLinks) {
  TempDir dir;
  WriteFile(dir / "real.ini", "[Window]\nTop=5\n");
  chmod((dir / "real.ini").c_str(), 0640);
  std::filesystem::create_symlink("real.ini", dir / "link.ini");

  ProfileFile(dir / "link.ini").WriteInteger("Window", "Top", 8);

  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadFile(dir / "real.ini"), "[Window]\nTop=8\n");
  struct stat st {};
  ASSERT_EQ(stat((dir / "real.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // A link to a file not there yet: the file is created, the link stays.
  std::filesystem::create_symlink("new.ini", dir / "dangling.ini");
  ProfileFile(dir / "dangling.ini").WriteInteger("Window", "Top", 9);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling.ini"));
  EXPECT_EQ(ReadFile(dir / "new.ini"), "[Window]\nTop=9\n");
}

// What the file system lets a user save, and what it leaves behind; returns what went
// wrong, empty when nothing did. Plain checks rather than gtest's, as it may run in a
// child process.
std::string CheckSavingAsThisUser() {
  struct Row {
    const char* name;
    mode_t folder, file;
    bool viaLink, saved;
  };
  const Row rows[] = {
      {"writable file in a read-only folder", 0555, 0644, false, true},
      {"link to a writable file in a read-only folder", 0555, 0644, true, true},
      {"read-only file in a writable folder", 0755, 0444, false, false},
      {"read-only file in a read-only folder", 0555, 0444, false, false},
  };
  const std::string old = "[Window]\nTop=5\n";
  std::string problems;
  const auto expect = [&](bool ok, const std::string& what) {
    if (!ok) problems += what + "\n";
  };
  for (const Row& row : rows) {
    TempDir dir;
    const std::string folder = dir / "conf", file = folder + "/VemoSWR.ini";
    std::filesystem::create_directory(folder);
    WriteFile(file, old);
    chmod(file.c_str(), row.file);
    const std::string path = row.viaLink ? dir / "link.ini" : file;
    if (row.viaLink) std::filesystem::create_symlink(file, path);
    chmod(folder.c_str(), row.folder);

    std::string error;
    ProfileFile profile(path);
    try {
      profile.WriteInteger("Window", "Top", 8);
    } catch (const Exception& e) {
      error = e.message();
    }
    const std::string name = row.name;
    // Root may replace files in any folder.
    expect(profile.SavedInPlace() == (row.saved && row.folder == 0555 && geteuid() != 0),
           name + ": the user is not told how it was saved");
    expect(error == (row.saved ? "" : "Unable to write to " + path),
           name + ": error '" + error + "'");
    expect(ReadFile(file) == (row.saved ? "[Window]\nTop=8\n" : old), name + ": content");
    expect(!row.viaLink || std::filesystem::is_symlink(path), name + ": link replaced");
    expect(DirectoryNames(folder) == std::vector<std::string>{"VemoSWR.ini"}, name + ": litter");
    chmod(folder.c_str(), 0755);
  }

  // A write cut short in a read-only folder leaves the old content.
  TempDir dir;
  WriteFile(dir / "a.ini", old);
  ProfileFile profile(dir / "a.ini");
  chmod(dir.path().c_str(), 0555);
  {
    FileSizeLimit limit(old.size());
    try {
      profile.WriteString("Window", "Top", std::string(200, 'x'));
      expect(false, "cut-off write: no error");
    } catch (const Exception&) {
    }
  }
  expect(ReadFile(dir / "a.ini") == old, "cut-off write: content");
  return problems;
}

// Runs check in a child process that has given up root's rights: root may write any file.
std::string AsOrdinaryUser(std::string (*check)()) {
  int out[2];
  if (pipe(out) != 0) return "no pipe";
  const pid_t child = fork();
  if (child == 0) {
    close(out[0]);
    const gid_t nobody = 65534;
    const std::string problems =
        setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0
            ? check()
            : "cannot drop root's rights";
    const ssize_t written = write(out[1], problems.data(), problems.size());
    _exit(written == static_cast<ssize_t>(problems.size()) ? 0 : 1);
  }
  close(out[1]);
  std::string problems;
  char chunk[512];
  for (ssize_t n; (n = read(out[0], chunk, sizeof chunk)) > 0;)
    problems.append(chunk, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) problems += "child failed\n";
  return problems;
}

TEST(ProfileFileTest, SavesInPlaceWhenOnlyTheFileIsWritableAndNeverOverAReadOnlyFile) {
  EXPECT_EQ(CheckSavingAsThisUser(), "");
  if (geteuid() == 0) {
    EXPECT_EQ(AsOrdinaryUser(CheckSavingAsThisUser), "") << "as nobody";
  }
}

TEST(ProfileFileTest, EntriesThatWouldCorruptTheFileAreRefused) {
  TempDir dir;
  const std::string old = "[Window]\nTop=5\n";
  WriteFile(dir / "a.ini", old);
  ProfileFile profile(dir / "a.ini");
  EXPECT_THROW(profile.WriteString("Window", "Top", "1\n[Evil]\nx=1"), Exception);
  EXPECT_THROW(profile.WriteString("Win]dow", "Top", "1"), Exception);
  EXPECT_THROW(profile.WriteString("Window", "A=B", "1"), Exception);
  EXPECT_THROW(profile.WriteString("Window", "", "1"), Exception);
  EXPECT_EQ(ReadFile(dir / "a.ini"), old);
  EXPECT_EQ(profile.ReadInteger("Window", "Top", 0), 5);
}

}  // namespace
}  // namespace vemo
