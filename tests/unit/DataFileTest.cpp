// The handoff between writers and readers on real files, every state of one
// name, and with a file service that fails what it is told to (counting the
// pauses instead of sleeping them).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>

#include "exchange/DataFile.h"
#include "platform/Platform.h"

namespace msx {
namespace {

std::string Read(const std::string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, &bytes).ok()) return "<missing>";
  return bytes;
}

void Write(const std::string& path, const std::string& bytes) {
  ASSERT_TRUE(platform::ReplaceFileContent(path, bytes).ok()) << path;
}

std::string Loaded(const DataLines& lines) {
  std::string text;
  for (std::size_t k = 0; k < lines.size(); ++k) text.append(lines[k]).append("|");
  return text;
}

// The platform's services, with failures on request and pauses counted.
class TestFiles final : public FileService {
 public:
  bool Exists(const std::string& path) override { return platform::FileExists(path); }
  platform::Status Remove(const std::string& path) override {
    ++removes;
    if (path == refuseRemove) return Refused();
    return platform::RemoveFile(path);
  }
  platform::Status RenameNoReplace(const std::string& from, const std::string& to) override {
    ++renames;
    return platform::RenameNoReplace(from, to);
  }
  platform::Status ReplaceContent(const std::string& path, std::string_view bytes) override {
    if (refuseWrite) return Refused();
    return platform::ReplaceFileContent(path, bytes);
  }
  platform::Status Read(const std::string& path, std::string* bytes) override {
    ++reads;
    if (failReads > 0) {
      --failReads;
      return Refused();
    }
    return platform::ReadWholeFile(path, bytes);
  }
  void Sleep(int32_t milliseconds) override {
    ++pauses;
    EXPECT_EQ(milliseconds, kRetryPauseMilliseconds);
  }

  std::string refuseRemove;
  bool refuseWrite = false;
  int failReads = 0;
  int removes = 0, renames = 0, reads = 0, pauses = 0;

 private:
  static platform::Status Refused() { return {platform::StatusCode::kAccessDenied, 5}; }
};

class Handoff : public ::testing::Test {
 protected:
  void SetUp() override {
    name = ::testing::TempDir() + "handoff_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
    for (const char* suffix : {"", ".out", ".in"}) std::remove((name + suffix).c_str());
  }
  void TearDown() override {
    for (const char* suffix : {"", ".out", ".in"}) std::remove((name + suffix).c_str());
  }
  bool Exists(const char* suffix) const { return platform::FileExists(name + suffix); }

  std::string name;
  TestFiles files;
};

TEST_F(Handoff, PublishTakeOverAndReadAgain) {
  DataLines lines;
  EXPECT_FALSE(TakeOverDataFile(name, lines, files));  // nothing: nothing loaded

  HandOffDataFile(name, "20040302,1030000,1.5\r\n", files);  // published
  EXPECT_EQ(Read(name), "20040302,1030000,1.5\r\n\r\n");
  EXPECT_FALSE(Exists(".out"));
  EXPECT_EQ(files.pauses, 0);

  ASSERT_TRUE(TakeOverDataFile(name, lines, files));  // taken
  EXPECT_EQ(Loaded(lines), "20040302,1030000,1.5||");
  EXPECT_FALSE(Exists(""));
  EXPECT_EQ(Read(name + ".in"), "20040302,1030000,1.5\r\n\r\n");

  DataLines again;
  ASSERT_TRUE(TakeOverDataFile(name, again, files));  // the same copy again
  EXPECT_EQ(Loaded(again), "20040302,1030000,1.5||");
  EXPECT_EQ(files.pauses, 0);
}

