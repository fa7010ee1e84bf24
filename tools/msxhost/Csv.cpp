#include "Csv.h"

#include <algorithm>
#include <vector>

#include "Files.h"
#include "HostError.h"
#include "Text.h"
#include "common/Calendar.h"

namespace msxhost {
namespace {

// What a column of the file holds.
enum class Column { kDate, kTime, kOpen, kHigh, kLow, kClose, kVolume, kSkipped, kExtra };

struct ColumnName {
  const char* name;
  Column column;
};

constexpr ColumnName kKnownColumns[] = {
    {"date", Column::kDate},     {"time", Column::kTime},  {"open", Column::kOpen},
    {"high", Column::kHigh},     {"low", Column::kLow},    {"close", Column::kClose},
    {"volume", Column::kVolume}, {"vol", Column::kVolume}, {"ticker", Column::kSkipped},
    {"per", Column::kSkipped},
};

constexpr const char* kHeaderExample =
    "such as date,open,high,low,close,volume or <DATE>;<TIME>;<OPEN>;<HIGH>;<LOW>;<CLOSE>;<VOL>";

std::vector<std::string_view> SplitFields(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t cut = line.find(separator, start);
    fields.push_back(TrimBlanks(line.substr(start, cut - start)));
    if (cut == std::string_view::npos) break;
    start = cut + 1;
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

// Whether the text has digits at the given places and `mark` at the others.
bool Shaped(std::string_view text, std::string_view shape) {
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (shape[i] == '9' ? !AllDigits(text.substr(i, 1)) : text[i] != shape[i]) return false;
  return true;
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
  } else if (Shaped(text, "99:99") || Shaped(text, "99:99:99")) {
    h = Digits(text.substr(0, 2));
    m = Digits(text.substr(3, 2));
    s = text.size() == 8 ? Digits(text.substr(6, 2)) : 0;
  }
  if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) return std::nullopt;
  return (h * 10000 + m * 100 + s) * 10;
}

// A column's name without its angle brackets (<DATE> is date).
std::string_view Unbracketed(std::string_view field) {
  if (field.size() >= 2 && field.front() == '<' && field.back() == '>')
    return TrimBlanks(field.substr(1, field.size() - 2));
  return field;
}

// A bar's place in time: its date and time as one number.
int64_t When(const Chart& chart, std::size_t bar) {
  return static_cast<int64_t>(chart.dates[bar]) * 10000000 + chart.times[bar];
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
    if (!haveHeader)
      throw HostError(kExitUsage, Cat(fileName_, ": no header line (expected the column names, ",
                                      kHeaderExample, ")"));
    FillPrices();
    PutInOrder();
    if (chart_.hasTime &&
        std::all_of(chart_.times.begin(), chart_.times.end(), [](int32_t t) { return t == 0; }))
      chart_.hasTime = false;
    return std::move(chart_);
  }

 private:
  [[noreturn]] void Fail(int64_t lineNumber, const std::string& what) const {
    throw HostError(kExitUsage, fileName_ + ": line " + FormatInt(lineNumber) + ": " + what);
  }

  void ReadHeader(std::string_view line, int64_t lineNumber) {
    separator_ = line.find(';') != std::string_view::npos ? ';' : ',';
    const std::vector<std::string_view> fields = SplitFields(line, separator_);
    if (ParseDate(fields.front()))
      Fail(lineNumber,
           Cat("expected a header line naming the columns, ", kHeaderExample, "; got a bar"));
    for (std::string_view field : fields) {
      if (Unbracketed(field).empty()) Fail(lineNumber, "empty column name");
      const std::string name = ToLower(Unbracketed(field));
      for (const std::string& seen : lowerNames_)
        if (seen == name) Fail(lineNumber, Cat("column ", field, " appears twice"));
      Column column = Column::kExtra;
      for (const ColumnName& known : kKnownColumns)
        if (name == known.name) column = known.column;
      if (column == Column::kVolume && HasColumn(Column::kVolume))
        Fail(lineNumber, Cat("column ", field, " is a second volume column"));
      if (column == Column::kExtra) {
        if (!PriceField(name).empty())
          Fail(lineNumber, Cat("column name ", field, " would hide the price field of that name"));
        chart_.extra.push_back({std::string(Unbracketed(field)), {}});
      }
      columns_.push_back(column);
      lowerNames_.push_back(name);
      names_.emplace_back(field);
    }
    for (const Column required : {Column::kDate, Column::kClose})
      if (!HasColumn(required))
        Fail(lineNumber, Cat("no ", required == Column::kDate ? "date" : "close",
                             " column (expected a header naming at least date and close, ",
                             kHeaderExample, ")"));
    chart_.hasTime = HasColumn(Column::kTime);
  }

  bool HasColumn(Column column) const {
    return std::find(columns_.begin(), columns_.end(), column) != columns_.end();
  }

