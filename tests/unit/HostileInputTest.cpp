// A hostile host. Every exported function is called with ten thousand host
// records and argument arrays drawn at random: valid ranges anywhere from
// -10 to 70000, reversed and beyond the host's arrays; NaN, infinite,
// denormal, huge and negative prices and numbers; missing, empty, odd and
// 5,000-character strings; argument counts off by one either way; custom
// IDs out of range; every period letter; odd dates and times. Every call
// must return 0 or -1 and touch nothing but its result array (bars 0 to
// 65499), its result range and its 100-byte error text.
//
// What is watched, and how:
// - every array the host lends (prices, dates) sits on fenced pages with
//   guard values beside it, and stays read-only for the whole run: a write
//   into it stops the process, a read beyond it too (under AddressSanitizer
//   the guard values are poisoned, so that reading them is reported);
// - the host records, the argument records and the strings are laid out in
//   one arena, poisoned between the blocks and read-only during the call;
// - the result array has guard values on both sides, checked after each
//   call; the result record is followed by guard bytes, right after the
//   100 bytes of szExtendedError; an argument slot past the host's count
//   points into a fence, so that following it stops the process;
// - a quarter of the calls find the floating-point environment a careless
//   host leaves (precision cut, exceptions unmasked, denormals flushed) and
//   must give it back as it was;
// - the library is loaded anew every thousand records, under locales that
//   set and clear the code-page flag, so that JMA, JTPO and TradeQuik run
//   offered and not.
//
// The records are drawn from a seed: MSX_HOSTILE_SEED=n picks another one,
// MSX_HOSTILE_RECORD=k replays record k alone, MSX_HOSTILE_RECORDS=n runs
// more than the ten thousand. Each record is whole by itself: the files a
// file function finds are laid out by the record, in a folder emptied
// before it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "Exports.h"
#include "TestChart.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "exchange/DataFileText.h"
#include "exchange/MSX_QMR_ReadData.h"
#include "exchange/MSX_QMR_WriteData.h"
#include "exchange/MSX_QMR_WriteDataEx.h"
#include "host/Export.h"
#include "indicators/MSX_QMR_CER.h"
#include "indicators/MSX_QMR_JMA.h"
#include "indicators/MSX_QMR_JTPO.h"
#include "indicators/MSX_QMR_NRTR.h"
#include "indicators/MSX_QMR_NRTR_WATR.h"
#include "indicators/MSX_QMR_RENKO_WATR.h"
#include "library/MSX_QMR.h"
#include "library/Registry.h"
#include "trading/MSX_QMR_TradeFile.h"
#include "trading/MSX_QMR_TradeQUIK.h"
#include "trading/TradingSettings.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#endif

namespace msx {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;

constexpr int32_t kRecords = 10000;      // per function, at least
constexpr int32_t kBlockRecords = 1000;  // records between two loads of the library
constexpr uint64_t kDefaultSeed = 20260806;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The library is loaded again at the start of every block of records, under
// each of these locales in turn: the code-page flag clear, set, clear with a
// conversion to an OEM code page, set with one.
constexpr const char* kLocales[] = {"C", "ru_RU.UTF-8", "de_DE.ISO-8859-1", "ru_RU.CP1251"};

// ---- Random draws ---------------------------------------------------------

class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {  // splitmix64
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  int32_t Between(int32_t lo, int32_t hi) {
    const auto span = static_cast<uint64_t>(int64_t{hi} - lo + 1);
    return static_cast<int32_t>(lo + static_cast<int64_t>(Next() % span));
  }
  bool OneIn(uint32_t n) { return Below(n) == 0; }
  template <class T>
  T Pick(std::initializer_list<T> items) {
    return *(items.begin() + Below(static_cast<uint32_t>(items.size())));
  }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }

 private:
  uint64_t state_;
};

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : fallback;
}

float FloatOfBits(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

// Values that break arithmetic: NaNs (quiet, signalling, negative), the
// infinities, denormals, the float extremes, integers at the edges of the
// 32-bit and 64-bit ranges and of the host's bars, halves, zero of either
// sign, lengths around the functions' own limits.
const float kOddFloats[] = {kNaN,
                            -kNaN,
                            FloatOfBits(0x7FA00000u),
                            FloatOfBits(0xFFFFFFFFu),
                            kInf,
                            -kInf,
                            std::numeric_limits<float>::denorm_min(),
                            -std::numeric_limits<float>::denorm_min(),
                            FloatOfBits(0x007FFFFFu),
                            FLT_MIN,
                            -FLT_MIN,
                            FLT_MAX,
                            -FLT_MAX,
                            1e30f,
                            -1e30f,
                            2147483520.0f,
                            2147483648.0f,
                            -2147483648.0f,
                            -2147483904.0f,
                            4294967040.0f,
                            4294967296.0f,
                            9.3e18f,
                            -9.3e18f,
                            0.0f,
                            -0.0f,
                            0.5f,
                            1.5f,
                            2.5f,
                            -0.5f,
                            -0.6f,
                            1.0f,
                            2.0f,
                            3.0f,
                            4.0f,
                            5.0f,
                            29.0f,
                            30.0f,
                            31.0f,
                            100.0f,
                            101.0f,
                            300.0f,
                            301.0f,
                            65499.0f,
                            65500.0f,
                            70000.0f,
                            -1.0f,
                            -7.0f,
                            -1e9f,
                            1e-30f,
                            -1e-30f};

// Any float. A wide record takes no random bit patterns: a window length in
// the thousands over 65,500 bars would cost seconds, not find more.
float OddFloat(Rng& r, bool wide) {
  switch (wide ? 2 : r.Below(4)) {
    case 0:
      return FloatOfBits(static_cast<uint32_t>(r.Next()));
    case 1:
      return FloatOfBits(static_cast<uint32_t>(r.Next()) & 0x807FFFFFu);  // denormal or zero
    default:
      return r.Pick(kOddFloats);
  }
}

// A price or length a chart would show: 0.01 to 200 on a 0.01 grid, or whole.
float OrdinaryFloat(Rng& r) {
  return r.OneIn(3) ? static_cast<float>(r.Between(1, 60))
                    : static_cast<float>(r.Between(1, 20000)) / 100.0f;
}

float HostileFloat(Rng& r, bool wide) { return r.OneIn(2) ? OddFloat(r, wide) : OrdinaryFloat(r); }

// ---- The host's arrays ----------------------------------------------------

// The price arrays: one of ordinary prices, one with odd values here and
// there, one of odd values only, zeros, small whole signals (-3 to 3, some
// halves), huge values, tiny ones, and one made of runs of all of these.
constexpr int kValueKinds = 8;
constexpr int kDateKinds = 3;

float BackgroundValue(int kind, Rng& r, float walk) {
  switch (kind) {
    case 0:
      return walk;
    case 1:
      return r.OneIn(37) ? OddFloat(r, false) : walk;
    case 2:
      return OddFloat(r, false);
    case 3:
      return 0.0f;
    case 4:
      return r.OneIn(9) ? static_cast<float>(r.Between(-6, 6)) / 2
                        : static_cast<float>(r.Between(-3, 3));
    case 5:
      return walk * r.Pick({1e30f, -1e36f, 3e38f, 1e20f});
    default:
      return walk * r.Pick({1e-38f, 1e-44f, -1e-40f, 1e-30f});
  }
}

// Dates as a host gives them: YYYYMMDD and HHMMSS with a digit of tenths.
// One array counts calendar days on (eight intraday bars a day), one holds
// odd dates and times only, one alternates runs of both, some going back.
HostDateTimeEntry OrdinaryStamp(int32_t bar) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int32_t day = bar / 8;
  int32_t year = 1995, month = 1;
  while (true) {
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int32_t inYear = leap ? 366 : 365;
    if (day < inYear) break;
    day -= inYear;
    ++year;
  }
  while (true) {
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int32_t inMonth = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day < inMonth) break;
    day -= inMonth;
    ++month;
  }
  return {year * 10000 + month * 100 + day + 1, (9 + bar % 8) * 100000};
}

