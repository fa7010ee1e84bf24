// The POSIX port of the platform seam.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

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