TEST_F(Handoff, PublishOverATakenCopy) {
  HandOffDataFile(name, "old\r\n", files);
  DataLines lines;
  ASSERT_TRUE(TakeOverDataFile(name, lines, files));
  HandOffDataFile(name, "new\r\n", files);  // published over taken
  EXPECT_EQ(Read(name + ".in"), "old\r\n\r\n");
  ASSERT_TRUE(TakeOverDataFile(name, lines, files));
  EXPECT_EQ(Loaded(lines), "new||");
  EXPECT_FALSE(Exists(""));
}

TEST_F(Handoff, AWriteReplacesAnUntakenFile) {
  HandOffDataFile(name, "first\r\n", files);
  HandOffDataFile(name, "second\r\n", files);
  EXPECT_EQ(Read(name), "second\r\n\r\n");
  EXPECT_EQ(files.pauses, 0);
}

TEST_F(Handoff, AnEmptyRangePublishesOnlyCrLf) {
  HandOffDataFile(name, "", files);
  EXPECT_EQ(Read(name), "\r\n");
}

TEST_F(Handoff, AStaleStagingFileIsDeletedFirst) {
  Write(name + ".out", "stale content of an earlier failed write\r\n");
  HandOffDataFile(name, "new\r\n", files);
  EXPECT_EQ(Read(name), "new\r\n\r\n");
  EXPECT_FALSE(Exists(".out"));
}

// A stale staging file that cannot be deleted is overwritten, never appended
// to: the reader gets the new content alone, not the old glued before it.
TEST_F(Handoff, AStagingFileThatCannotBeDeletedIsOverwritten) {
  Write(name + ".out", "stale 1\r\nstale 2\r\nstale 3\r\n");
  files.refuseRemove = name + ".out";
  HandOffDataFile(name, "new\r\n", files);
  EXPECT_EQ(Read(name), "new\r\n\r\n");
}

// Another program holds the old data file: it cannot be deleted, every
// rename fails on it, the writer gives up after 100 attempts with a pause
// after each, and the old file stays whole.
TEST_F(Handoff, ADataFileThatCannotBeDeletedKeepsItsContentAndTheStagingFileStays) {
  Write(name, "old\r\n\r\n");
  files.refuseRemove = name;
  HandOffDataFile(name, "new\r\n", files);
  EXPECT_EQ(files.renames, kPublishAttempts);
  EXPECT_EQ(files.pauses, kPublishAttempts);
  EXPECT_EQ(Read(name), "old\r\n\r\n");
  EXPECT_EQ(Read(name + ".out"), "new\r\n\r\n");

  files.refuseRemove.clear();  // the program let go: the next write publishes
  HandOffDataFile(name, "newer\r\n", files);
  EXPECT_EQ(Read(name), "newer\r\n\r\n");
  EXPECT_FALSE(Exists(".out"));
}

TEST_F(Handoff, AStagingFileThatCannotBeWrittenIsNeverPublished) {
  Write(name + ".out", "stale\r\n");
  files.refuseRemove = name + ".out";
  files.refuseWrite = true;
  HandOffDataFile(name, "new\r\n", files);
  EXPECT_EQ(files.renames, 0);
  EXPECT_FALSE(Exists(""));
}

TEST_F(Handoff, AStagingFileInAMissingFolderWritesNothingAndDoesNotWait) {
  const std::string missing = ::testing::TempDir() + "no_such_folder/x.txt";
  HandOffDataFile(missing, "new\r\n", files);
  EXPECT_EQ(files.pauses, 0);
  EXPECT_FALSE(platform::FileExists(missing));
}

TEST_F(Handoff, TheReaderRetriesALockedCopy) {
  HandOffDataFile(name, "v\r\n", files);
  DataLines lines;
  files.failReads = kLoadAttempts - 1;  // loads on the last attempt
  EXPECT_TRUE(TakeOverDataFile(name, lines, files));
  EXPECT_EQ(files.pauses, kLoadAttempts - 1);
  EXPECT_EQ(Loaded(lines), "v||");

  files.pauses = 0;
  files.failReads = kLoadAttempts;  // never loads
  DataLines none;
  EXPECT_FALSE(TakeOverDataFile(name, none, files));
  EXPECT_EQ(files.pauses, kLoadAttempts);
  EXPECT_EQ(none.size(), 0u);
}

