// The one seam between the library and the operating system. One port per
// platform (PlatformWin32.cpp, PlatformPosix.cpp), picked by the build; no
// other file includes a system header.
//
// Calls that can fail return a Status; none throws. The caller decides which
// statuses become faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace msx::platform {

enum class StatusCode {
  kOk,
  kNotFound,      // the file or folder is not there
  kExists,        // the target is already there
  kAccessDenied,  // refused: permissions, or held open by another process
  kIoError,       // anything else
};

struct Status {
  StatusCode code = StatusCode::kOk;
  int64_t systemError = 0;  // errno or GetLastError(), 0 when ok
  bool ok() const { return code == StatusCode::kOk; }
};

// ---- Code pages -----------------------------------------------------------

// The number of the system's OEM code page: Windows asks GetOEMCP. POSIX
// assigns it from the locale named by LC_ALL, LC_CTYPE or LANG (the first
// that is set) as Windows would for that language: Russian 866; C, POSIX and
// English 437; Western European languages 850.
int32_t OemCodePage();

// Converts text in place from the system's ANSI code page to its OEM code page;
// the length does not change. Windows: CharToOemBuffA. POSIX: the identity for
// UTF-8 text; otherwise each byte through iconv from the locale's charset to
// the OEM code page, unmappable bytes becoming "?".
void ConvertAnsiToOem(char* text, std::size_t length);

// ---- Files ----------------------------------------------------------------

// Appends bytes at the end of the file in one write, creating the file when
// it is missing. The file is opened without sharing restrictions, so other
// processes may read and write it meanwhile. Fails when the file cannot be
// opened (held without write sharing elsewhere, a missing folder) or written.
// A write that fails or stops short (a full disk, a size limit) is undone:
// the file is cut back to its length before the call, so it never ends in a
// part of the bytes. When before is given it receives that length: where
// the bytes went.
Status AppendToFile(const std::string& path, std::string_view bytes, int64_t* before = nullptr);

// AppendToFile for whole lines: when the file does not end in a line feed
// (a writer killed in the middle of its line left a fragment), the line end
// goes first, in the same write, so that the fragment stays a line of its
// own and the new line is never glued onto it. before receives where the
// line went. A file that may be written but not read (a terminal holding it
// without read sharing) is appended to as it is.
Status AppendLineToFile(const std::string& path, std::string_view line,
                        int64_t* before = nullptr);

// What AppendLineToFile writes first after a file's last byte: nothing after a
// line feed, the missing line feed after a CR, CR LF after anything else.
inline std::string_view LineEndAfter(char lastByte) {
  return lastByte == '\n' ? std::string_view() : (lastByte == '\r' ? "\n" : "\r\n");
}

// The file's length in bytes. Fails (kNotFound) when there is none.
Status FileLength(const std::string& path, int64_t* length);

// Cuts the file to its first length bytes; a file no longer than that stays
// as it is. Fails when the file cannot be opened for writing.
Status TruncateFile(const std::string& path, int64_t length);

// ---- Data exchange between charts: the data file's handoff, the locale's
// ---- date, time and number texts for user patterns --------------------------

// True when a file (not a folder) is at path.
bool FileExists(const std::string& path);

// Deletes the file. Fails (kNotFound) when there is none; on Windows
// (DeleteFileA) also while another process holds it open without delete
// sharing.
Status RemoveFile(const std::string& path);

// Gives the file `from` the name `to` in one atomic step, and fails with
// kExists when `to` is there: never replaces. Windows: MoveFileA without
// flags. POSIX: renameat2 with RENAME_NOREPLACE, or where the file system
// lacks it, link then unlink.
Status RenameNoReplace(const std::string& from, const std::string& to);

// Creates the file, or empties an existing one, and writes the bytes in one
// write. Opened without sharing restrictions, like AppendToFile.
Status ReplaceFileContent(const std::string& path, std::string_view bytes);

// Reads the whole file into *bytes (replacing what was there). Opened so
// that other processes may go on reading, writing, renaming and deleting it.
Status ReadWholeFile(const std::string& path, std::string* bytes);

