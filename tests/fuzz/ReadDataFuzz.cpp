// ReadData over any data file content, on a small daily or intraday chart
// with any Close range: every bar of the range gets a value or the call
// fails with one of its faults, and nothing outside the range is written;
// on a daily chart the time column is never read, so any text there gives
// the same. A second mode stores the chart's own values with WriteData
// first: read back on the same chart, every bar gets what its line's text
// says.
#include <charconv>
#include <cmath>
#include <exception>
#include <map>

#include "FuzzInput.h"
#include "common/Fault.h"
#include "exchange/MSX_QMR_ReadData.h"
#include "exchange/MSX_QMR_WriteData.h"
#include "common/NumberText.h"

namespace {

constexpr int32_t kBars = 12;
constexpr const char* kTemplate = "fuzz_%S_%P.txt";

// Files in memory, with the platform's rules: renames never replace.
class MemoryFiles final : public msx::FileService {
 public:
  std::map<std::string, std::string> files;

  bool Exists(const std::string& path) override { return files.count(path) != 0; }
  msx::platform::Status Remove(const std::string& path) override {
    return files.erase(path) != 0 ? Ok() : Missing();
  }
  msx::platform::Status RenameNoReplace(const std::string& from, const std::string& to) override {
    const auto it = files.find(from);
    if (it == files.end() || files.count(to) != 0) return Missing();
    std::string bytes = std::move(it->second);
    files.erase(it);
    files[to] = std::move(bytes);
    return Ok();
  }
  msx::platform::Status ReplaceContent(const std::string& path, std::string_view bytes) override {
    files[path] = std::string(bytes);
    return Ok();
  }
  msx::platform::Status Read(const std::string& path, std::string* bytes) override {
    const auto it = files.find(path);
    if (it == files.end()) return Missing();
    *bytes = it->second;
    return Ok();
  }
  void Sleep(int32_t) override {}

 private:
  static msx::platform::Status Ok() { return {}; }
  static msx::platform::Status Missing() { return {msx::platform::StatusCode::kNotFound, 2}; }
};

// Twelve bars, exactly as long as the chart: a read or write past them is
// the address sanitizer's to see. Daily: twelve trading days; intraday:
// six five-minute bars on each of two days. (Not the unit tests' TestChart:
// its arrays are the host's full 65,500 bars, in which a reach past a short
// chart lands unseen.)
struct SmallChart {
  std::vector<msx::HostDateTimeEntry> dates;
  std::vector<float> close;
  char symbol[5] = "GOOG";
  msx::HostDataRecord data{};

  SmallChart(bool intraday, int32_t first, int32_t last) : dates(kBars), close(kBars, 100.0f) {
    constexpr int32_t kDays[kBars] = {20240102, 20240103, 20240104, 20240105, 20240108, 20240109,
                                      20240110, 20240111, 20240112, 20240115, 20240116, 20240117};
    for (int32_t i = 0; i < kBars; ++i) {
      const auto k = static_cast<std::size_t>(i);
      dates[k] = intraday ? msx::HostDateTimeEntry{kDays[i / 6], 1000000 + (i % 6) * 5000}
                          : msx::HostDateTimeEntry{kDays[i], 0};
    }
    data.dates = dates.data();
    data.close = {close.data(), first, last};
    data.symbol = symbol;
    data.period = intraday ? 'I' : 'D';
    data.interval = intraday ? 5 : 0;
  }
};

// Never a value a file gives: a signalling NaN, which no conversion from
// text yields.
float Poison() {
  constexpr uint32_t kBits = 0x7FA5A5A5u;
  float f;
  std::memcpy(&f, &kBits, sizeof f);
  return f;
}
bool IsPoison(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits == 0x7FA5A5A5u;
}

bool KnownFault(std::string_view message) {
  return message == "Invalid numeric text in the data file" || message == msx::kFloatOverflow ||
         message == msx::kRangeCheckError;
}

bool Same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// The content with the second column of every line that has a third made
// no number.
std::string WithoutTimes(std::string content) {
  msx::DataLines lines;
  lines.Assign(std::move(content));
  std::string changed;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    const std::string_view line = lines[k];
    const std::size_t first = line.find(',');
    const std::size_t second = first == std::string_view::npos ? first : line.find(',', first + 1);
    if (second == std::string_view::npos)
      changed.append(line);
    else
      changed.append(line.substr(0, first + 1)).append("no time").append(line.substr(second));
    changed.append("\r\n");
  }
  return changed;
}