HostDateTimeEntry OddStamp(Rng& r) {
  const int32_t date =
      r.Pick({0, -1, 1, 101, 10101, 99991231, 99999999, 100000000, 20240229, 20230229, 20241301,
              20240132, 20240100, 19000229, 16010101, std::numeric_limits<int32_t>::min(),
              std::numeric_limits<int32_t>::max(), r.Between(-99999, 99999999)});
  const int32_t time = r.Pick({0, -1, 9, 2359599, 2359600, 2400000, 606060, 9999999, 10000000,
                               235959, std::numeric_limits<int32_t>::min(),
                               std::numeric_limits<int32_t>::max(), r.Between(-99999, 99999999)});
  return {date, time};
}

// Built once from the seed and read-only from then on: a record only picks
// arrays and ranges, so every record finds the same arrays.
class Backgrounds {
 public:
  explicit Backgrounds(uint64_t seed) {
    Rng r(seed ^ 0xBAC6u);
    const std::vector<float> walk = RandomWalk(kMaxBars, static_cast<uint32_t>(seed));
    for (int kind = 0; kind < kValueKinds; ++kind) {
      GuardedArray<float>& a = values_.emplace_back(kMaxBars, kPoison, 0.0f);
      for (int32_t i = 0; i < kMaxBars; ++i) {
        const int k = kind == kValueKinds - 1 ? (i / 97) % (kValueKinds - 1) : kind;
        a[static_cast<std::size_t>(i)] = BackgroundValue(k, r, walk[static_cast<std::size_t>(i)]);
      }
      a.pages().SetReadOnly(true);
    }
    for (int kind = 0; kind < kDateKinds; ++kind) {
      GuardedArray<HostDateTimeEntry>& a = dates_.emplace_back(kMaxBars, kGuardStamp, kGuardStamp);
      for (int32_t i = 0; i < kMaxBars; ++i) {
        const bool odd = kind == 1 || (kind == 2 && (i / 50) % 2 == 1);
        a[static_cast<std::size_t>(i)] =
            odd ? OddStamp(r) : OrdinaryStamp(kind == 2 && (i / 200) % 3 == 2 ? 70000 - i : i);
      }
      a.pages().SetReadOnly(true);
    }
  }

  float* Values(Rng& r) { return values_[r.Below(kValueKinds)].data(); }
  HostDateTimeEntry* Dates(Rng& r) { return dates_[r.Below(kDateKinds)].data(); }
  bool GuardsIntact() const {
    for (const auto& a : values_)
      if (!a.GuardsIntact()) return false;
    for (const auto& a : dates_)
      if (!a.GuardsIntact()) return false;
    return true;
  }

 private:
  static constexpr HostDateTimeEntry kGuardStamp{-424242, -424242};
  std::deque<GuardedArray<float>> values_;
  std::deque<GuardedArray<HostDateTimeEntry>> dates_;
};

// ---- Ranges -----------------------------------------------------------------

struct Window {
  int32_t first, last;
};

// The bars a record is about. Most records are about a few hundred bars at
// most, anywhere from -10 to 70000 (the start, the end of the host's arrays,
// beyond them) and sometimes reversed; a wide record spans most or all of
// the arrays and past them.
Window DrawWindow(Rng& r, bool wide) {
  if (wide) {
    switch (r.Below(4)) {
      case 0:
        return {r.Between(-10, 5), r.Between(65490, 70000)};
      case 1:
        return {r.Between(-10, 70000), r.Between(-10, 70000)};
      case 2:
        return {r.Between(0, 40), kMaxIndex};
      default:
        return {r.Between(-10, 1000), r.Between(60000, 70000)};
    }
  }
  int32_t first;
  switch (r.Below(6)) {
    case 0:
      first = r.Between(-10, 10);
      break;
    case 1:
      first = r.Between(0, 400);
      break;
    case 2:
      first = r.Between(0, kMaxIndex);
      break;
    case 3:
      first = r.Between(65300, 65510);
      break;
    case 4:
      first = r.Between(69800, 70000);
      break;
    default:
      first = r.Between(-10, 70000);
      break;
  }
  const int32_t span = r.OneIn(4)    ? r.Between(-3, 3)
                       : r.OneIn(20) ? r.Between(160, 700)
                                     : r.Between(0, 160);
  Window w{first, first + span};
  if (r.OneIn(10)) std::swap(w.first, w.last);
  return w;
}

// One series' own range: mostly the record's, else near it, reversed,
// somewhere else altogether, or now and then at the ends of the 32-bit range.
HostSeries DrawSeries(Rng& r, const Window& w, bool wide, float* values) {
  if (r.OneIn(300)) {
    constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();
    const auto end = [&] {
      return r.Pick({kLow, kLow + 1, -1, kHigh - 1, kHigh, w.first, w.last});
    };
    const int32_t first = end();
    return {values, first, end()};
  }
  switch (r.Below(10)) {
    case 6:
    case 7:
      return {values, w.first + r.Between(-3, 40), w.last + r.Between(-40, 3)};
    case 8:
      return {values, w.last, w.first};
    case 9: {
      const Window other = DrawWindow(r, wide);
      return {values, other.first, other.last};
    }
    default:
      return {values, w.first, w.last};
  }
}

// ---- Texts ----------------------------------------------------------------

enum class TextUse { kText, kFileName, kFormat, kOrderTemplate };

