// The computational half of the common-functions module: no platform calls.
#include "common/Calendar.h"
#include "common/Checked.h"
#include "common/Fault.h"
#include "common/MSX_QMR_CommonFunc.h"

namespace msx {
namespace {

constinit bool gCodePageFlag = false;

// The 16-bit unsigned range that every date and time part must fit.
int32_t Part(int32_t v) {
  if (v < 0 || v > 65535) RaiseFault(kRangeCheckError);
  return v;
}

// Days from 30 December 1899 to the given calendar date.
int64_t DaySerial(int32_t y, int32_t m, int32_t d) {
  // Days from 1 January of year 1 (proleptic Gregorian), then shifted.
  const int64_t py = y - 1;
  int64_t days = py * 365 + py / 4 - py / 100 + py / 400;
  for (int32_t month = 1; month < m; ++month) days += DaysInMonth(y, month);
  days += d - 1;
  constexpr int64_t kDaysTo18991230 = 693593;  // 1 Jan 0001 to 30 Dec 1899
  return days - kDaysTo18991230;
}

}  // namespace

bool CodePageFlag() { return gCodePageFlag; }
void SetCodePageFlag(bool set) { gCodePageFlag = set; }

double HostDateTime(int32_t date, int32_t time) {
  const int32_t day = Part(date % 100);
  const int32_t month = Part((date / 100) % 100);
  const int32_t year = Part(date / 10000);
  const int32_t millis = Part(time % 10);
  const int32_t seconds = Part((time / 10) % 100);
  const int32_t minutes = Part((time / 1000) % 100);
  const int32_t hours = Part(time / 100000);

  if (!IsCalendarDate(year, month, day)) RaiseFault(kInvalidDateEncode);
  if (hours > 23 || minutes > 59 || seconds > 59) RaiseFault(kInvalidTimeEncode);

  const int64_t ms = ((static_cast<int64_t>(hours) * 60 + minutes) * 60 + seconds) * 1000 + millis;
  // The time of day is stored as a double of its own, then added to the date
  // in extended precision.
  const double fraction = static_cast<double>(static_cast<long double>(ms) / 86400000.0L);
  return static_cast<double>(static_cast<long double>(DaySerial(year, month, day)) + fraction);
}

}  // namespace msx
