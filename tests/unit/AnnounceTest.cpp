// The load-time announcement, with a fake host program path and a fake
// message box that stays open until the test closes it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <future>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "common/MSX_QMR_CommonFunc.h"
#include "library/HelpText.h"
#include "library/MSX_QMR.h"
#include "library/MSX_QMR_Announce.h"
#include "library/Registry.h"

namespace msx {
namespace {

using namespace std::chrono_literals;

// The fake box: records what it was asked to show and stays open until
// Close(); a box that is never closed would hang the test, so Close() runs
// in every test's teardown.
struct FakeBox {
  std::mutex m;
  std::condition_variable cv;
  int shown = 0;
  bool open = false;
  bool closed = false;
  std::string text, caption;
  int32_t milliseconds = 0;

  bool WaitShown(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(m);
    return cv.wait_for(lock, limit, [&] { return open; });
  }
  void Close() {
    std::lock_guard<std::mutex> lock(m);
    closed = true;
    cv.notify_all();
  }
};
FakeBox* gBox = nullptr;
std::string gProgramPath;

std::string FakeProgramPath() { return gProgramPath; }
void FakeShowBox(const char* text, const char* caption, int32_t milliseconds) {
  std::unique_lock<std::mutex> lock(gBox->m);
  ++gBox->shown;
  gBox->open = true;
  gBox->text = text;
  gBox->caption = caption;
  gBox->milliseconds = milliseconds;
  gBox->cv.notify_all();
  gBox->cv.wait(lock, [] { return gBox->closed; });
}

class Announce : public ::testing::Test {
 protected:
  void SetUp() override {
    gBox = &box_;
    saved_ = SetAnnouncementPorts({FakeProgramPath, FakeShowBox});
  }
  // A fresh box for the next load; closed at teardown like the first.
  FakeBox& NextBox() {
    gBox = &more_.emplace_back();
    return *gBox;
  }
  void TearDown() override {
    box_.Close();
    for (FakeBox& b : more_) b.Close();
    for (int i = 0; i < 200 && OpenAnnouncements() > 0; ++i)
      std::this_thread::sleep_for(10ms);
    SetAnnouncementPorts(saved_);
    gBox = nullptr;
    LoadUnder("C", "/usr/bin/msxhost");
  }
  // Loads the whole library as the program at path would, under a locale.
  void LoadUnder(const char* locale, const std::string& path) {
    const char* saved = std::getenv("LC_ALL");
    const std::string restore = saved != nullptr ? saved : "";
    setenv("LC_ALL", locale, 1);
    gProgramPath = path;
    LibraryLoad();
    if (saved != nullptr)
      setenv("LC_ALL", restore.c_str(), 1);
    else
      unsetenv("LC_ALL");
  }
  FakeBox box_;
  std::list<FakeBox> more_;
  AnnouncementPorts saved_{};
};

TEST(AnnouncingProgram, IsMswinExeInAnyLetterCase) {
  for (const char* yes : {"C:\\Program Files\\Host\\MSWIN.EXE", "C:\\Host\\mswin.exe",
                          "/opt/host/MsWin.Exe", "MSWIN.EXE", "Z:mswin.exe"})
    EXPECT_TRUE(IsAnnouncingProgram(yes)) << yes;
  for (const char* no : {"", "C:\\Host\\msxhost.exe", "C:\\MSWIN.EXE\\other.exe",
                         "C:\\Host\\MSWIN.EXE.bak", "C:\\Host\\XMSWIN.EXE", "MSWIN", "MSWIN.EX"})
    EXPECT_FALSE(IsAnnouncingProgram(no)) << no;
}

TEST_F(Announce, OtherProgramsShowNoBoxAndUnloadDoesNotWait) {
  LoadUnder("C", "C:\\Host\\msxhost.exe");
  const std::string help(gHelpText.View());
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(box_.shown, 0);
  EXPECT_EQ(OpenAnnouncements(), 0);
  EXPECT_EQ(help.rfind("NRTR -", 0), 0u);  // the help text is not rewritten
  LoadUnder("C", "");  // the path could not be read
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(box_.shown, 0);
}

// The box shows the heading, then exactly the groups that registered (8
// without the Cyrillic code page, 11 with it), an empty line and the credit
// paragraph; unload waits while the box is open and clears the help text.
TEST_F(Announce, TheBoxListsTheRegisteredGroupsAndUnloadWaitsForIt) {
  for (const char* locale : {"C", "ru_RU.UTF-8"}) {
    SCOPED_TRACE(locale);
    // The groups as a load without announcement leaves them: once the
    // announcement thread runs, the help text is its own.
    LoadUnder(locale, "C:\\Host\\msxhost.exe");
    const std::string groups(gHelpText.View());
    FakeBox& box = NextBox();
    LoadUnder(locale, "C:\\Program Files\\Host\\MsWin.exe");
    const int32_t offered = gFunctionRegistry.count;
    ASSERT_TRUE(box.WaitShown(5s));
    EXPECT_EQ(box.shown, 1);
    EXPECT_EQ(OpenAnnouncements(), 1);
    EXPECT_EQ(box.caption, "MetaStock Extention v1.8.0.11");
    EXPECT_EQ(box.milliseconds, 3000);
    EXPECT_EQ(box.text, std::string(kAnnouncementHeading) + groups + "\r\n" +
                            std::string(kAnnouncementCredit));
    EXPECT_EQ(box.text.rfind("          Metastock external functions are based on the "
                             "following publications:\r\n\r\nNRTR -    \"New Russian\"",
                             0),
              0u);
    EXPECT_EQ(offered, std::string(locale) == "C" ? 8 : 11);
    // One group per registered function, in registration order: each
    // begins after an empty line (the heading's included) with its name.
    std::string titles, names;
    for (std::size_t at = 0; (at = box.text.find("\r\n\r\n", at)) != std::string::npos; at += 2) {
      const std::size_t line = at + 4;
      if (line < box.text.size() && box.text[line] != ' ' && box.text[line] != '\r')
        titles += box.text.substr(line, box.text.find(' ', line) - line) + " ";
    }
    for (int32_t i = 0; i < offered; ++i) names += std::string(gFunctionRegistry.rows[i].name) + " ";
    EXPECT_EQ(titles, names);

    auto unload = std::async(std::launch::async, [] { LibraryUnload(false); });
    EXPECT_EQ(unload.wait_for(400ms), std::future_status::timeout);
    box.Close();
    ASSERT_EQ(unload.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(OpenAnnouncements(), 0);
    EXPECT_TRUE(gHelpText.View().empty());
  }
}

// The process is ending: its threads are gone, the count may never fall, and
// unload must not wait for it.
TEST_F(Announce, UnloadAtProcessExitDoesNotWait) {
  LoadUnder("C", "/opt/host/MSWIN.EXE");
  ASSERT_TRUE(box_.WaitShown(5s));
  auto unload = std::async(std::launch::async, [] { LibraryUnload(true); });
  EXPECT_EQ(unload.wait_for(2s), std::future_status::ready);
  EXPECT_EQ(OpenAnnouncements(), 1);
}

// A box that stays open far beyond its timer (a stalled system) holds unload
// up no longer than its lifetime and a margin.
TEST_F(Announce, UnloadWaitsNoLongerThanTheBoxLifetimeAndAMargin) {
  LoadUnder("C", "/opt/host/MSWIN.EXE");
  ASSERT_TRUE(box_.WaitShown(5s));
  const auto start = std::chrono::steady_clock::now();
  LibraryUnload(false);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(kAnnouncementMilliseconds));
  EXPECT_LT(waited, std::chrono::milliseconds(kAnnouncementMilliseconds +
                                              kAnnouncementUnloadMargin + 2000));
  EXPECT_EQ(OpenAnnouncements(), 1);
}

}  // namespace
}  // namespace msx
