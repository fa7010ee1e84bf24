// The POSIX port of the platform seam.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/Platform.h"
#include "platform/PortStatus.h"

namespace msx::platform {

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

namespace {


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

// ---- Data exchange between charts: the data file's handoff, the locale's
// ---- date, time and number texts for user patterns --------------------------

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

Status RemoveFile(const std::string& path) {
  return FromErrno(::unlink(path.c_str()) == 0 ? 0 : errno);
}

Status RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  const int e = errno;
  if (e != EINVAL && e != ENOSYS && e != ENOTSUP) return FromErrno(e);
  // The file system cannot rename without replacing: a hard link fails when
  // the target exists, and is as atomic; then the old name goes.
  if (::link(from.c_str(), to.c_str()) != 0) return FromErrno(errno);
  if (::unlink(from.c_str()) != 0) return FromErrno(errno);
  return {};
}

namespace {
// Writes every byte at the descriptor's position; 0 or the errno of the
// write that stopped it.
int WriteFully(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

Status WriteAll(int fd, std::string_view bytes) {
  int error = WriteFully(fd, bytes);
  if (::close(fd) != 0 && error == 0) error = errno;
  return FromErrno(error);
}
}  // namespace

Status ReplaceFileContent(const std::string& path, std::string_view bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return FromErrno(errno);
  return WriteAll(fd, bytes);
}

Status ReadWholeFile(const std::string& path, std::string* bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno);
  bytes->clear();
  struct stat st {};
  if (::fstat(fd, &st) == 0 && st.st_size > 0) bytes->reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    bytes->append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return FromErrno(error);
}

void* HoldFileExclusively(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return new int(fd);
}

void ReleaseHeldFile(void* hold) {
  if (hold == nullptr) return;
  int* fd = static_cast<int*>(hold);
  ::close(*fd);
  delete fd;
}

namespace {

// A strftime format in the date-time pattern language. Letters that are no
// conversion are quoted; with dateOnly the time conversions are left out.
std::string PatternOfStrftime(const char* format, bool dateOnly) {
  std::string out;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      if (std::isalpha(static_cast<unsigned char>(*p)) || *p == '"' || *p == '\'') {
        out += *p == '"' ? std::string("'\"'") : std::string("\"") + *p + "\"";
      } else {
        out += *p;
      }
      continue;
    }
    ++p;
    while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0' || *p == '^') ++p;
    if (*p == '\0') break;
    const char* date = nullptr;
    const char* time = nullptr;
    switch (*p) {
      case 'd':
        date = "dd";
        break;
      case 'e':
        date = "d";
        break;
      case 'm':
        date = "mm";
        break;
      case 'y':
        date = "yy";
        break;
      case 'Y':
        date = "yyyy";
        break;
      case 'b':
      case 'h':
        date = "mmm";
        break;
      case 'B':
        date = "mmmm";
        break;
      case 'a':
        date = "ddd";
        break;
      case 'A':
        date = "dddd";
        break;
      case 'D':
        date = "mm/dd/yy";
        break;
      case 'F':
        date = "yyyy-mm-dd";
        break;
      case 'x':
        date = "ddddd";
        break;
      case 'H':
        time = "hh";
        break;
      case 'k':
        time = "h";
        break;
      case 'I':
        time = "hh";
        break;
      case 'l':
        time = "h";
        break;
      case 'M':
        time = "nn";
        break;
      case 'S':
        time = "ss";
        break;
      case 'p':
      case 'P':
        time = "ampm";
        break;
      case 'T':
        time = "hh:nn:ss";
        break;
      case 'R':
        time = "hh:nn";
        break;
      case 'r':
        time = "hh:nn:ss ampm";
        break;
      case 'X':
        time = "tt";
        break;
      case 'n':
      case 't':
        date = " ";
        break;
      case '%':
        date = "%";
        break;
      default:
        break;  // time zones and the like: left out
    }
    if (date != nullptr) out += date;
    if (time != nullptr && !dateOnly) out += time;
  }
  if (dateOnly) {  // what the left-out time parts leave behind
    std::string tidy;
    for (char c : out)
      if (!(c == ' ' && (tidy.empty() || tidy.back() == ' '))) tidy += c;
    while (!tidy.empty() && (tidy.back() == ' ' || tidy.back() == ':' || tidy.back() == ','))
      tidy.pop_back();
    out = tidy;
  }
  return out;
}

// The first character of a strftime format between two conversions.
std::string SeparatorOf(const char* format, const std::string& fallback) {
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p == '%') {
      if (p[1] == '\0') break;
      ++p;
      continue;
    }
    if (!std::isalnum(static_cast<unsigned char>(*p)) && *p != ' ') return std::string(1, *p);
  }
  return fallback;
}

std::string Text(const char* s, const std::string& fallback) {
  return s != nullptr && *s != '\0' ? std::string(s) : fallback;
}

}  // namespace