// The values and fault of one ReadData call over content.
struct Outcome {
  std::vector<float> values;
  std::string fault;  // empty: none
};
Outcome Read(SmallChart& chart, std::string content) {
  MemoryFiles files;
  files.files[msx::ExpandDataFileName(kTemplate, "GOOG", "D")] = std::move(content);
  Outcome outcome{std::vector<float>(kBars, Poison()), {}};
  try {
    msx::ComputeReadData(chart.data, kTemplate, outcome.values.data(), files);
  } catch (const msx::Fault& fault) {
    outcome.fault = fault.what();
  }
  return outcome;
}

// The value a data file's text for v reads back as.
float ThroughText(float v) {
  std::string text;
  msx::AppendValueText(text, v);
  double d = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec != std::errc{} || end != text.data() + text.size())
    fuzz::Fail("the writers' value text " + text + " does not read as a number");
  return static_cast<float>(d);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const bool intraday = (data[0] & 1) != 0;
  const bool roundTrip = (data[0] & 2) != 0;
  const int32_t first = data[1] % (kBars + 1) - 1;  // -1 to 11
  const int32_t last = data[2] % (kBars + 1) - 1;
  std::string_view rest(reinterpret_cast<const char*>(data + 3), size - 3);
  SmallChart chart(intraday, first, last);
  const std::string where = std::string(intraday ? "intraday" : "daily") + " bars " +
                            std::to_string(first) + " to " + std::to_string(last);

  MemoryFiles files;
  std::vector<float> out(kBars, Poison());
  if (roundTrip) {
    if (first < 0 || last < 0) return 0;
    for (float& v : chart.close) v = fuzz::Take<float>(rest);
    std::vector<float> copied(kBars);
    msx::ComputeWriteData(chart.data, chart.data.close, kTemplate, copied.data(), files);
  } else {
    files.files[msx::ExpandDataFileName(kTemplate, "GOOG", intraday ? "5" : "D")] =
        std::string(rest);
  }

  try {
    const msx::BarRange range = msx::ComputeReadData(chart.data, kTemplate, out.data(), files);
    if (range.first != first || range.last != last)
      fuzz::Fail("the returned range is not the Close range, " + where);
    for (int32_t i = 0; i < kBars; ++i) {
      const float v = out[static_cast<std::size_t>(i)];
      const bool inside = i >= first && i <= last;
      if (inside == IsPoison(v))
        fuzz::Fail((inside ? "bar left unwritten: " : "bar written outside the range: ") +
                   std::to_string(i) + ", " + where);
      if (roundTrip && inside && !Same(v, ThroughText(chart.close[static_cast<std::size_t>(i)])))
        fuzz::Fail("bar " + std::to_string(i) + " reads back another value than it stored, " +
                   where);
    }
  } catch (const msx::Fault& fault) {
    if (roundTrip) fuzz::Fail(std::string("reading a written file fails: ") + fault.what());
    if (!KnownFault(fault.what())) fuzz::Fail(std::string("unknown fault: ") + fault.what());
    for (int32_t i = 0; i < kBars; ++i)
      if ((i < first || i > last) && !IsPoison(out[static_cast<std::size_t>(i)]))
        fuzz::Fail("a failed call wrote outside the range: bar " + std::to_string(i) + ", " +
                   where);
  }

  if (!intraday && !roundTrip) {
    const Outcome plain = Read(chart, std::string(rest));
    const Outcome timeless = Read(chart, WithoutTimes(std::string(rest)));
    bool same = plain.fault == timeless.fault;
    for (int32_t i = 0; i < kBars; ++i) {
      const auto k = static_cast<std::size_t>(i);
      same = same && (IsPoison(plain.values[k]) ? IsPoison(timeless.values[k])
                                                : Same(plain.values[k], timeless.values[k]));
    }
    if (!same) fuzz::Fail("a daily chart reads the time column, " + where);
  }
  return 0;
}
