// The POSIX port of the platform seam.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/IniText.h"
#include "platform/Platform.h"

namespace msx::platform {
namespace {

Status FromErrno(int e) {
  Status s;
  s.systemError = e;
  switch (e) {
    case 0:
      s.code = StatusCode::kOk;
      break;
    case ENOENT:
    case ENOTDIR:
      s.code = StatusCode::kNotFound;
      break;
    case EEXIST:
      s.code = StatusCode::kExists;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      s.code = StatusCode::kAccessDenied;
      break;
    default:
      s.code = StatusCode::kIoError;
      break;
  }
  return s;
}

// The locale name in force for character types, as the C library would pick it.
std::string LocaleName() {
  for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char* v = std::getenv(var);
    if (v != nullptr && *v != '\0') return v;
  }
  return "C";
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "ru_RU.CP1251@euro" -> language "ru", charset "cp1251".
void SplitLocale(const std::string& name, std::string* language, std::string* charset) {
  const std::string n = Lower(name);
  const std::size_t cut = n.find_first_of("_.@");
  *language = n.substr(0, cut);
  const std::size_t dot = n.find('.');
  if (dot == std::string::npos) {
    charset->clear();
  } else {
    const std::size_t at = n.find('@', dot);
    *charset = n.substr(dot + 1, at == std::string::npos ? std::string::npos : at - dot - 1);
  }
}

struct LanguageCodePage {
  const char* language;
  int32_t codePage;
};

// The OEM code page Windows assigns to a language's locales.
constexpr LanguageCodePage kOemCodePages[] = {
    {"ru", 866}, {"uk", 866}, {"be", 866}, {"bg", 866},  // Cyrillic
    {"de", 850}, {"fr", 850}, {"es", 850}, {"it", 850}, {"pt", 850}, {"nl", 850},
    {"da", 850}, {"sv", 850}, {"nb", 850}, {"nn", 850}, {"no", 850}, {"fi", 850},
    {"is", 850}, {"ca", 850}, {"eu", 850}, {"gl", 850}, {"ga", 850},  // Western European
    {"pl", 852}, {"cs", 852}, {"sk", 852}, {"hu", 852}, {"sl", 852}, {"hr", 852},
    {"ro", 852},                                         // Central European
    {"el", 737}, {"tr", 857}, {"he", 862}, {"ar", 720},  // Greek, Turkish, Hebrew, Arabic
    {"lt", 775}, {"lv", 775}, {"et", 775},               // Baltic
    {"ja", 932}, {"zh", 936}, {"ko", 949},               // East Asian
};

bool IsUtf8(const std::string& charset) { return charset == "utf-8" || charset == "utf8"; }

}  // namespace

int32_t OemCodePage() {
  std::string language, charset;
  SplitLocale(LocaleName(), &language, &charset);
  for (const LanguageCodePage& entry : kOemCodePages)
    if (language == entry.language) return entry.codePage;
  return 437;  // C, POSIX, English and everything unlisted
}

void ConvertAnsiToOem(char* text, std::size_t length) {
  std::string language, charset;
  SplitLocale(LocaleName(), &language, &charset);
  if (charset.empty() || IsUtf8(charset)) return;  // 7-bit or UTF-8 text stays as it is
  const std::string target = "CP" + std::to_string(OemCodePage());
  iconv_t cd = iconv_open(target.c_str(), charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return;
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x80) continue;
    char in[1] = {text[i]};
    char out[8];
    char* inp = in;
    char* outp = out;
    std::size_t inLeft = 1, outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    const std::size_t r = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    text[i] = (r != static_cast<std::size_t>(-1) && outp - out == 1) ? out[0] : '?';
  }
  iconv_close(cd);
}

Status AppendToFile(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) return FromErrno(errno);
  std::size_t done = 0;
  int error = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0 && error == 0) error = errno;
  return FromErrno(error);
}

// ---- Trading: the settings file, the trade files, the creation time -----

namespace {

// The whole file; false when it cannot be opened (missing included).
bool ReadWholeText(const std::string& path, std::string* text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  text->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return n == 0;
    }
    text->append(buffer, static_cast<std::size_t>(n));
  }
}

std::string SettingsText(const std::string& path) {
  std::string text;
  if (!ReadWholeText(path, &text)) text.clear();
  return text;
}

// Writes bytes to a temporary file beside path, flushes it to the disk and
// renames it over path: readers see the old content or the new, never a
// part. The file keeps its permissions. On failure path is untouched and
// the temporary file is gone.
Status ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  static unsigned counter = 0;
  const std::string temp =
      path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return FromErrno(errno);
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);
  int error = 0;
  std::size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return FromErrno(error);
  }
  // The rename itself is durable once the folder is.
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return {};
}

}  // namespace

std::string ReadProfileText(const std::string& path, const std::string& section,
                            const std::string& key, const std::string& defaultValue) {
  std::optional<std::string> value = ini::Find(SettingsText(path), section, key);
  if (!value) value = defaultValue;
  if (value->size() > kProfileValueLimit) value->resize(kProfileValueLimit);
  return *value;
}

Status WriteProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
  std::string text;
  if (!ReadWholeText(path, &text)) {
    if (errno != ENOENT) return FromErrno(errno);  // never replace what cannot be read
    text.clear();
  }
  return ReplaceFileAtomically(path, ini::Set(text, section, key, value));
}

bool ProfileSectionHasKeys(const std::string& path, const std::string& section) {
  return ini::SectionHasKeys(SettingsText(path), section);
}

Status FlushProfile(const std::string& /*path*/) { return {}; }

Status RemoveFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return FromErrno(errno);
  return {};
}

LocalTime CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

char TimeSeparator() { return ':'; }

char PathSeparator() { return '/'; }

const char* DefaultTradeDirectory() { return ""; }

std::string LibraryPath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LibraryPath), &info) == 0 || info.dli_fname == nullptr)
    return {};
  char resolved[4096];
  if (realpath(info.dli_fname, resolved) != nullptr) return resolved;
  return info.dli_fname;
}

std::string HostProgramPath() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n < 1) return {};
  return std::string(buffer, static_cast<std::size_t>(n));
}

void WriteStandardOutput(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

void WriteStandardError(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stderr);
  std::fflush(stderr);
}

void SleepMilliseconds(int32_t milliseconds) {
  if (milliseconds <= 0) return;
  timespec t{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&t, &t) != 0 && errno == EINTR) {
  }
}

void* OpenLibrary(const std::string& path, std::string* error) {
  // A bare file name would make dlopen search the system paths; anchor it.
  const std::string p = path.find('/') == std::string::npos ? "./" + path : path;
  void* h = dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (h == nullptr && error != nullptr) {
    const char* e = dlerror();
    *error = e != nullptr ? e : "cannot load " + path;
  }
  return h;
}

void* FindSymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) {
  if (library != nullptr) dlclose(library);
}

const char* LibraryFileName() { return "msx_qmr.so"; }

}  // namespace msx::platform