TEST_F(Handoff, ACopyThatCannotBeDeletedIsReadAgainUntilItCan) {
  HandOffDataFile(name, "old\r\n", files);
  DataLines lines;
  ASSERT_TRUE(TakeOverDataFile(name, lines, files));
  HandOffDataFile(name, "new\r\n", files);
  files.refuseRemove = name + ".in";
  ASSERT_TRUE(TakeOverDataFile(name, lines, files));
  EXPECT_EQ(Loaded(lines), "old||");  // the rename does not replace the copy
  EXPECT_EQ(Read(name), "new\r\n\r\n");
  files.refuseRemove.clear();
  ASSERT_TRUE(TakeOverDataFile(name, lines, files));
  EXPECT_EQ(Loaded(lines), "new||");
}

TEST(RenameNoReplace, NeverReplacesAndReportsTheTarget) {
  const std::string a = ::testing::TempDir() + "rename_a.txt";
  const std::string b = ::testing::TempDir() + "rename_b.txt";
  Write(a, "a");
  Write(b, "b");
  EXPECT_EQ(platform::RenameNoReplace(a, b).code, platform::StatusCode::kExists);
  EXPECT_EQ(Read(a), "a");
  EXPECT_EQ(Read(b), "b");
  ASSERT_TRUE(platform::RemoveFile(b).ok());
  EXPECT_TRUE(platform::RenameNoReplace(a, b).ok());
  EXPECT_FALSE(platform::FileExists(a));
  EXPECT_EQ(Read(b), "a");
  EXPECT_EQ(platform::RenameNoReplace(a, b).code, platform::StatusCode::kNotFound);
  EXPECT_EQ(platform::RemoveFile(a).code, platform::StatusCode::kNotFound);
  EXPECT_FALSE(platform::FileExists(::testing::TempDir()));  // a folder is no file
  std::remove(b.c_str());
}

// Two processes: a writer publishing a few thousand versions of a file under
// one name, and this test reading it all the while. Every read must be one
// whole file from the writer: all its lines of one version, none missing.
TEST(HandoffStress, AReaderNeverSeesAPartOrAMixOfTwoFiles) {
  const std::string name = ::testing::TempDir() + "handoff_stress.txt";
  for (const char* suffix : {"", ".out", ".in"}) std::remove((name + suffix).c_str());
  constexpr int kVersions = 3000;
  std::atomic<bool> done{false};
  int writerStatus = -1;
  std::thread writer([&] {
    const std::string command =
        std::string(MSX_STRESS_WRITER) + " " + name + " " + std::to_string(kVersions);
    writerStatus = std::system(command.c_str());
    done = true;
  });
  std::set<int> seen;
  int reads = 0;
  while (!done || reads == 0) {
    DataLines lines;
    if (!TakeOverDataFile(name, lines)) continue;
    ++reads;
    ASSERT_GE(lines.size(), 2u);
    const std::string_view head = lines[0];
    const int version = std::atoi(std::string(head.substr(0, head.find(','))).c_str());
    const std::size_t expectedLines = 10 + static_cast<std::size_t>(version % 50);
    ASSERT_EQ(lines.size(), expectedLines + 1) << "version " << version;
    for (std::size_t k = 0; k < expectedLines; ++k)
      ASSERT_EQ(lines[k], std::to_string(version) + "," + std::to_string(k)) << k;
    ASSERT_EQ(lines[expectedLines], "");
    seen.insert(version);
  }
  writer.join();
  EXPECT_EQ(writerStatus, 0);
  EXPECT_GT(seen.size(), 1u);
  for (const char* suffix : {"", ".out", ".in"}) std::remove((name + suffix).c_str());
}

}  // namespace
}  // namespace msx
