// The Windows port of the platform seam: the real Win32 API.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/Platform.h"

namespace msx::platform {
namespace {

Status FromLastError(DWORD e) {
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

Status AppendToFile(const std::string& path, std::string_view bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FromLastError(GetLastError());
  DWORD error = ERROR_SUCCESS;
  if (SetFilePointer(h, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR) {
    error = GetLastError();
  } else if (!bytes.empty()) {
    DWORD written = 0;
    if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
      error = GetLastError();
    else if (written != bytes.size())
      error = ERROR_WRITE_FAULT;
  }
  CloseHandle(h);
  return FromLastError(error);
}

// ---- Trading: the settings file, the trade files, the creation time -----

std::string ReadProfileText(const std::string& path, const std::string& section,
                            const std::string& key, const std::string& defaultValue) {
  char buffer[kProfileValueLimit + 1];
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                           buffer, sizeof buffer, path.c_str());
  return std::string(buffer, n < sizeof buffer ? n : kProfileValueLimit);
}

Status WriteProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
  if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()))
    return FromLastError(GetLastError());
  return {};
}

bool ProfileSectionHasKeys(const std::string& path, const std::string& section) {
  // With no key name the API lists the section's keys; one character is enough.
  char buffer[4] = {};
  return GetPrivateProfileStringA(section.c_str(), nullptr, "", buffer, sizeof buffer,
                                  path.c_str()) > 0;
}

Status FlushProfile(const std::string& path) {
  // Three null arguments write the profile cache of that file back.
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
  return {};
}

Status RemoveFile(const std::string& path) {
  if (!DeleteFileA(path.c_str())) return FromLastError(GetLastError());
  return {};
}

LocalTime CurrentLocalTime() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

char TimeSeparator() {
  char buffer[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, buffer, sizeof buffer) > 1)
    return buffer[0];
  return ':';
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
