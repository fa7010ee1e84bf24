#include "Csv.h"

#include <optional>
#include <vector>

#include "Files.h"
#include "HostError.h"
#include "Text.h"
#include "common/Calendar.h"

namespace msxhost {
namespace {

// What a column of the file holds.
enum class Column { kDate, kTime, kOpen, kHigh, kLow, kClose, kVolume, kExtra };

struct ColumnName {
  const char* name;
  Column column;
};

constexpr ColumnName kKnownColumns[] = {
    {"date", Column::kDate},     {"time", Column::kTime}, {"open", Column::kOpen},
    {"high", Column::kHigh},     {"low", Column::kLow},   {"close", Column::kClose},
    {"volume", Column::kVolume},
};

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(TrimBlanks(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

int32_t Digits(std::string_view text) { return ParseInt(text).value_or(-1); }

// YYYYMMDD or YYYY-MM-DD as the host's integer YYYYMMDD.
std::optional<int32_t> ParseDate(std::string_view text) {
  int32_t y = -1, m = -1, d = -1;
  if (text.size() == 8 && AllDigits(text)) {
    y = Digits(text.substr(0, 4));
    m = Digits(text.substr(4, 2));
    d = Digits(text.substr(6, 2));
  } else if (text.size() == 10 && text[4] == '-' && text[7] == '-' &&
             AllDigits(text.substr(0, 4)) && AllDigits(text.substr(5, 2)) &&
             AllDigits(text.substr(8, 2))) {
    y = Digits(text.substr(0, 4));
    m = Digits(text.substr(5, 2));
    d = Digits(text.substr(8, 2));
  }
  if (!msx::IsCalendarDate(y, m, d)) return std::nullopt;
  return y * 10000 + m * 100 + d;
}

// HHMMSS (up to six digits), HH:MM or HH:MM:SS as the host's time: HHMMSS
// followed by one more digit, here 0.
std::optional<int32_t> ParseTime(std::string_view text) {
  int32_t h = -1, m = -1, s = -1;
  if (AllDigits(text) && text.size() <= 6) {
    const int32_t hhmmss = Digits(text);
    h = hhmmss / 10000;
    m = hhmmss / 100 % 100;
    s = hhmmss % 100;
  } else if ((text.size() == 5 || text.size() == 8) && text[2] == ':' &&
             AllDigits(text.substr(0, 2)) && AllDigits(text.substr(3, 2))) {
    h = Digits(text.substr(0, 2));
    m = Digits(text.substr(3, 2));
    s = 0;
    if (text.size() == 8) {
      if (text[5] != ':' || !AllDigits(text.substr(6, 2))) return std::nullopt;
      s = Digits(text.substr(6, 2));
    }
  }
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return std::nullopt;
  return (h * 10000 + m * 100 + s) * 10;
}

class CsvReader {
 public:
  explicit CsvReader(const std::string& fileName) : fileName_(fileName) {}

  Chart Parse(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
    int64_t lineNumber = 0;
    bool haveHeader = false;
    for (const std::string_view line : SplitLines(text)) {
      ++lineNumber;
      if (TrimBlanks(line).empty()) continue;
      if (!haveHeader) {
        ReadHeader(line, lineNumber);
        haveHeader = true;
      } else {
        ReadBar(line, lineNumber);
      }
    }
    if (!haveHeader) throw HostError(kExitUsage, fileName_ + ": no header line");
    return std::move(chart_);
  }

 private:
  [[noreturn]] void Fail(int64_t lineNumber, const std::string& what) const {
    throw HostError(kExitUsage, fileName_ + ": line " + FormatInt(lineNumber) + ": " + what);
  }

  void ReadHeader(std::string_view line, int64_t lineNumber) {
    for (std::string_view field : SplitFields(line)) {
      if (field.empty()) Fail(lineNumber, "empty column name");
      const std::string name = ToLower(field);
      for (const std::string& seen : lowerNames_)
        if (seen == name) Fail(lineNumber, Cat("column ", field, " appears twice"));
      Column column = Column::kExtra;
      for (const ColumnName& known : kKnownColumns)
        if (name == known.name) column = known.column;
      if (column == Column::kExtra) {
        if (!PriceField(name).empty())
          Fail(lineNumber, Cat("column name ", field, " would hide the price field of that name"));
        chart_.extra.push_back({std::string(field), {}});
      }
      columns_.push_back(column);
      lowerNames_.push_back(name);
      names_.emplace_back(field);
    }
    for (const char* required : {"date", "high", "low", "close"}) {
      bool found = false;
      for (const std::string& seen : lowerNames_) found = found || seen == required;
      if (!found) Fail(lineNumber, std::string("no ") + required + " column");
    }
    chart_.hasTime = HasColumn(Column::kTime);
  }

  bool HasColumn(Column column) const {
    for (Column c : columns_)
      if (c == column) return true;
    return false;
  }

  void ReadBar(std::string_view line, int64_t lineNumber) {
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() != columns_.size())
      Fail(lineNumber, Cat("expected ", FormatInt(static_cast<int64_t>(columns_.size())),
                           " fields, got ", FormatInt(static_cast<int64_t>(fields.size()))));
    std::size_t extra = 0;
    int32_t time = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::string_view field = fields[i];
      const std::string& name = names_[i];
      if (columns_[i] == Column::kDate) {
        const std::optional<int32_t> date = ParseDate(field);
        if (!date) Fail(lineNumber, "bad date \"" + std::string(field) + "\"");
        chart_.dates.push_back(*date);
        continue;
      }
      if (columns_[i] == Column::kTime) {
        const std::optional<int32_t> t = ParseTime(field);
        if (!t) Fail(lineNumber, "bad time \"" + std::string(field) + "\"");
        time = *t;
        continue;
      }
      const std::optional<float> value = ParseFloat(field);
      if (!value) Fail(lineNumber, "bad number \"" + std::string(field) + "\" in column " + name);
      std::vector<float>* price = PriceColumn(columns_[i]);
      (price != nullptr ? *price : chart_.extra[extra++].values).push_back(*value);
    }
    chart_.times.push_back(time);
  }

  // The chart's vector of a price column; null for an extra column.
  std::vector<float>* PriceColumn(Column column) {
    switch (column) {
      case Column::kOpen:
        return &chart_.open;
      case Column::kHigh:
        return &chart_.high;
      case Column::kLow:
        return &chart_.low;
      case Column::kClose:
        return &chart_.close;
      case Column::kVolume:
        return &chart_.volume;
      default:
        return nullptr;
    }
  }

  std::string fileName_;
  std::vector<Column> columns_;
  std::vector<std::string> names_;
  std::vector<std::string> lowerNames_;
  Chart chart_;
};

}  // namespace

Chart ParseCsv(std::string_view text, const std::string& fileName) {
  return CsvReader(fileName).Parse(text);
}

Chart ReadCsv(const std::string& path) {
  Chart chart = ParseCsv(ReadWholeFile(path), path);
  chart.symbol = ToUpper(StemOf(path));
  chart.securityName = chart.symbol;
  chart.folder = FolderOf(path);
  return chart;
}

}  // namespace msxhost
