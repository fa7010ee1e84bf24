// The Windows port of the platform seam: the real Win32 API.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <new>

#include "platform/Platform.h"
#include "platform/PortStatus.h"

namespace msx::platform {

Status FromLastError(uint32_t e) {
  Status s;
  s.systemError = static_cast<int64_t>(e);
  switch (e) {
    case ERROR_SUCCESS:
      s.code = StatusCode::kOk;
      break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      s.code = StatusCode::kNotFound;
      break;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      s.code = StatusCode::kExists;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      s.code = StatusCode::kAccessDenied;
      break;
    default:
      s.code = StatusCode::kIoError;
      break;
  }
  return s;
}

namespace {


std::string ModulePath(HMODULE module) {
  char buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(module, buffer, sizeof buffer - 1);
  if (n < 1 || n >= sizeof buffer - 1) return {};
  return std::string(buffer, n);
}

}  // namespace

int32_t OemCodePage() { return static_cast<int32_t>(GetOEMCP()); }

void ConvertAnsiToOem(char* text, std::size_t length) {
  if (length == 0) return;
  CharToOemBuffA(text, text, static_cast<DWORD>(length));  // in place is allowed
}

// ---- Data exchange between charts: the data file's handoff, the locale's
// ---- date, time and number texts for user patterns --------------------------

bool FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

Status RemoveFile(const std::string& path) {
  return FromLastError(DeleteFileA(path.c_str()) ? ERROR_SUCCESS : GetLastError());
}

Status RenameNoReplace(const std::string& from, const std::string& to) {
  // Without MOVEFILE_REPLACE_EXISTING, MoveFileA fails when the target exists.
  return FromLastError(MoveFileA(from.c_str(), to.c_str()) ? ERROR_SUCCESS : GetLastError());
}

namespace {
// Writes the bytes at the handle's position in one write: the system's error,
// or disk full for a write that stopped short.
DWORD WriteAll(HANDLE h, std::string_view bytes) {
  if (bytes.empty()) return ERROR_SUCCESS;
  DWORD written = 0;
  if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
    return GetLastError();
  return written == bytes.size() ? ERROR_SUCCESS : ERROR_HANDLE_DISK_FULL;
}

// Writes the bytes at the handle's position in one write and closes it.
Status WriteAndClose(HANDLE h, std::string_view bytes) {
  const DWORD error = WriteAll(h, bytes);
  CloseHandle(h);
  return FromLastError(error);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}  // namespace

Status ReplaceFileContent(const std::string& path, std::string_view bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FromLastError(GetLastError());
  return WriteAndClose(h, bytes);
}

Status ReadWholeFile(const std::string& path, std::string* bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FromLastError(GetLastError());
  bytes->clear();
  LARGE_INTEGER size{};
  if (GetFileSizeEx(h, &size) && size.QuadPart > 0 && size.QuadPart < 0x40000000)
    bytes->reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[65536];
  DWORD error = ERROR_SUCCESS;
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h, buffer, sizeof buffer, &n, nullptr)) {
      error = GetLastError();
      break;
    }
    if (n == 0) break;
    bytes->append(buffer, n);
  }
  CloseHandle(h);
  return FromLastError(error);
}

void* HoldFileExclusively(const std::string& path) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<void*>(h);
}

void ReleaseHeldFile(void* hold) {
  if (hold != nullptr) CloseHandle(reinterpret_cast<HANDLE>(hold));
}

namespace {

std::string LocaleText(LCTYPE type, const std::string& fallback) {
  char buffer[256];
  const int n = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof buffer);
  return n > 1 ? std::string(buffer, static_cast<std::size_t>(n - 1)) : fallback;
}

int32_t LocaleNumber(LCTYPE type, int32_t fallback, int32_t highest) {
  const std::string text = LocaleText(type, {});
  if (text.empty()) return fallback;
  int32_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return fallback;
    v = v * 10 + (c - '0');
    if (v > highest) return fallback;
  }
  return v;
}

// A Windows date or time picture ("M/d/yyyy", "h:mm:ss tt") in the
// date-time pattern language: M is the month and m the minute there, H the
// hour of the 24-hour clock, tt the AM/PM text; other letters are quoted.
std::string PatternOfPicture(const std::string& picture) {
  std::string out;
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const char c = picture[i];
    switch (c) {
      case 'M':
        out += 'm';
        break;
      case 'm':
        out += 'n';
        break;
      case 'H':
      case 'h':
        out += 'h';
        break;
      case 'd':
      case 'y':
      case 's':
      case 'g':
        out += c;
        break;
      case 't':
        while (i + 1 < picture.size() && picture[i + 1] == 't') ++i;
        out += "ampm";
        break;
      case '\'': {
        const std::size_t close = picture.find('\'', i + 1);
        const std::size_t end = close == std::string::npos ? picture.size() : close + 1;
        out += picture.substr(i, end - i);
        i = end - 1;
        break;
      }
      default:
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '"')
          out += c == '"' ? std::string("'\"'") : std::string("\"") + c + "\"";
        else
          out += c;
        break;
    }
  }
  return out;
}

}  // namespace

