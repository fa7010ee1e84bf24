// The load-time announcement: loaded by the charting host's own program
// (MSWIN.EXE), the library shows the help text of every registered function
// in a message box that closes itself after three seconds. Any other program
// (the formula tester, a script host, a test) loads it without a word.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace msx {

inline constexpr const char* kAnnouncementCaption = "MetaStock Extention v1.8.0.11";
inline constexpr int32_t kAnnouncementMilliseconds = 3000;
// Unload waits for an open box at most its lifetime and this margin: a box
// that outlives its timer (a stalled system) must not hang the host.
inline constexpr int32_t kAnnouncementUnloadMargin = 3000;

// The heading above the help text, and the credit paragraph below it.
inline constexpr std::string_view kAnnouncementHeading =
    "          Metastock external functions are based on the following publications:\r\n\r\n";
inline constexpr std::string_view kAnnouncementCredit =
    "          Library source code: the msx_qmr developers\r\n"
    "          December 2026, questions and reports: the project's issue tracker\r\n";

// True when the program at path is the host's own: its file name, upper-cased,
// is MSWIN.EXE.
bool IsAnnouncingProgram(std::string_view programPath);

// The platform calls the announcement makes; the tests put fakes in.
struct AnnouncementPorts {
  std::string (*hostProgramPath)();
  void (*showBox)(const char* text, const char* caption, int32_t milliseconds);
};
// Replaces the ports; the previous ones are returned. The defaults are the
// platform's.
AnnouncementPorts SetAnnouncementPorts(const AnnouncementPorts& ports);

// How many announcement boxes are open (0 or 1).
int32_t OpenAnnouncements();

// The module's load step: reads the host program's name and decides whether
// to announce. Runs before any function registers.
void LoadAnnounce();
// Starts the announcement thread when the load step decided so; the library
// calls it as the very last step of its load, so that the text holds every
// registered function.
void StartAnnouncement();
// The unload step: waits while a box is open, then clears the help text. It
// does not wait when the process is ending (the thread is gone then and its
// box count can never fall).
void UnloadAnnounce();

}  // namespace msx