const char* const kPathPieces[] = {
    "%S",  "%P",   "%%", "%", "%x", "%s", "..", ".",   "/",  "\\", "C:\\Data\\", "\\\\srv\\share\\",
    ":",   "*",    "?",  "<", ">",  "|",  "\"", " ",   "\t", "~",  "$HOME",      ".csv",
    ".in", ".out", "[",  "]", "=",  ";",  ",",  "#N#A"};
const char* const kFormatPieces[] = {"|",
                                     "%f",
                                     "%e",
                                     "%g",
                                     "%n",
                                     "%m",
                                     "%d",
                                     "%x",
                                     "%s",
                                     "%%",
                                     "%",
                                     "%0:f",
                                     "%6:e",
                                     "%7:g",
                                     "%-12.3f",
                                     "%15.2n",
                                     "%.18e",
                                     "%.19g",
                                     "%*f",
                                     "%.f",
                                     "%-.e",
                                     "%3:",
                                     "%-9999999999f",
                                     "%2147483648f",
                                     "yyyy",
                                     "yy",
                                     "y",
                                     "mm",
                                     "mmm",
                                     "mmmm",
                                     "m",
                                     "dd",
                                     "d",
                                     "ddd",
                                     "dddd",
                                     "ddddd",
                                     "dddddd",
                                     "aaa",
                                     "aaaa",
                                     "hh",
                                     "h",
                                     "nn",
                                     "n",
                                     "ss",
                                     "s",
                                     "zzz",
                                     "z",
                                     "am/pm",
                                     "a/p",
                                     "AMPM",
                                     "ampm",
                                     "c",
                                     "t",
                                     "tt",
                                     "e",
                                     "ee",
                                     "g",
                                     "gg",
                                     "/",
                                     ":",
                                     "\"",
                                     "'",
                                     ",",
                                     " "};
// Widths near the largest a value pattern takes: not in wide records, where
// a line per bar of them would be gigabytes.
const char* const kWideFormatPieces[] = {"%-1024f", "%1024e", "%1025g", "%6:1024.18m"};
const char* const kOrderPieces[] = {
    "%N", "%A", "%C", "%T", "%M", "%S", "%O",        "%P",
    "%Q", "%%", "%",  "%Z", ";",  "=",  "TRANS_ID=", "ACTION=NEW_ORDER;"};

// Text of any bytes but NUL, of lengths from nothing to 5,000 characters
// and around the host's and the system's limits (100, 260, 2048), made of
// pieces of the syntax the text feeds (paths, patterns, templates),
// printable characters and raw bytes.
std::string DrawText(Rng& r, TextUse use, bool wide) {
  std::size_t length;
  switch (r.Below(20)) {
    case 0:
      length = 0;
      break;
    case 1:
      length = r.Pick({99u, 100u, 101u, 255u, 256u, 259u, 260u, 2047u, 2048u});
      break;
    case 2:
      length = 5000;
      break;
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
      length = static_cast<std::size_t>(r.Between(1, 12));
      break;
    default:
      length = static_cast<std::size_t>(r.Between(1, 60));
      break;
  }
  if (wide) length = std::min<std::size_t>(length, 64);
  std::string text;
  while (text.size() < length) {
    switch (r.Below(10)) {
      case 0:
      case 1:
      case 2:
      case 3:
        switch (use) {
          case TextUse::kFormat:
            text += !wide && r.OneIn(12) ? r.Pick(kWideFormatPieces) : r.Pick(kFormatPieces);
            break;
          case TextUse::kOrderTemplate:
            text += r.Pick(kOrderPieces);
            break;
          default:
            text += r.Pick(kPathPieces);
            break;
        }
        break;
      case 4:
      case 5:
      case 6: {
        const int32_t n = r.Between(1, 8);
        for (int32_t k = 0; k < n; ++k) text += static_cast<char>(r.Between(32, 126));
        break;
      }
      default: {
        const int32_t n = r.Between(1, 4);
        for (int32_t k = 0; k < n; ++k) text += static_cast<char>(r.Between(1, 255));
        break;
      }
    }
  }
  text.resize(length);
  return text;
}

std::string WithoutLineBreaks(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, '_');
  return text;
}

// A file name argument. The file functions take it as the whole path, so a
// random one could name any file of the system. The test runs in a folder
// of its own, and every name but the empty one starts with "f_": a name
// then either stays in that folder or goes through a folder "f_..." that
// does not exist (the library creates no folders), and names nothing. The
// random part keeps every byte, "/" and ".." included.
//
// An empty name is drawn seldom for the writers: the data file can have no
// empty name, so the handoff spends its second of renames on it.
std::string FileNameText(Rng& r, bool wide, bool writer) {
  std::string text = DrawText(r, TextUse::kFileName, wide);
  if (text.empty() && (!writer || r.OneIn(400))) return text;
  return "f_" + text;
}

// ---- The memory a record lends --------------------------------------------

// The host records, argument records and strings of one call, one block
// after another with poisoned gaps between them; read-only during the call.
class HostArena {
 public:
  HostArena() { PoisonMemory(pages_.data(), pages_.size()); }
  void Reset() {
    pages_.SetReadOnly(false);
    PoisonMemory(pages_.data(), used_);
    used_ = 0;
  }
  template <class T>
  T* New() {
    return new (Take(sizeof(T))) T{};
  }
  char* Text(const std::string& s) {
    auto* p = static_cast<char*>(Take(s.size() + 1));
    std::memcpy(p, s.data(), s.size());
    p[s.size()] = '\0';
    return p;
  }
  void Seal() { pages_.SetReadOnly(true); }
  template <class T>
  T* Forbidden() const {  // a pointer whose use stops the process
    return static_cast<T*>(const_cast<void*>(pages_.Fence()));
  }

 private:
  void* Take(std::size_t n) {
    used_ = (used_ + 15) / 16 * 16 + 16;  // 16 poisoned bytes before every block
    if (used_ + n > pages_.size()) throw std::length_error("host arena full");
    std::byte* p = pages_.data() + used_;
    used_ += n;
    UnpoisonMemory(p, n);
    return p;
  }

  FencedPages pages_{std::size_t{1} << 18};
  std::size_t used_ = 0;
};

// A page of guard bytes holding records the library fills in. After a
// call every byte of the page but the fields it may write must be as it was;
// under AddressSanitizer every byte but the records' is poisoned.
class RecordPage {
 public:
  static constexpr std::byte kGuardByte{0xA5};

