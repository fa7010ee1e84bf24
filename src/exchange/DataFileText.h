// The data file's text: its name from the formula's template, the period
// text in the name, the basic date-time columns, and the file's lines as a
// reader loads them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "common/ChartPeriod.h"
#include "common/Checked.h"
#include "host/MSXStruct.h"

namespace msx {

// The template with %S replaced by the symbol, %P by the period text and %%
// by one percent sign; "%" followed by any other character, or "%" as the
// last character, gives nothing. Placeholder letters are upper case only.
// An empty expansion gives the template itself, unchanged.
std::string ExpandDataFileName(std::string_view fileTemplate, std::string_view symbol,
                               std::string_view periodText);

// The reader's period text: "D" for every chart but an intraday one, which
// gives its period tag as the writers do.
std::string ReaderPeriodText(const HostDataRecord& data);

// The symbol text of the chart; empty when the host gives none.
std::string_view SymbolText(const HostDataRecord& data);

// A bar's date and time as the basic layout writes them: "%.8d,%.7d".
void AppendBasicDateTime(std::string& out, int32_t date, int32_t time);

// The same into a buffer of kBasicDateTimeCapacity characters; returns the
// end of the text.
inline constexpr std::size_t kBasicDateTimeCapacity = 32;
char* PutBasicDateTime(char* p, int32_t date, int32_t time);

// The lines of a loaded file. Lines end at CR LF, at a lone CR and at a lone
// LF, and do not include their ends; the end of the last line adds no line,
// so a writer's file loads as its data lines and one empty line. A NUL ends
// the text. The lines view the list's own copy of the text: a list is
// neither copied nor moved.
class DataLines {
 public:
  DataLines() = default;
  DataLines(const DataLines&) = delete;
  DataLines& operator=(const DataLines&) = delete;

  // Replaces the contents with the lines of text (taken over).
  void Assign(std::string&& text);
  void Clear();

  std::size_t size() const { return lines_.size(); }
  std::string_view operator[](std::size_t k) const { return lines_[k]; }

 private:
  std::string text_;
  std::vector<std::string_view> lines_;
};

}  // namespace msx