// Holds the file open the way a foreign program may: on Windows without any
// sharing, so that deleting, renaming and writing it fail until it is
// released; POSIX has no such modes and the hold denies nothing. For tests
// that play such a program. Returns nullptr when the file cannot be opened.
void* HoldFileExclusively(const std::string& path);
void ReleaseHeldFile(void* hold);

// Names and formats of the user's locale, as the date-time and value
// patterns use them. Formats are in the date-time pattern language (d m y h
// n s z, "/" and ":" for the separators, ampm, quoted literals). The defaults
// are the C locale's.
struct LocaleFormats {
  std::string shortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::string longDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
  std::string shortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string longMonthNames[12] = {"January",   "February", "March",    "April",
                                    "May",       "June",     "July",     "August",
                                    "September", "October",  "November", "December"};
  std::string shortDateFormat = "mm/dd/yy";
  std::string longDateFormat = "ddd mmm d yyyy";
  std::string shortTimeFormat = "hh:nn";
  std::string longTimeFormat = "hh:nn:ss";
  std::string amText = "AM";
  std::string pmText = "PM";
  std::string dateSeparator = "/";
  std::string timeSeparator = ":";
  std::string eraName = "A.D.";
  std::string thousandSeparator;       // none
  std::string currencySymbol;          // none
  int32_t currencyFormat = 0;          // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int32_t negativeCurrencyFormat = 1;  // 0 to 15, as Windows numbers them; 1 is "-$1"
  int32_t currencyDecimals = 2;
};

// The user's locale. Windows: GetLocaleInfoA of the user default locale.
// POSIX: the LC_TIME, LC_NUMERIC and LC_MONETARY locales named by the
// environment, through nl_langinfo_l and localeconv; what a locale lacks
// keeps the C locale's value.
LocaleFormats UserLocaleFormats();

// ---- Trading: the settings file, the trade files, the creation time -----

// The settings file is read and written through the private-profile model:
// sections headed "[name]", lines "key=value"; section and key names compare
// without regard to case; blanks around names and values do not count, nor
// one pair of quotes around a value. There is no cache: every read sees the
// file as it is at that moment. Keys before the first section header form the
// section with the empty name. Windows: the real profile API. POSIX: an INI
// module of our own with the same rules, whose every write replaces the
// whole file atomically (a temporary file beside it, flushed, then renamed
// over it), so that a crash or a full disk leaves the old file or the new
// one, never a part of either.

// The value of key in section, cut to kProfileValueLimit characters, or
// defaultValue when the file, the section or the key is missing.
inline constexpr std::size_t kProfileValueLimit = 2047;
std::string ReadProfileText(const std::string& path, const std::string& section,
                            const std::string& key, const std::string& defaultValue);

// Sets key in section to value, adding the section (at the end of the file)
// and the key (at the end of the section) as needed and creating the file
// when it is missing. Names and values must be storable: no CR or LF, no "="
// in a key (TradingSettings checks). Fails when the file cannot be written;
// the file is then unchanged. Holds LockAcrossProcesses(path) meanwhile.
Status WriteProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

// Removes key from section; a missing file, section or key is no error and
// writes nothing. Fails when the file cannot be written; it is then
// unchanged. Holds LockAcrossProcesses(path) meanwhile.
Status DeleteProfileKey(const std::string& path, const std::string& section,
                        const std::string& key);

// True when section holds at least one key.
bool ProfileSectionHasKeys(const std::string& path, const std::string& section);

// Makes every profile write so far durable in the file (Windows writes back
// its profile cache; POSIX writes are durable when they return).
Status FlushProfile(const std::string& path);

// Removes what writers of the settings file killed in the middle of a write
// left beside it. POSIX: the temporary files path + ".tmp<pid>_<n>" whose
// writing process no longer exists (a live writer's file is never touched);
// WriteProfileText does this before each write. Windows: nothing (the
// profile API leaves no such files).
void RemoveStaleProfileFiles(const std::string& path);