  // Guard bytes everywhere; no record yet.
  void Clear() {
    UnpoisonMemory(page_.data(), page_.size());
    std::memset(page_.data(), static_cast<int>(kGuardByte), page_.size());
    open_.clear();
    writable_.clear();
  }
  std::byte* At(std::size_t offset) { return page_.data() + offset; }
  // A field the library reads, or one it may also write.
  void Readable(const void* p, std::size_t n) { open_.push_back({Offset(p), n}); }
  void Writable(const void* p, std::size_t n) {
    Readable(p, n);
    writable_.push_back({Offset(p), n});
  }
  // Takes the page as it is before the call.
  void Seal() {
    std::memcpy(before_.data(), page_.data(), page_.size());
    PoisonMemory(page_.data(), page_.size());
    for (const Field& f : open_) UnpoisonMemory(page_.data() + f.at, f.size);
  }
  // The first byte the call changed that was not its to change, or -1.
  int64_t Trespass() {
    UnpoisonMemory(page_.data(), page_.size());
    const auto writable = [&](std::size_t at) {
      return std::any_of(writable_.begin(), writable_.end(),
                         [&](const Field& f) { return at >= f.at && at < f.at + f.size; });
    };
    for (std::size_t at = 0; at < page_.size(); ++at)
      if (page_.data()[at] != before_[at] && !writable(at)) return static_cast<int64_t>(at);
    return -1;
  }

 private:
  struct Field {
    std::size_t at, size;
  };
  std::size_t Offset(const void* p) const {
    return static_cast<std::size_t>(static_cast<const std::byte*>(p) - page_.data());
  }

  FencedPages page_{4096};
  std::vector<std::byte> before_ = std::vector<std::byte>(page_.size());
  std::vector<Field> open_;
  std::vector<Field> writable_;
};

// What a function hands back: the result record (of which it may write the
// 100 bytes of the error text), the result series' record (its valid range)
// and the result array with guard values on both sides.
class ResultBlock {
 public:
  // A fresh record and range; the error text holds an old message or 100
  // bytes without an end.
  void Prepare(Rng& r, bool nullSeries) {
    page_.Clear();
    series = new (page_.At(512)) HostSeries{out.data(), -77, -77};
    record = new (page_.At(64)) ResultRec{nullSeries ? nullptr : series, {}};
    if (r.OneIn(2)) {
      std::strcpy(record->szExtendedError, "poison");
    } else {
      for (char& c : record->szExtendedError) c = static_cast<char>(r.Between(1, 255));
    }
    std::memcpy(errorBefore_, record->szExtendedError, kTextSize);
    page_.Readable(record, offsetof(ResultRec, szExtendedError));
    page_.Writable(record->szExtendedError, kTextSize);
    page_.Readable(series, sizeof *series);
    page_.Writable(&series->first, 2 * sizeof(int32_t));
    page_.Seal();
  }

  // What the function wrote that was not its to write, or wrote wrongly;
  // empty when nothing. An error text the function wrote ends inside its
  // 100 bytes: the host reads it up to its NUL.
  std::string Trespass() {
    const int64_t at = page_.Trespass();
    if (at >= 0)
      return "the byte at " + std::to_string(at) +
             " of the result page (the result record at 64, the result series at 512)";
    if (!out.GuardsIntact()) return "the guard values around the result array";
    if (std::memcmp(record->szExtendedError, errorBefore_, kTextSize) != 0 &&
        std::memchr(record->szExtendedError, '\0', kTextSize) == nullptr)
      return "an error text without an end";
    return {};
  }

  ResultRec* record = nullptr;
  HostSeries* series = nullptr;
  GuardedArray<float> out{kMaxBars, kPoison, kPoison};

 private:
  RecordPage page_;
  char errorBefore_[kTextSize] = {};
};

// ---- What the test prints when the process dies ---------------------------

char gRecordNote[512] = "";

void PrintRecordNote() {
  if (gRecordNote[0] == '\0') return;
  const ssize_t written = ::write(2, gRecordNote, std::strlen(gRecordNote));
  (void)written;
}

#if !defined(__SANITIZE_ADDRESS__)
void OnDeadlySignal(int signal) {
  PrintRecordNote();
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}
#endif

// ---- The host's floating-point environment ---------------------------------

// What a host may leave set when it calls: x87 precision cut to 24 or 53
// bits, any rounding, exceptions unmasked (an unmasked exception that
// happens is a trap, the process's end); SSE the same, with denormals
// flushed or read as zero. Mostly the usual setting. The function must run
// in its own and give the host's back as it was, flags clear.
struct FloatControls {
  uint16_t x87 = 0x037F;
  uint32_t mxcsr = 0x1F80;
  bool operator==(const FloatControls&) const = default;
};

FloatControls DrawFloatControls(Rng& r) {
  if (!r.OneIn(4)) return {};
  const uint32_t precision = r.Pick({0u, 2u, 3u});
  const auto x87 = static_cast<uint16_t>(0x0040u | r.Below(64) | precision << 8 | r.Below(4) << 10);
  const uint32_t mxcsr =
      r.Below(64) << 7 | r.Below(4) << 13 | (r.OneIn(3) ? 0x8000u : 0u) | (r.OneIn(3) ? 0x40u : 0u);
  return {x87, mxcsr};
}

#if defined(__i386__) || defined(__x86_64__)
void SetFloatControls(const FloatControls& c) {
  __asm__ volatile("fnclex\n\tfldcw %0" : : "m"(c.x87) : "memory");
  __asm__ volatile("ldmxcsr %0" : : "m"(c.mxcsr) : "memory");
}
// The controls as they are, with the exception flags of both units (which
// must be clear, as the host left them).
FloatControls ReadFloatControls(uint16_t& x87Flags) {
  FloatControls c;
  uint16_t status = 0;
  __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(c.x87), "=m"(status) : : "memory");
  __asm__ volatile("stmxcsr %0" : "=m"(c.mxcsr) : : "memory");
  x87Flags = status & 0x3Fu;
  return c;
}
#else
void SetFloatControls(const FloatControls&) {}
FloatControls ReadFloatControls(uint16_t& x87Flags) {
  x87Flags = 0;
  return {};
}
#endif

// ---- The functions --------------------------------------------------------

enum class Files { kNone, kWriter, kReader, kTradeFile, kTradeQuik };

struct Exported {
  const char* name;
  HostFunction call;
  const FunctionTable& table;
  Files files;
};

const Exported kNrtr{"NRTR", NRTR, kNrtrTable, Files::kNone};
const Exported kNrtrWatr{"NRTR_WATR", NRTR_WATR, kNrtrWatrTable, Files::kNone};
const Exported kCer{"CER", CER, kCerTable, Files::kNone};
const Exported kRenkoWatr{"RENKO_WATR", RENKO_WATR, kRenkoWatrTable, Files::kNone};
const Exported kJma{"JMA", JMA, kJmaTable, Files::kNone};
const Exported kJtpo{"JTPO", JTPO, kJtpoTable, Files::kNone};
const Exported kWriteData{"WriteData", WriteData, kWriteDataTable, Files::kWriter};
const Exported kWriteDataEx{"WriteDataEx", WriteDataEx, kWriteDataExTable, Files::kWriter};
const Exported kReadData{"ReadData", ReadData, kReadDataTable, Files::kReader};
const Exported kTradeFile{"TradeFile", TradeFile, kTradeFileTable, Files::kTradeFile};
const Exported kTradeQuik{"TradeQuik", TradeQuik, kTradeQuikTable, Files::kTradeQuik};