LocaleFormats UserLocaleFormats() {
  LocaleFormats f;
  for (int i = 0; i < 7; ++i) {  // Windows counts the days from Monday
    const LCTYPE k = static_cast<LCTYPE>((i + 6) % 7);
    f.shortDayNames[i] = LocaleText(LOCALE_SABBREVDAYNAME1 + k, f.shortDayNames[i]);
    f.longDayNames[i] = LocaleText(LOCALE_SDAYNAME1 + k, f.longDayNames[i]);
  }
  for (int i = 0; i < 12; ++i) {
    const LCTYPE k = static_cast<LCTYPE>(i);
    f.shortMonthNames[i] = LocaleText(LOCALE_SABBREVMONTHNAME1 + k, f.shortMonthNames[i]);
    f.longMonthNames[i] = LocaleText(LOCALE_SMONTHNAME1 + k, f.longMonthNames[i]);
  }
  const std::string shortDate = LocaleText(LOCALE_SSHORTDATE, {});
  const std::string longDate = LocaleText(LOCALE_SLONGDATE, {});
  const std::string longTime = LocaleText(LOCALE_STIMEFORMAT, {});
  const std::string shortTime = LocaleText(LOCALE_SSHORTTIME, {});
  if (!shortDate.empty()) f.shortDateFormat = PatternOfPicture(shortDate);
  if (!longDate.empty()) f.longDateFormat = PatternOfPicture(longDate);
  if (!longTime.empty()) f.longTimeFormat = PatternOfPicture(longTime);
  if (!shortTime.empty()) f.shortTimeFormat = PatternOfPicture(shortTime);
  f.amText = LocaleText(LOCALE_S1159, f.amText);
  f.pmText = LocaleText(LOCALE_S2359, f.pmText);
  f.dateSeparator = LocaleText(LOCALE_SDATE, f.dateSeparator);
  f.timeSeparator = LocaleText(LOCALE_STIME, f.timeSeparator);
  f.thousandSeparator = LocaleText(LOCALE_STHOUSAND, f.thousandSeparator);
  f.currencySymbol = LocaleText(LOCALE_SCURRENCY, f.currencySymbol);
  f.currencyFormat = LocaleNumber(LOCALE_ICURRENCY, f.currencyFormat, 3);
  f.negativeCurrencyFormat = LocaleNumber(LOCALE_INEGCURR, f.negativeCurrencyFormat, 15);
  f.currencyDecimals = LocaleNumber(LOCALE_ICURRDIGITS, f.currencyDecimals, 18);
  char era[64];
  const int n = GetCalendarInfoA(LOCALE_USER_DEFAULT, CAL_GREGORIAN, CAL_SERASTRING, era,
                                 sizeof era, nullptr);
  if (n > 1) f.eraName.assign(era, static_cast<std::size_t>(n - 1));
  return f;
}

namespace {
Status Append(const std::string& path, std::string_view bytes, int64_t* before, bool wholeLine) {
  // Opened for reading too, to see how the file ends.
  HANDLE h = wholeLine ? CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : INVALID_HANDLE_VALUE;
  const bool readable = h != INVALID_HANDLE_VALUE;
  if (!readable)
    h = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FromLastError(GetLastError());
  LARGE_INTEGER start{};
  std::string text;
  if (readable && !bytes.empty() && GetFileSizeEx(h, &start) && start.QuadPart > 0) {
    LARGE_INTEGER at{};
    at.QuadPart = start.QuadPart - 1;
    char last = '\n';
    DWORD got = 0;
    if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ReadFile(h, &last, 1, &got, nullptr) &&
        got == 1)
      text = LineEndAfter(last);
  }
  if (!SetFilePointerEx(h, LARGE_INTEGER{}, &start, FILE_END)) {
    const DWORD error = GetLastError();
    CloseHandle(h);
    return FromLastError(error);
  }
  const std::size_t lineEnd = text.size();
  text.append(bytes);
  if (before != nullptr) *before = start.QuadPart + static_cast<int64_t>(lineEnd);
  const DWORD error = WriteAll(h, text);
  if (error != ERROR_SUCCESS && SetFilePointerEx(h, start, nullptr, FILE_BEGIN))
    SetEndOfFile(h);  // nothing of a failed line stays
  CloseHandle(h);
  return FromLastError(error);
}
}  // namespace

Status AppendToFile(const std::string& path, std::string_view bytes, int64_t* before) {
  return Append(path, bytes, before, false);
}

