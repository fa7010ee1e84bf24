// The chart's period as the library names it: in the data files' names and
// in the sections of the trading settings.
#pragma once

#include <string>

#include "common/NumberText.h"
#include "host/MSXStruct.h"

namespace msx {

// The chart's period letter: the low byte of the period field.
inline char PeriodLetter(const HostDataRecord& data) {
  return static_cast<char>(data.period & 0xFF);
}

// The letter of a D, W, M, Q or Y chart; the interval of an intraday (I)
// chart in decimal, "T" for interval 0; empty for any other letter.
inline std::string PeriodTag(const HostDataRecord& data) {
  const char letter = PeriodLetter(data);
  switch (letter) {
    case 'D':
    case 'W':
    case 'M':
    case 'Q':
    case 'Y':
      return std::string(1, letter);
    case 'I': {
      if (data.interval == 0) return "T";
      std::string text;
      AppendPaddedInt(text, data.interval, 1);
      return text;
    }
    default:
      return {};
  }
}

}  // namespace msx