// An argument count as the host might get it wrong: one off either way, or
// nothing like it.
int32_t DrawCount(Rng& r, int32_t expected, bool tame) {
  if (tame) return expected;
  switch (r.Below(100)) {
    case 0:
    case 1:
      return expected - 1;
    case 2:
    case 3:
      return expected + 1;
    case 4:
      return r.Pick({-1, 0, kMaxArgs, kMaxArgs + 1, std::numeric_limits<int32_t>::min(),
                     std::numeric_limits<int32_t>::max()});
    default:
      return expected;
  }
}

// The period field: a letter the library knows (mostly), one it does not
// (lower case, "T", digits, NUL) or any byte; now and then with the
// field's upper bytes set, which the letter ignores.
int32_t DrawPeriod(Rng& r, bool tame) {
  static const char kKnown[] = "DWMQYI";
  static const char kOther[] = "dwmqyiT0 \x7f";
  int32_t letter;
  switch (tame ? 9 : r.Below(10)) {
    case 0:
    case 1:
      letter = r.Between(0, 255);
      break;
    case 2:
    case 3:
    case 4:
      letter = static_cast<unsigned char>(kOther[r.Below(sizeof kOther)]);  // NUL included
      break;
    default:
      letter = kKnown[r.Below(sizeof kKnown - 1)];
      break;
  }
  const int32_t high =
      r.OneIn(5) ? static_cast<int32_t>(static_cast<uint32_t>(r.Next()) & ~0xFFu) : 0;
  return high | letter;
}

int32_t DrawInterval(Rng& r) {
  return r.Pick({0, 0, 1, 5, 60, 1440, -1, -60, std::numeric_limits<int32_t>::min(),
                 std::numeric_limits<int32_t>::max(), r.Between(-100000, 100000)});
}

int32_t DrawCustomId(Rng& r) {
  return r.OneIn(4) ? r.Pick({-1, 3, 4, 5, 6, 7, 100, std::numeric_limits<int32_t>::min(),
                              std::numeric_limits<int32_t>::max()})
                    : r.Between(0, 5);
}

// A chart text: the security's name, symbol, folder, data source.
char* ChartText(Rng& r, HostArena& arena, bool tame, bool wide) {
  if (tame || r.OneIn(3)) return arena.Text(r.Pick({"SEC1", "C:\\Data", "ABC", "SBER"}));
  if (r.OneIn(20)) return nullptr;
  return arena.Text(DrawText(r, TextUse::kText, wide));
}

