// The Windows port's settings file: the real profile API, its writes under
// a named mutex that every process shares.
#include <windows.h>

#include <charconv>
#include <cstdint>

#include "platform/Platform.h"
#include "platform/PortStatus.h"

namespace msx::platform {

std::string ReadProfileText(const std::string& path, const std::string& section,
                            const std::string& key, const std::string& defaultValue) {
  char buffer[kProfileValueLimit + 1];
  const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                           buffer, sizeof buffer, path.c_str());
  return std::string(buffer, n < sizeof buffer ? n : kProfileValueLimit);
}

namespace {
// The name of the mutex that every process shares for one file: from its
// full path in upper case (Windows names compare without regard to case),
// hashed so that any path makes a name within the limit.
std::string MutexNameFor(const std::string& path) {
  char full[MAX_PATH * 4];
  const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  std::string p = n > 0 && n < sizeof full ? std::string(full, n) : path;
  if (!p.empty()) CharUpperBuffA(p.data(), static_cast<DWORD>(p.size()));
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char c : p) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char digits[17] = {};
  std::to_chars(digits, digits + 16, hash, 16);
  return std::string("Local\\msx_qmr settings ") + digits;
}
}  // namespace

void* LockAcrossProcesses(const std::string& path) {
  HANDLE m = CreateMutexA(nullptr, FALSE, MutexNameFor(path).c_str());
  if (m == nullptr) return nullptr;
  // WAIT_ABANDONED: the holder ended while holding it; the lock is ours, and
  // the files tell what the holder had done.
  const DWORD r = WaitForSingleObject(m, INFINITE);
  if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED) {
    CloseHandle(m);
    return nullptr;
  }
  return m;
}

void UnlockAcrossProcesses(void* lock) {
  if (lock == nullptr) return;
  ReleaseMutex(static_cast<HANDLE>(lock));
  CloseHandle(static_cast<HANDLE>(lock));
}

void RemoveStaleProfileFiles(const std::string& /*path*/) {}

Status WriteProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
  // The profile API reads the whole file and writes it back: two processes
  // at once would each drop what the other wrote.
  void* const lock = LockAcrossProcesses(path);
  const BOOL written =
      WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str());
  const DWORD error = written ? ERROR_SUCCESS : GetLastError();
  UnlockAcrossProcesses(lock);
  return FromLastError(error);
}

Status DeleteProfileKey(const std::string& path, const std::string& section,
                        const std::string& key) {
  // A null value deletes the key; a missing file or key is no error.
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
  void* const lock = LockAcrossProcesses(path);
  const BOOL written =
      WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, path.c_str());
  const DWORD error = written ? ERROR_SUCCESS : GetLastError();
  UnlockAcrossProcesses(lock);
  return FromLastError(error);
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

}  // namespace msx::platform