LocaleFormats UserLocaleFormats() {
  LocaleFormats f;
  locale_t loc = newlocale(LC_TIME_MASK | LC_NUMERIC_MASK | LC_MONETARY_MASK, "", (locale_t)0);
  if (loc == (locale_t)0) return f;  // a locale that is not installed: the C locale's names
  for (int i = 0; i < 7; ++i) {
    f.shortDayNames[i] = Text(nl_langinfo_l(ABDAY_1 + i, loc), f.shortDayNames[i]);
    f.longDayNames[i] = Text(nl_langinfo_l(DAY_1 + i, loc), f.longDayNames[i]);
  }
  for (int i = 0; i < 12; ++i) {
    f.shortMonthNames[i] = Text(nl_langinfo_l(ABMON_1 + i, loc), f.shortMonthNames[i]);
    // The names as they stand alone (nominative), as Windows gives them;
    // MON_1 is the form inside a date in languages that decline them.
#ifdef ALTMON_1
    f.longMonthNames[i] = Text(nl_langinfo_l(ALTMON_1 + i, loc), f.longMonthNames[i]);
#else
    f.longMonthNames[i] = Text(nl_langinfo_l(MON_1 + i, loc), f.longMonthNames[i]);
#endif
  }
  const char* dateFormat = nl_langinfo_l(D_FMT, loc);
  const char* timeFormat = nl_langinfo_l(T_FMT, loc);
  const char* dateTimeFormat = nl_langinfo_l(D_T_FMT, loc);
  if (dateFormat != nullptr && *dateFormat != '\0') {
    f.shortDateFormat = PatternOfStrftime(dateFormat, true);
    f.dateSeparator = SeparatorOf(dateFormat, f.dateSeparator);
  }
  if (dateTimeFormat != nullptr && *dateTimeFormat != '\0') {
    const std::string longDate = PatternOfStrftime(dateTimeFormat, true);
    if (!longDate.empty()) f.longDateFormat = longDate;
  }
  if (timeFormat != nullptr && *timeFormat != '\0') {
    f.longTimeFormat = PatternOfStrftime(timeFormat, false);
    f.timeSeparator = SeparatorOf(timeFormat, f.timeSeparator);
    // The short form: the long one without its seconds.
    std::string shortTime = f.longTimeFormat;
    const std::size_t seconds = shortTime.find(":ss");
    if (seconds != std::string::npos) shortTime.erase(seconds, 3);
    f.shortTimeFormat = shortTime;
  }
  f.amText = Text(nl_langinfo_l(AM_STR, loc), f.amText);
  f.pmText = Text(nl_langinfo_l(PM_STR, loc), f.pmText);

  const locale_t previous = uselocale(loc);  // this thread only
  const lconv* lc = localeconv();
  if (lc != nullptr) {
    f.thousandSeparator = lc->thousands_sep != nullptr ? lc->thousands_sep : "";
    f.currencySymbol = lc->currency_symbol != nullptr ? lc->currency_symbol : "";
    if (lc->frac_digits != CHAR_MAX) f.currencyDecimals = lc->frac_digits;
    if (lc->p_cs_precedes != CHAR_MAX) {
      const bool before = lc->p_cs_precedes != 0, blank = lc->p_sep_by_space == 1;
      f.currencyFormat = before ? (blank ? 2 : 0) : (blank ? 3 : 1);
    }
    if (lc->n_cs_precedes != CHAR_MAX) {
      const bool before = lc->n_cs_precedes != 0, blank = lc->n_sep_by_space == 1;
      if (lc->n_sign_posn == 0)
        f.negativeCurrencyFormat = before ? (blank ? 14 : 0) : (blank ? 15 : 4);
      else
        f.negativeCurrencyFormat = before ? (blank ? 9 : 1) : (blank ? 8 : 5);
    }
  }
  uselocale(previous);
  freelocale(loc);
  return f;
}

namespace {
Status Append(const std::string& path, std::string_view bytes, int64_t* before, bool wholeLine) {
  // Opened for reading too, to see how the file ends.
  constexpr int kFlags = O_CREAT | O_APPEND | O_CLOEXEC;
  int fd = wholeLine ? ::open(path.c_str(), O_RDWR | kFlags, 0666) : -1;
  const bool readable = fd >= 0;
  if (!readable) fd = ::open(path.c_str(), O_WRONLY | kFlags, 0666);
  if (fd < 0) return FromErrno(errno);
  const off_t start = ::lseek(fd, 0, SEEK_END);
  std::string text;
  char last = '\n';
  if (readable && start > 0 && !bytes.empty() && ::pread(fd, &last, 1, start - 1) == 1)
    text = LineEndAfter(last);
  const std::size_t lineEnd = text.size();
  text.append(bytes);
  if (before != nullptr)
    *before = start < 0 ? 0 : static_cast<int64_t>(start) + static_cast<int64_t>(lineEnd);
  int error = WriteFully(fd, text);
  // Cutting a file shorter is allowed even past a size limit.
  if (error != 0 && start >= 0) (void)::ftruncate(fd, start);
  if (::close(fd) != 0 && error == 0) error = errno;
  return FromErrno(error);
}
}  // namespace

Status AppendToFile(const std::string& path, std::string_view bytes, int64_t* before) {
  return Append(path, bytes, before, false);
}

Status AppendLineToFile(const std::string& path, std::string_view line, int64_t* before) {
  return Append(path, line, before, true);
}

Status FileLength(const std::string& path, int64_t* length) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return FromErrno(errno);
  *length = static_cast<int64_t>(st.st_size);
  return {};
}

Status TruncateFile(const std::string& path, int64_t length) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return FromErrno(errno);
  struct stat st {};
  int error = ::fstat(fd, &st) != 0 ? errno : 0;
  if (error == 0 && st.st_size > length && ::ftruncate(fd, static_cast<off_t>(length)) != 0)
    error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return FromErrno(error);
}

// ---- Trading: the trade files, the creation time (the settings file:
// ---- ProfilePosix.cpp) ----------------------------------------------------

LocalTime CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

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

namespace {
void* RunThreadRoutine(void* routine) {
  reinterpret_cast<void (*)()>(routine)();
  return nullptr;
}
}  // namespace

bool StartThread(void (*routine)()) {
  pthread_t thread;
  if (pthread_create(&thread, nullptr, RunThreadRoutine, reinterpret_cast<void*>(routine)) != 0)
    return false;
  pthread_detach(thread);
  return true;
}

void ShowSelfClosingMessageBox(const char*, const char*, int32_t) {}

bool FindTopLevelWindow(const char*, std::string*) { return false; }

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