// The test's folder lives in memory where the system has a memory file
// system: every write of the settings file is flushed to the disk, and ten
// thousand of them would time the disk (seconds to half a minute, with
// others using it) rather than the library.
fs::path TestFolderBase() {
  std::error_code error;
  if (fs::is_directory("/dev/shm", error) && ::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::absolute(::testing::TempDir());
}

struct Tally {
  int32_t records = 0;
  int32_t succeeded = 0;
  int32_t wide = 0;
};

class HostileHost : public ::testing::Test {
 protected:
  void SetUp() override {
    seed_ = EnvNumber("MSX_HOSTILE_SEED", kDefaultSeed);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = TestFolderBase() /
              (std::string("hostile_") + info->name() + "_" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    savedFolder_ = fs::current_path();
    fs::current_path(folder_);  // the bare and relative names land here
    const char* locale = std::getenv("LC_ALL");
    if (locale != nullptr) savedLocale_ = locale;
    CloseTradingSettings();
    OpenTradingSettings(SettingsPath());
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_death_callback(PrintRecordNote);
#else
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(s, OnDeadlySignal);
#endif
  }

  void TearDown() override {
#if !defined(__SANITIZE_ADDRESS__)
    for (int s : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) ::signal(s, SIG_DFL);
#endif
    gRecordNote[0] = '\0';
    CloseTradingSettings();
    if (savedLocale_)
      setenv("LC_ALL", savedLocale_->c_str(), 1);
    else
      unsetenv("LC_ALL");
    SetCodePageFlag(false);
    fs::current_path(savedFolder_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string SettingsPath() const { return (folder_ / "msx_qmr.ini").string(); }

  // The records to run: all of them, or the one being replayed.
  struct Span {
    int32_t begin, end;
  };
  Span Records() const {
    if (std::getenv("MSX_HOSTILE_RECORD") != nullptr) {
      const auto k = static_cast<int32_t>(EnvNumber("MSX_HOSTILE_RECORD", 0));
      return {k, k + 1};
    }
    const auto n = static_cast<int32_t>(EnvNumber("MSX_HOSTILE_RECORDS", kRecords));
    return {0, std::max(n, kRecords)};
  }
  bool Replaying() const { return std::getenv("MSX_HOSTILE_RECORD") != nullptr; }

  std::string Replay(const char* test, int32_t record) const {
    return "seed " + std::to_string(seed_) + ", record " + std::to_string(record) +
           " (replay: MSX_HOSTILE_SEED=" + std::to_string(seed_) +
           " MSX_HOSTILE_RECORD=" + std::to_string(record) +
           " msx_unit_tests --gtest_filter=HostileHost." + test + ")";
  }

  void NoteRecord(const char* test, int32_t record) {
    std::snprintf(gRecordNote, sizeof gRecordNote, "\nhostile host: the process died in %s\n",
                  Replay(test, record).c_str());
  }

  // The start of a block of records: the library loaded anew under the
  // block's locale, with settings that keep every trading file in the
  // test's folder.
  void LoadForBlock(int32_t block) {
    std::ofstream(SettingsPath(), std::ios::binary | std::ios::trunc)
        << "[TradeFile]\r\nDirectory=" << folder_.string() << "\r\nAuthor=A\r\n"
        << "ClosePositionAtLastBar=" << (block / 4 % 2 == 0 ? "no" : "YES") << "\r\n"
        << "[TradeQuik]\r\nAccount=ACC\r\nClientCode=CLI\r\nFile="
        << (folder_ / "quik.tri").string() << "\r\nTemplate=" << kDefaultTemplate << "\r\n";
    setenv("LC_ALL", kLocales[block % 4], 1);
    LibraryLoad();
    loadedBlock_ = block;
  }
  void EnterBlockOf(int32_t record) {
    const int32_t block = record / kBlockRecords;
    if (block != loadedBlock_) LoadForBlock(block);
  }

  void EmptyFolder() {
    for (const fs::directory_entry& e : fs::directory_iterator(folder_)) {
      std::error_code ignored;
      fs::remove_all(e.path(), ignored);
    }
  }

  static void Plant(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary | std::ios::trunc) << bytes;
  }

  // ---- One call's records ----

  struct Call {
    HostDataRecord* data = nullptr;
    HostSeriesArgs* series = nullptr;
    HostNumericArgs* numeric = nullptr;
    HostStringArgs* strings = nullptr;
    HostCustomArgs* custom = nullptr;
    ResultRec* result = nullptr;
    Window window{};
  };

  // A tame record has the chart's texts, period letter and argument counts
  // right, so that the odd arguments reach the deeper steps.
  Call Draw(const Exported& f, Rng& r, bool wide) {
    const bool tame = r.OneIn(3);
    arena_.Reset();
    Call c;
    HostDataRecord* d = c.data = arena_.New<HostDataRecord>();
    c.window = DrawWindow(r, wide);
    d->dates = Background().Dates(r);
    for (HostSeries* s :
         {&d->open, &d->high, &d->low, &d->close, &d->volume, &d->openInterest, &d->indicator})
      *s = DrawSeries(r, c.window, wide, Background().Values(r));
    if (!r.OneIn(4)) {  // as a host mostly gives them: one range for all prices
      for (HostSeries* s : {&d->open, &d->high, &d->low}) {
        s->first = d->close.first;
        s->last = d->close.last;
      }
    }
    d->securityName = ChartText(r, arena_, tame, wide);
    d->symbol = ChartText(r, arena_, tame, wide);
    d->securityPath = ChartText(r, arena_, tame, wide);
    d->onlineSource = ChartText(r, arena_, tame, wide);
    d->period = DrawPeriod(r, tame);
    d->interval = DrawInterval(r);

    // The arguments, type by type in the function's order; a slot past the
    // host's count points into a fence.
    std::vector<const ArgumentRow*> stringRows;
    for (const ArgumentRow& row : f.table.arguments)
      if (row.type == kStringArg) stringRows.push_back(&row);

    HostSeriesArgs* sa = c.series = arena_.New<HostSeriesArgs>();
    sa->count = DrawCount(r, CountArguments(f.table, kSeriesArg), tame);
    for (int32_t i = 0; i < kMaxArgs; ++i) {
      HostSeries*& item = sa->items[i];
      if (i >= sa->count) {
        item = arena_.Forbidden<HostSeries>();
      } else if (!tame && r.OneIn(200)) {
        item = nullptr;
      } else {
        item = arena_.New<HostSeries>();
        *item = r.OneIn(3) ? d->close : DrawSeries(r, c.window, wide, Background().Values(r));
      }
    }

    HostNumericArgs* na = c.numeric = arena_.New<HostNumericArgs>();
    na->count = DrawCount(r, CountArguments(f.table, kNumericArg), tame);
    for (float& v : na->items) v = HostileFloat(r, wide);

    HostStringArgs* ta = c.strings = arena_.New<HostStringArgs>();
    ta->count = DrawCount(r, CountArguments(f.table, kStringArg), tame);
    for (int32_t i = 0; i < kMaxArgs; ++i) {
      char*& item = ta->items[i];
      const std::string_view name = static_cast<std::size_t>(i) < stringRows.size()
                                        ? stringRows[static_cast<std::size_t>(i)]->name
                                        : "";
      if (i >= ta->count) {
        item = arena_.Forbidden<char>();
      } else if (!tame && r.OneIn(25)) {
        item = nullptr;
      } else if (name == "\"FileName\"") {
        item = arena_.Text(FileNameText(r, wide, f.files == Files::kWriter));
      } else if (name == "\"FormatString\"") {
        item = arena_.Text(DrawText(r, TextUse::kFormat, wide));
      } else if (r.OneIn(3)) {
        item = arena_.Text(r.Pick({"ACC", "CLI", "MAcross", ""}));
      } else {
        item = arena_.Text(DrawText(r, TextUse::kText, wide));
      }
    }

    HostCustomArgs* ca = c.custom = arena_.New<HostCustomArgs>();
    ca->count = DrawCount(r, CountArguments(f.table, kCustomArg), tame);
    for (int32_t& id : ca->items) id = DrawCustomId(r);

    result_.Prepare(r, !tame && r.OneIn(200));
    c.result = result_.record;

    // Now and then a record the host should never pass at all.
    switch (tame ? 400u : r.Below(400)) {
      case 0:
        c.data = nullptr;
        break;
      case 1:
        c.series = nullptr;
        break;
      case 2:
        c.numeric = nullptr;
        break;
      case 3:
        c.strings = nullptr;
        break;
      case 4:
        c.custom = nullptr;
        break;
      case 5:
        c.result = nullptr;
        break;
      default:
        break;
    }
    return c;
  }

  // A string argument the function will read, or nothing.
  static std::optional<std::string_view> StringAt(const Call& c, int32_t k) {
    if (c.strings == nullptr || k >= c.strings->count || k >= kMaxArgs ||
        c.strings->items[k] == nullptr)
      return std::nullopt;
    return std::string_view(c.strings->items[k]);
  }

  // ---- The files a record finds ----

  // A data file's text: the chart's own stamps or odd ones, values as the
  // writers write them or not, every kind of line end, sometimes raw bytes.
  static std::string DataFileContent(Rng& r, const HostDataRecord& d, const Window& w, bool wide) {
    if (r.OneIn(6)) return DrawText(r, TextUse::kText, false);
    std::string text;
    const int32_t lines = r.OneIn(10) ? 0 : wide ? r.Between(1, 70000) : r.Between(1, 200);
    int32_t bar = std::clamp(std::min(w.first, w.last) + r.Between(-20, 5), 0, kMaxIndex);
    for (int32_t k = 0; k < lines; ++k) {
      const HostDateTimeEntry stamp = r.OneIn(15) ? OddStamp(r) : d.dates[std::min(bar, kMaxIndex)];
      bar += r.Between(0, 3);
      char line[64];
      std::snprintf(line, sizeof line, "%.8d,%.7d,", stamp.date, stamp.time);
      text += r.OneIn(30) ? DrawText(r, TextUse::kText, false) : line;
      if (r.OneIn(4)) {
        text += r.Pick({"NAN", "INF", "-INF", "1E39", "-1E39", "1E-50", "", "abc", "0x10", "+1",
                        " 1", "1,2", "1e", "-", ".", "1E6", "-2E-5", "99999999999999999999"});
      } else {
        char number[32];
        const auto [end, ec] = std::to_chars(number, number + sizeof number,
                                             static_cast<double>(HostileFloat(r, false)));
        text.append(number, ec == std::errc{} ? end : number);
      }
      text += r.Pick({"\r\n"sv, "\r\n"sv, "\r\n"sv, "\n"sv, "\r"sv, ""sv, ",x\r\n"sv, "\0\r\n"sv});
    }
    return text;
  }

  void PlantDataFiles(const Exported& f, Rng& r, const Call& c, bool wide, bool writer) {
    int32_t k = 0;  // the file name's place among the string arguments
    for (const ArgumentRow& row : f.table.arguments) {
      if (row.type != kStringArg) continue;
      if (std::string_view(row.name) == "\"FileName\"") break;
      ++k;
    }
    const std::optional<std::string_view> fileTemplate = StringAt(c, k);
    if (c.data == nullptr || !fileTemplate) return;
    const HostDataRecord& d = *c.data;
    const std::string name = ExpandDataFileName(*fileTemplate, SymbolText(d),
                                                writer ? PeriodTag(d) : ReaderPeriodText(d));
    if (name.empty() || name.find('/') != std::string::npos) return;
    if (writer) {
      if (r.OneIn(3)) Plant(name + ".out", DrawText(r, TextUse::kText, false));
      if (r.OneIn(3)) Plant(name, DataFileContent(r, d, c.window, wide));
      return;
    }
    switch (r.Below(5)) {
      case 0:
        break;
      case 1:
        Plant(name + ".in", DataFileContent(r, d, c.window, wide));
        break;
      case 2:
        Plant(name + ".in", DataFileContent(r, d, c.window, wide));
        Plant(name, DataFileContent(r, d, c.window, wide));
        break;
      default:
        Plant(name, DataFileContent(r, d, c.window, wide));
        break;
    }
  }

  // The settings file as a TradeQuik call finds it: the chart's section or
  // none, its keys present, empty or missing, the last bar seen, the
  // transaction number at the edge of its range, lines that are no setting.
  // Every file it names is in the test's folder (see FileNameText).
  void PlantTradeQuikSettings(Rng& r, const Call& c) {
    const auto value = [&](TextUse use) { return WithoutLineBreaks(DrawText(r, use, false)); };
    const auto fileValue = [&]() -> std::string {
      switch (r.Below(6)) {
        case 0:
          return "quik.tri";
        case 1:
          return "";
        case 2:
          return "q_" + value(TextUse::kFileName);
        case 3:
          return "q_no_folder/quik.tri";
        default:
          return (folder_ / "quik.tri").string();
      }
    };
    std::string ini =
        "[TradeFile]\r\nDirectory=" + folder_.string() + "\r\nAuthor=A\r\n[TradeQuik]\r\n";
    if (!r.OneIn(3)) ini += "Account=ACC\r\nClientCode=CLI\r\n";
    if (r.OneIn(3)) ini += "File=" + fileValue() + "\r\n";
    if (r.OneIn(4)) ini += "Template=" + value(TextUse::kOrderTemplate) + "\r\n";
    if (!r.OneIn(4))
      ini += "TransId=" +
             std::string(r.Pick({"1", "41", "2147483646", "2147483647", "-2147483648", "abc",
                                 "99999999999", " 7 ", ""})) +
             "\r\n";
    if (c.data != nullptr && !r.OneIn(4)) {
      ini += "[" + WithoutLineBreaks(SecuritySectionName(*c.data)) + "]\r\n";
      const auto code = [&](const char* text) {
        return r.OneIn(8) ? std::string(r.Pick({"", "\"\"", " "}))
                          : std::string(r.Pick({"", "\"", "'", " "})) + text +
                                std::string(r.Pick({"", "\"", "'", " "}));
      };
      if (!r.OneIn(6)) ini += "ClassCode=" + code("TQBR") + "\r\n";
      if (!r.OneIn(6)) ini += "SecCode=" + code("SBER") + "\r\n";
      if (r.OneIn(3)) ini += "File=" + fileValue() + "\r\n";
      if (r.OneIn(5)) ini += "Template=" + value(TextUse::kOrderTemplate) + "\r\n";
      if (r.OneIn(5)) ini += "Account=" + value(TextUse::kText) + "\r\n";
      const std::optional<std::string_view> account = StringAt(c, 0);
      const std::optional<std::string_view> client = StringAt(c, 1);
      if (c.numeric != nullptr && !r.OneIn(3)) {
        const double ident = std::nearbyint(static_cast<double>(c.numeric->items[0]));
        const std::string identText =
            std::abs(ident) < 2e9 ? std::to_string(static_cast<int32_t>(ident)) : "1";
        ini += "DateTime_" +
               WithoutLineBreaks(std::string(account && !account->empty() ? *account : "ACC")) +
               "_" + WithoutLineBreaks(std::string(client && !client->empty() ? *client : "CLI")) +
               "_" + identText + "=" +
               std::string(r.Pick({"19950101,0", "0,0", "20240101,0", "abc", "", "99999999,9999999",
                                   "1,", ",5", "19950301,1000000"})) +
               "\r\n";
      }
    }
    if (r.OneIn(5)) ini += value(TextUse::kText) + "\r\n";
    Plant(SettingsPath(), ini);
  }

  void PrepareFiles(const Exported& f, Rng& r, const Call& c, bool wide) {
    if (f.files == Files::kNone) return;
    EmptyFolder();
    switch (f.files) {
      case Files::kWriter:
        PlantDataFiles(f, r, c, wide, true);
        break;
      case Files::kReader:
        PlantDataFiles(f, r, c, wide, false);
        break;
      case Files::kTradeQuik:
        PlantTradeQuikSettings(r, c);
        break;
      default:
        break;
    }
  }

  // ---- The run ----

  void Run(const Exported& f, const char* test) {
    const auto start = std::chrono::steady_clock::now();
    const Span span = Records();
    Tally tally;
    for (int32_t k = span.begin; k < span.end; ++k) {
      EnterBlockOf(k);
      Rng r(seed_ * 0x100000001B3ull ^ std::hash<std::string_view>{}(f.name) ^
            (static_cast<uint64_t>(k) << 20));
      const bool wide = r.OneIn(200);
      const Call c = Draw(f, r, wide);
      PrepareFiles(f, r, c, wide);
      const HostSeries before = *result_.series;
      const FloatControls hostControls = DrawFloatControls(r);
      NoteRecord(test, k);
      arena_.Seal();
      SetFloatControls(hostControls);
      const int32_t rc = f.call(c.data, c.series, c.numeric, c.strings, c.custom, c.result);
      uint16_t x87Flags = 0;
      const FloatControls controlsAfter = ReadFloatControls(x87Flags);
      SetFloatControls({});
      arena_.Reset();
      ++tally.records;
      tally.wide += wide ? 1 : 0;
      tally.succeeded += rc == 0 ? 1 : 0;
      const std::string trespass = result_.Trespass();
      ASSERT_TRUE(rc == 0 || rc == -1) << f.name << " returned " << rc << ": " << Replay(test, k);
      ASSERT_EQ(trespass, "") << f.name << " wrote " << trespass << ": " << Replay(test, k);
      ASSERT_TRUE(controlsAfter == hostControls && x87Flags == 0)
          << f.name << " left the host's floating-point environment changed: " << Replay(test, k);
      // A failed call leaves the result's range as it was; a code-page
      // function that is not offered computes all the same and answers -1.
      const bool offered = !f.table.codePageOnly || CodePageFlag();
      if (rc == -1 && offered) {
        ASSERT_EQ(result_.series->first, before.first) << f.name << ": " << Replay(test, k);
        ASSERT_EQ(result_.series->last, before.last) << f.name << ": " << Replay(test, k);
      }
    }
    gRecordNote[0] = '\0';
    ASSERT_TRUE(Background().GuardsIntact());
    if (!Replaying()) {
      EXPECT_GE(tally.records, kRecords);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ hostile  ] " << f.name << ": " << tally.records << " records (" << tally.wide
              << " wide), " << tally.succeeded << " returned 0, " << tally.records - tally.succeeded
              << " returned -1, " << seconds << " s\n";
  }

  Backgrounds& Background() {
    static Backgrounds backgrounds(seed_);
    return backgrounds;
  }

  uint64_t seed_ = kDefaultSeed;
  fs::path folder_;
  fs::path savedFolder_;
  std::optional<std::string> savedLocale_;
  int32_t loadedBlock_ = -1;
  HostArena arena_;
  ResultBlock result_;
};

TEST_F(HostileHost, Nrtr) { Run(kNrtr, "Nrtr"); }
TEST_F(HostileHost, NrtrWatr) { Run(kNrtrWatr, "NrtrWatr"); }
TEST_F(HostileHost, Cer) { Run(kCer, "Cer"); }
TEST_F(HostileHost, RenkoWatr) { Run(kRenkoWatr, "RenkoWatr"); }
TEST_F(HostileHost, Jma) { Run(kJma, "Jma"); }
TEST_F(HostileHost, Jtpo) { Run(kJtpo, "Jtpo"); }
TEST_F(HostileHost, WriteData) { Run(kWriteData, "WriteData"); }
TEST_F(HostileHost, WriteDataEx) { Run(kWriteDataEx, "WriteDataEx"); }
TEST_F(HostileHost, ReadData) { Run(kReadData, "ReadData"); }
TEST_F(HostileHost, TradeFile) { Run(kTradeFile, "TradeFile"); }
TEST_F(HostileHost, TradeQuik) { Run(kTradeQuik, "TradeQuik"); }

// The description entry points, each asked ten thousand times with numbers
// of every kind (in range, one past, negative, the ends of the 32-bit range)
// and sometimes no record to fill: 0 or -1, and nothing written outside the
// record; a record answered 0 holds texts that end inside their 100 bytes.
TEST_F(HostileHost, DescribeEntryPoints) {
  const Span span = Records();
  RecordPage page;
  int32_t succeeded[4] = {};
  const auto ended = [](const char(&text)[kTextSize]) {
    return std::memchr(text, '\0', kTextSize) != nullptr;
  };
  // A record full of random bytes on the page, or no record at all.
  const auto place = [&]<class T>(Rng& r, T*& out) {
    page.Clear();
    out = r.OneIn(40) ? nullptr : reinterpret_cast<T*>(page.At(64));
    if (out != nullptr) {
      for (std::size_t i = 0; i < sizeof(T); ++i)
        *page.At(64 + i) = static_cast<std::byte>(r.Below(256));
      page.Writable(out, sizeof(T));
    }
    page.Seal();
  };
  for (int32_t k = span.begin; k < span.end; ++k) {
    EnterBlockOf(k);
    NoteRecord("DescribeEntryPoints", k);
    Rng r(seed_ * 0x100000001B3ull ^ 0xDE5C ^ (static_cast<uint64_t>(k) << 20));
    const int32_t count = gFunctionRegistry.count;
    constexpr int32_t kLow = std::numeric_limits<int32_t>::min();
    constexpr int32_t kHigh = std::numeric_limits<int32_t>::max();
    // Mostly numbers that name something, so that the deeper answers come too.
    const auto function = [&] {
      return r.OneIn(3) ? r.Pick({-1, 0, count - 1, count, count + 1, kRegistryRows, kLow, kHigh,
                                  r.Between(-5, 20)})
                        : r.Between(0, count - 1);
    };
    const auto argument = [&] {
      return r.OneIn(3) ? r.Pick({-1, 6, 8, 9, 10, kLow, kHigh, r.Between(0, 8)}) : r.Between(0, 3);
    };
    const auto choice = [&] {
      return r.OneIn(3) ? r.Pick({-1, 12, 13, kLow, kHigh - 1, kHigh}) : r.Between(0, 11);
    };
    const auto check = [&](int entry, int32_t rc, bool textsEnded) {
      ASSERT_TRUE(rc == 0 || rc == -1) << "entry point " << entry << " returned " << rc << ": "
                                       << Replay("DescribeEntryPoints", k);
      ASSERT_EQ(page.Trespass(), -1)
          << "entry point " << entry << ": " << Replay("DescribeEntryPoints", k);
      ASSERT_TRUE(rc != 0 || textsEnded)
          << "entry point " << entry << ": " << Replay("DescribeEntryPoints", k);
      succeeded[entry] += rc == 0 ? 1 : 0;
    };

    LibraryDescription* info;
    place(r, info);
    int32_t rc = MSXInfo(info);
    check(0, rc, info == nullptr || ended(info->text));

    FunctionDescription* function_;
    place(r, function_);
    rc = MSXNthFunction(function(), function_);
    check(1, rc, function_ == nullptr || (ended(function_->name) && ended(function_->description)));

    ArgumentDescription* argument_;
    place(r, argument_);
    const int32_t f1 = function();
    rc = MSXNthArg(f1, argument(), argument_);
    check(2, rc, argument_ == nullptr || ended(argument_->name));

    CustomStringDescription* choice_;
    place(r, choice_);
    const int32_t f2 = function();
    const int32_t a2 = argument();
    rc = MSXNthCustomString(f2, a2, choice(), choice_);
    check(3, rc, choice_ == nullptr || ended(choice_->text));
  }
  gRecordNote[0] = '\0';
  const int32_t records = span.end - span.begin;
  if (!Replaying()) {
    EXPECT_GE(records, kRecords);
  }
  std::cout << "[ hostile  ] description entry points: " << records
            << " records each; returned 0: MSXInfo " << succeeded[0] << ", MSXNthFunction "
            << succeeded[1] << ", MSXNthArg " << succeeded[2] << ", MSXNthCustomString "
            << succeeded[3] << "\n";
}

}  // namespace
}  // namespace msx