Status AppendLineToFile(const std::string& path, std::string_view line, int64_t* before) {
  return Append(path, line, before, true);
}

Status FileLength(const std::string& path, int64_t* length) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a))
    return FromLastError(GetLastError());
  *length = static_cast<int64_t>((static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow);
  return {};
}

Status TruncateFile(const std::string& path, int64_t length) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FromLastError(GetLastError());
  DWORD error = ERROR_SUCCESS;
  LARGE_INTEGER size{}, at{};
  at.QuadPart = length;
  if (!GetFileSizeEx(h, &size))
    error = GetLastError();
  else if (size.QuadPart > length &&
           (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !SetEndOfFile(h)))
    error = GetLastError();
  CloseHandle(h);
  return FromLastError(error);
}

// ---- Trading: the trade files, the creation time (the settings file:
// ---- ProfileWin32.cpp) ----------------------------------------------------

LocalTime CurrentLocalTime() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

char PathSeparator() { return '\\'; }

const char* DefaultTradeDirectory() { return "C:\\"; }

std::string LibraryPath() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&LibraryPath), &self))
    return {};
  return ModulePath(self);
}

std::string HostProgramPath() { return ModulePath(nullptr); }

void WriteStandardOutput(std::string_view bytes) {
  static const bool binary = [] {
    std::fflush(stdout);
    return _setmode(_fileno(stdout), _O_BINARY) != -1;
  }();
  (void)binary;
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void WriteStandardError(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

void SleepMilliseconds(int32_t milliseconds) {
  if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

namespace {

// The module (library or program) this code is part of, with one more
// reference on it; nullptr when it cannot be had.
HMODULE ReferenceOwnModule() {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                          reinterpret_cast<LPCSTR>(&ReferenceOwnModule), &self))
    return nullptr;
  return self;
}

struct ThreadStart {
  void (*routine)();
  HMODULE self;
};

DWORD WINAPI RunThreadRoutine(LPVOID parameter) {
  const ThreadStart start = *static_cast<ThreadStart*>(parameter);
  delete static_cast<ThreadStart*>(parameter);
  start.routine();
  // The thread's reference ends with the thread, in code outside this
  // library: unloading may happen right here.
  if (start.self != nullptr) FreeLibraryAndExitThread(start.self, 0);
  return 0;
}

// The thread timer's callback: the quit message ends the message box's modal
// loop, which closes the box.
VOID CALLBACK QuitOnTimer(HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); }

}  // namespace

bool StartThread(void (*routine)()) {
  ThreadStart* start = new (std::nothrow) ThreadStart{routine, ReferenceOwnModule()};
  if (start == nullptr) return false;
  const HMODULE self = start->self;
  HANDLE h = CreateThread(nullptr, 0, RunThreadRoutine, start, 0, nullptr);
  if (h == nullptr) {
    delete start;
    if (self != nullptr) FreeLibrary(self);
    return false;
  }
  CloseHandle(h);  // the thread runs on; nobody waits for its handle
  return true;
}

void ShowSelfClosingMessageBox(const char* text, const char* caption, int32_t milliseconds) {
  const UINT_PTR timer =
      SetTimer(nullptr, 0, static_cast<UINT>(milliseconds > 0 ? milliseconds : 0), QuitOnTimer);
  MessageBoxA(nullptr, text, caption, MB_OK | MB_SYSTEMMODAL);
  if (timer != 0) KillTimer(nullptr, timer);
}

namespace {
BOOL CALLBACK AppendChildText(HWND child, LPARAM texts) {
  char buffer[16384];
  const int n = GetWindowTextA(child, buffer, sizeof buffer);
  std::string& out = *reinterpret_cast<std::string*>(texts);
  out.append(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  out += '\n';
  return TRUE;
}
}  // namespace

bool FindTopLevelWindow(const char* caption, std::string* text) {
  HWND window = FindWindowA(nullptr, caption);
  if (window == nullptr || !IsWindowVisible(window)) return false;
  if (text != nullptr) {
    text->clear();
    EnumChildWindows(window, AppendChildText, reinterpret_cast<LPARAM>(text));
  }
  return true;
}

void* OpenLibrary(const std::string& path, std::string* error) {
  HMODULE h = LoadLibraryA(path.c_str());
  if (h == nullptr && error != nullptr) {
    const DWORD code = GetLastError();
    char text[256] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, text, sizeof text, nullptr);
    std::string reason(text, n);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                               reason.back() == ' ' || reason.back() == '.'))
      reason.pop_back();
    *error = "Windows error " + std::to_string(code) + (reason.empty() ? "" : ": " + reason);
  }
  return reinterpret_cast<void*>(h);
}

void* FindSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

const char* LibraryFileName() { return "msx_qmr.dll"; }

}  // namespace msx::platform
