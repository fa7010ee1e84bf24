#include "library/MSX_QMR_Announce.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <string>

#include "library/HelpText.h"
#include "library/MSX_QMR.h"
#include "platform/Platform.h"

namespace msx {
namespace {

constexpr AnnouncementPorts kPlatformPorts{platform::HostProgramPath,
                                           platform::ShowSelfClosingMessageBox};
AnnouncementPorts gPorts = kPlatformPorts;

// The host program's path, as read at load: at most 1023 characters. A
// fixed buffer, like the help text, so that no destructor of its own can run
// before the last unload step.
constexpr std::size_t kMostPathCharacters = 1023;
char gHostProgramPath[kMostPathCharacters + 1];
bool gAnnounce = false;
// Raised by the announcement thread while its box is open; read by unload.
std::atomic<int32_t> gOpenAnnouncements{0};

constexpr int32_t kUnloadPollMilliseconds = 100;

void RunAnnouncement() {
  gOpenAnnouncements.fetch_add(1);
  try {
    std::string text;
    text.reserve(kAnnouncementHeading.size() + gHelpText.View().size() + 2 +
                 kAnnouncementCredit.size());
    text += kAnnouncementHeading;
    text += gHelpText.View();
    text += "\r\n";
    text += kAnnouncementCredit;
    gHelpText.Clear();
    gHelpText.Append(text);
    gPorts.showBox(gHelpText.CStr(), kAnnouncementCaption, kAnnouncementMilliseconds);
  } catch (...) {
    // Memory exhausted: no announcement, the library works on.
  }
  gOpenAnnouncements.fetch_sub(1);
}

}  // namespace

bool IsAnnouncingProgram(std::string_view programPath) {
  const std::size_t cut = programPath.find_last_of("\\/:");
  std::string name(cut == std::string_view::npos ? programPath : programPath.substr(cut + 1));
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name == "MSWIN.EXE";
}

AnnouncementPorts SetAnnouncementPorts(const AnnouncementPorts& ports) {
  const AnnouncementPorts previous = gPorts;
  gPorts = ports;
  return previous;
}

int32_t OpenAnnouncements() { return gOpenAnnouncements.load(); }

void LoadAnnounce() {
  gAnnounce = false;
  gHostProgramPath[0] = '\0';
  const std::string path = gPorts.hostProgramPath();
  const std::size_t n = std::min(path.size(), kMostPathCharacters);
  path.copy(gHostProgramPath, n);
  gHostProgramPath[n] = '\0';
  gAnnounce = n > 0 && IsAnnouncingProgram(std::string_view(gHostProgramPath, n));
}

void StartAnnouncement() {
  if (!gAnnounce) return;
  gAnnounce = false;  // one thread per load at most
  // A thread that cannot be started leaves the library as if unannounced.
  platform::StartThread(RunAnnouncement);
}

void UnloadAnnounce() {
  // On Windows the thread holds a reference on the library, so a host that
  // frees it while the box is open unloads it only when the thread has ended;
  // this wait matters where the platform gives no such reference. A process
  // that is ending has killed the thread already; its count would keep
  // unload waiting for ever.
  if (!UnloadingAtProcessExit()) {
    int32_t waited = 0;
    while (gOpenAnnouncements.load() > 0 &&
           waited < kAnnouncementMilliseconds + kAnnouncementUnloadMargin) {
      platform::SleepMilliseconds(kUnloadPollMilliseconds);
      waited += kUnloadPollMilliseconds;
    }
  }
  gHostProgramPath[0] = '\0';
  gHelpText.Clear();
}

}  // namespace msx
