// The value pattern of WriteDataEx: text with printf-like specifiers over the
// seven values of a bar. Our own parser; nothing reaches printf.
//
//   %[index:][-][width][.precision]type
//
// A specifier takes the next value, or the one its index names (from 0),
// and the following ones go on from there. Types (either case): e
// scientific (precision: significant digits, 15 by default), f fixed
// (precision: decimals, 2), g general (significant digits, 15), n fixed
// with the locale's thousands separator (decimals, 2), m the locale's
// currency format (decimals, the locale's). A precision above 18 counts as
// not given. The width pads with blanks on the left, or with "-" on the
// right. "%%" is one percent sign.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace msx {

inline constexpr int32_t kPatternValues = 7;
// Wider fields are refused as an invalid format: a line per bar of such
// widths would not fit in memory.
inline constexpr int32_t kMaxFieldWidth = 1024;

class ValuePattern {
 public:
  // Reads the pattern once. A fault in it is kept and raised by every
  // Append: "Format '%s' invalid or incompatible with argument" for a
  // malformed specifier or a type other than the five, "No argument for
  // format '%s'" for a specifier beyond the seventh value; the pattern, cut
  // to 31 characters, stands for %s.
  ValuePattern(std::string_view pattern, const platform::LocaleFormats& locale);

  // Appends the pattern formatted with the values of one bar.
  void Append(std::string& out, const float (&values)[kPatternValues]) const;

  // The message of the pattern's fault; empty when it has none.
  const std::string& fault() const { return fault_; }

 private:
  struct Segment {
    std::string literal;  // copied before the specifier
    bool hasSpecifier = false;
    int32_t index = 0;
    bool leftAlign = false;
    int32_t width = 0;
    int32_t precision = -1;  // not given
    char type = 0;           // lower case
  };
  void AppendValue(std::string& out, const Segment& s, double v) const;

  std::vector<Segment> segments_;
  std::string fault_;
  const platform::LocaleFormats& locale_;
};

}  // namespace msx