// A lock shared by every process that takes it for the same file, and by
// every thread of each: blocks until the calling thread holds it. A thread
// that holds it may take it again; each take needs its release, and the
// lock is free again at the last one. A process that ends (killed included)
// loses its hold. Every profile write takes it for the file it writes, so
// writers of several processes never drop each other's keys; a caller that
// reads and writes several keys as one step holds it around the whole step.
// Windows: a named mutex whose name is derived from the file's full path
// (letter case aside). POSIX: flock on a lock file beside it, path +
// ".lock", created when missing; where no lock file can be opened (a folder
// that cannot be written, where the settings cannot be written either) only
// the threads of this process take turns. The handle goes to
// UnlockAcrossProcesses; it is nullptr, holding nothing, only where Windows
// can make no mutex at all.
void* LockAcrossProcesses(const std::string& path);
void UnlockAcrossProcesses(void* lock);

// The current local date and time (the locale's time separator is in
// UserLocaleFormats).
struct LocalTime {
  int32_t year, month, day, hour, minute, second;
};
LocalTime CurrentLocalTime();

// The separator between a folder and a name: "\\" on Windows, "/" on POSIX.
char PathSeparator();

// The folder for trade files in a fresh settings file: "C:\\" on Windows;
// empty on POSIX (the current directory).
const char* DefaultTradeDirectory();

// ---- Processes and modules ------------------------------------------------

// The full path of this library's own file; empty when it cannot be read.
std::string LibraryPath();

// The full path of the process's main executable (the program that started
// the process, not this library); empty when it cannot be read.
std::string HostProgramPath();

// Writes the bytes to standard output or standard error exactly as given:
// "\n" stays "\n" on every platform (Windows opens standard output in text
// mode; the port switches it to binary), so outputs compare byte for byte.
void WriteStandardOutput(std::string_view bytes);
void WriteStandardError(std::string_view bytes);

// Sleeps the calling thread.
void SleepMilliseconds(int32_t milliseconds);

// ---- The load-time announcement -------------------------------------------

// Starts routine on a new thread of its own (default stack size, no
// argument) and lets it run to its end unattended. Returns false when no
// thread could be started. Windows: CreateThread; a thread started while the
// library loads first runs once the load has finished. The thread holds a
// reference on the library (or program) that started it and drops it as it
// ends (FreeLibraryAndExitThread): freeing the library meanwhile returns at
// once and the library is unloaded when the thread has ended, never under
// its feet. (Waiting for the thread inside the unload would deadlock: the
// unload holds the loader lock, which a thread showing a window may need.)
// POSIX: a detached pthread, without such a reference.
bool StartThread(void (*routine)());

// Shows text in a system-modal message box without an owner window, with
// the caption, an OK button and no icon, and returns when the user pressed
// OK or, without any input, after the given milliseconds: a thread timer
// posts a quit message to the calling thread's queue, which ends the box's
// modal loop. Windows: SetTimer, MessageBoxA, KillTimer. POSIX has no such
// box (no host program shows one there): returns at once.
void ShowSelfClosingMessageBox(const char* text, const char* caption, int32_t milliseconds);

// Looks for a visible top-level window with exactly this caption, for the test that
// watches the announcement from outside. When there is one, returns true and
// puts the texts of its child windows (a message box's message and its
// button), each followed by "\n", into *text. POSIX has no such windows:
// false.
bool FindTopLevelWindow(const char* caption, std::string* text);

// ---- Loading a library (the formula tester, the end-to-end tests) ---------

// Loads a dynamic library by path. On failure returns nullptr and describes
// why in *error.
void* OpenLibrary(const std::string& path, std::string* error);

// The address of an exported symbol, or nullptr.
void* FindSymbol(void* library, const char* name);

void CloseLibrary(void* library);

// The file name of the library as the build names it on this platform:
// "msx_qmr.dll" or "msx_qmr.so".
const char* LibraryFileName();

}  // namespace msx::platform
