// Watches the library's load-time announcement from outside, for the window
// check of the Windows suite (tests/windows/run_suite.sh):
//
//   msx_window_check watch LIMIT_MS MARKER  waits up to LIMIT_MS for the box;
//       when it is there, writes its text into MARKER (the suite then takes
//       a screenshot) and waits for it to close; prints how long it was open.
//       Exit 0 when the box opened and closed by itself within 5 seconds.
//   msx_window_check absent LIMIT_MS  exit 0 when no box appears in LIMIT_MS.
//   msx_window_check free DLL  loads the library (run it as MSWIN.EXE), waits
//       for the box and frees the library while the box is open. Exit 0 when
//       freeing returned at once, the box closed by itself and the process
//       ran on (the library unloads after its thread has ended).
//   msx_window_check hold DLL  loads the library and keeps it until the box
//       has closed by itself.
//   msx_window_check exit DLL  loads the library, waits for the box and ends
//       the process while the box is open (the suite checks that it ends).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Platform.h"

namespace {

constexpr const char* kCaption = "MetaStock Extention v1.8.0.11";
constexpr int32_t kPollMilliseconds = 10;
// The box closes itself after 3000 ms; Wine may add a little.
constexpr int64_t kLongestOpenMilliseconds = 5000;

using Clock = std::chrono::steady_clock;

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Polls until the box's presence is `present` or the limit has passed.
bool WaitFor(bool present, int64_t limitMilliseconds, std::string* text = nullptr) {
  const auto start = Clock::now();
  while (MillisecondsSince(start) < limitMilliseconds) {
    if (msx::platform::FindTopLevelWindow(kCaption, text) == present) return true;
    msx::platform::SleepMilliseconds(kPollMilliseconds);
  }
  return false;
}

void Say(const std::string& line) { msx::platform::WriteStandardOutput(line + "\n"); }

int Watch(int64_t limit, const std::string& marker) {
  std::string text;
  if (!WaitFor(true, limit, &text)) {
    Say("no window \"" + std::string(kCaption) + "\" appeared");
    return 1;
  }
  const auto opened = Clock::now();
  Say("window \"" + std::string(kCaption) + "\" found; its text:");
  Say(text);
  msx::platform::ReplaceFileContent(marker, text);
  if (!WaitFor(false, 20000)) {
    Say("the window did not close");
    return 1;
  }
  const int64_t open = MillisecondsSince(opened);
  Say("the window closed by itself " + std::to_string(open) + " ms after it was found");
  return open <= kLongestOpenMilliseconds ? 0 : 1;
}

void* Load(const std::string& dll) {
  std::string error;
  void* library = msx::platform::OpenLibrary(dll, &error);
  if (library == nullptr) Say("cannot load " + dll + ": " + error);
  return library;
}

int FreeWhileOpen(const std::string& dll) {
  void* library = Load(dll);
  if (library == nullptr) return 1;
  if (!WaitFor(true, 20000)) {
    Say("no window appeared");
    return 1;
  }
  const auto start = Clock::now();
  msx::platform::CloseLibrary(library);
  const int64_t took = MillisecondsSince(start);
  const bool closed = WaitFor(false, kLongestOpenMilliseconds);
  const int64_t open = MillisecondsSince(start);
  // The library unloads once its thread has ended; the process must run on.
  msx::platform::SleepMilliseconds(500);
  Say("FreeLibrary returned after " + std::to_string(took) + " ms; the box " +
      (closed ? "closed by itself " + std::to_string(open) + " ms after it" : "STAYED OPEN") +
      "; the process runs on");
  return closed && took < 1000 ? 0 : 1;
}

// Loads the library and keeps it until its box has closed by itself.
int HoldUntilClosed(const std::string& dll) {
  void* library = Load(dll);
  if (library == nullptr) return 1;
  const bool shown = WaitFor(true, 20000);
  const auto start = Clock::now();
  const bool closed = shown && WaitFor(false, 20000);
  Say(std::string(shown ? "shown" : "not shown") + ", " + (closed ? "closed" : "not closed") +
      " after " + std::to_string(MillisecondsSince(start)) + " ms");
  msx::platform::CloseLibrary(library);
  return closed ? 0 : 1;
}

int ExitWhileOpen(const std::string& dll) {
  if (Load(dll) == nullptr) return 1;
  if (!WaitFor(true, 20000)) {
    Say("no window appeared");
    return 1;
  }
  Say("ending the process while the window is open");
  std::exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "watch" && argc == 4) return Watch(std::atoll(argv[2]), argv[3]);
  if (mode == "absent" && argc == 3) {
    if (WaitFor(true, std::atoll(argv[2]))) {
      Say("a window \"" + std::string(kCaption) + "\" appeared");
      return 1;
    }
    return 0;
  }
  if (mode == "free" && argc == 3) return FreeWhileOpen(argv[2]);
  if (mode == "hold" && argc == 3) return HoldUntilClosed(argv[2]);
  if (mode == "exit" && argc == 3) return ExitWhileOpen(argv[2]);
  std::fputs("usage: msx_window_check watch LIMIT_MS MARKER | absent LIMIT_MS | free DLL | exit DLL\n",
             stderr);
  return 2;
}