  void ReadBar(std::string_view line, int64_t lineNumber) {
    const std::vector<std::string_view> fields = SplitFields(line, separator_);
    if (fields.size() != columns_.size())
      Fail(lineNumber,
           Cat("expected ", FormatInt(static_cast<int64_t>(columns_.size())),
               " fields separated by '", std::string(1, separator_), "' as the header names, got ",
               FormatInt(static_cast<int64_t>(fields.size()))));
    std::size_t extra = 0;
    int32_t time = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const std::string_view field = fields[i];
      switch (columns_[i]) {
        case Column::kSkipped:
          continue;
        case Column::kDate: {
          const std::optional<int32_t> date = ParseDate(field);
          if (!date) Fail(lineNumber, Cat("bad date \"", field, "\" (expected ", kDateForms, ")"));
          chart_.dates.push_back(*date);
          continue;
        }
        case Column::kTime: {
          const std::optional<int32_t> t = ParseTime(field);
          if (!t)
            Fail(lineNumber, Cat("bad time \"", field, "\" (expected HHMMSS, HH:MM or HH:MM:SS)"));
          time = *t;
          continue;
        }
        default:
          break;
      }
      const std::optional<float> value = ParseNumberField(field);
      if (!value)
        Fail(lineNumber,
             Cat("bad number \"", field, "\" in column ", names_[i],
                 " (expected a number such as 12.5", separator_ == ';' ? " or 12,5)" : ")"));
      std::vector<float>* price = PriceColumn(columns_[i]);
      (price != nullptr ? *price : chart_.extra[extra++].values).push_back(*value);
    }
    chart_.times.push_back(time);
    lines_.push_back(lineNumber);
  }

  // A number; with ";" between fields its decimal mark may be a comma.
  std::optional<float> ParseNumberField(std::string_view field) const {
    if (separator_ != ';' || field.find(',') == std::string_view::npos) return ParseFloat(field);
    std::string text(field);
    std::replace(text.begin(), text.end(), ',', '.');
    return ParseFloat(text);
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

  // Line data (no high or low): the open, high and low it lacks are the
  // close, as charting programs draw it. Bars without only an open keep it
  // missing, named when a formula uses it.
  void FillPrices() {
    if (HasColumn(Column::kHigh) && HasColumn(Column::kLow)) return;
    std::vector<std::string> filled;
    for (const Column column : {Column::kOpen, Column::kHigh, Column::kLow}) {
      if (HasColumn(column)) continue;
      *PriceColumn(column) = chart_.close;
      filled.push_back(column == Column::kOpen ? "open" : column == Column::kHigh ? "high" : "low");
    }
    if (filled.empty()) return;
    chart_.hasOhlc = false;
    std::string names = filled[0];
    for (std::size_t k = 1; k < filled.size(); ++k)
      names += (k + 1 == filled.size() ? " or " : ", ") + filled[k];
    chart_.notices.push_back(Cat(fileName_, ": no ", names, " column: taken as the close"));
  }

  std::string BarText(std::size_t bar) const {
    return chart_.hasTime ? Cat(FormatDate(chart_.dates[bar]), " ", FormatTime(chart_.times[bar]))
                          : FormatDate(chart_.dates[bar]);
  }

  // Checks that the bars rise in time, or fall throughout (then reverses them).
  void PutInOrder() {
    const std::size_t bars = chart_.dates.size();
    int direction = 1;
    for (std::size_t i = 1; i < bars; ++i)
      if (When(chart_, i) != When(chart_, i - 1)) {
        direction = When(chart_, i) > When(chart_, i - 1) ? 1 : -1;
        break;
      }
    for (std::size_t i = 1; i < bars; ++i) {
      const int64_t now = When(chart_, i);
      const int64_t before = When(chart_, i - 1);
      if (now == before)
        Fail(lines_[i], Cat("the bar of ", BarText(i), " again (line ", FormatInt(lines_[i - 1]),
                            " has it too): each bar needs a date",
                            chart_.hasTime ? " and time" : "", " of its own"));
      if ((now > before) != (direction > 0))
        Fail(lines_[i], Cat(BarText(i), " is out of order after ", BarText(i - 1), " (line ",
                            FormatInt(lines_[i - 1]), "): the bars must run ",
                            direction > 0 ? "oldest first" : "newest first", " throughout"));
    }
    if (direction > 0) return;
    for (std::vector<int32_t>* column : {&chart_.dates, &chart_.times})
      std::reverse(column->begin(), column->end());
    for (std::vector<float>* column :
         {&chart_.open, &chart_.high, &chart_.low, &chart_.close, &chart_.volume})
      std::reverse(column->begin(), column->end());
    for (NamedSeries& column : chart_.extra)
      std::reverse(column.values.begin(), column.values.end());
    chart_.notices.push_back(fileName_ + ": the bars run newest first: put in time order");
  }

  std::string fileName_;
  char separator_ = ',';
  std::vector<Column> columns_;
  std::vector<std::string> names_;
  std::vector<std::string> lowerNames_;
  std::vector<int64_t> lines_;  // the line of each bar
  Chart chart_;
};

}  // namespace

std::optional<int32_t> ParseDate(std::string_view text) {
  int32_t y = -1, m = -1, d = -1;
  if (Shaped(text, "99999999")) {
    y = Digits(text.substr(0, 4));
    m = Digits(text.substr(4, 2));
    d = Digits(text.substr(6, 2));
  } else if (Shaped(text, "9999-99-99")) {
    y = Digits(text.substr(0, 4));
    m = Digits(text.substr(5, 2));
    d = Digits(text.substr(8, 2));
  } else if (Shaped(text, "99.99.9999")) {
    d = Digits(text.substr(0, 2));
    m = Digits(text.substr(3, 2));
    y = Digits(text.substr(6, 4));
  }
  if (!msx::IsCalendarDate(y, m, d)) return std::nullopt;
  return y * 10000 + m * 100 + d;
}

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
