// The records the charting host exchanges with the library. Their layout is
// the host's: 32-bit signed integers, 32-bit IEEE floats, 8-bit texts ending
// in NUL, fields one after the other without gaps. The 32-bit build checks
// every size and offset at compile time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/Export.h"

namespace msx {

// Every host value array holds indexes 0 to 65499; any other index is a fault.
inline constexpr int32_t kMaxBars = 65500;
inline constexpr int32_t kMaxIndex = kMaxBars - 1;
inline constexpr int32_t kMaxArgs = 9;
inline constexpr std::size_t kTextSize = 100;  // every fixed text field

// One bar's stamp: date as YYYYMMDD, time as HHMMSS followed by one more digit.
struct HostDateTimeEntry {
  int32_t date;
  int32_t time;
};

// A value array with its valid range (first > last means empty).
struct HostSeries {
  float* values;
  int32_t first;
  int32_t last;
};

struct HostDataRecord {
  HostDateTimeEntry* dates;  // one entry per bar, indexed like the series
  HostSeries open;           // not read
  HostSeries high;
  HostSeries low;
  HostSeries close;
  HostSeries volume;        // not read
  HostSeries openInterest;  // not read
  HostSeries indicator;     // not read
  char* securityName;
  char* symbol;
  char* securityPath;  // a folder
  char* onlineSource;  // not read
  int32_t period;      // letter code in the low byte: D W M Q Y, I for intraday
  int32_t interval;    // intraday bar interval; 0 is shown as "T"
};

// The argument arrays, filled in the order of the function's arguments of
// each type.
struct HostSeriesArgs {
  HostSeries* items[kMaxArgs];
  int32_t count;
};
struct HostNumericArgs {
  float items[kMaxArgs];
  int32_t count;
};
struct HostStringArgs {
  char* items[kMaxArgs];
  int32_t count;
};
struct HostCustomArgs {
  int32_t items[kMaxArgs];  // the chosen custom-string ID
  int32_t count;
};

struct ResultRec {
  HostSeries* result;  // value array supplied by the host
  char szExtendedError[kTextSize];
};

// Filled by the library when the host asks it to describe itself.
struct LibraryDescription {
  char text[kTextSize];
  int32_t functionCount;
  int32_t version;
};
struct FunctionDescription {
  char name[kTextSize];
  char description[kTextSize];
  int32_t argumentCount;
};
struct ArgumentDescription {
  int32_t type;  // ArgumentType
  char name[kTextSize];
  int32_t customStringCount;
};
struct CustomStringDescription {
  char text[kTextSize];
  int32_t id;
};

enum ArgumentType : int32_t {
  kSeriesArg = 0,
  kNumericArg = 1,
  kStringArg = 2,
  kCustomArg = 3,
};

// The signature of every exported function.
using HostFunction = int32_t(MSX_CALL*)(const HostDataRecord*, const HostSeriesArgs*,
                                        const HostNumericArgs*, const HostStringArgs*,
                                        const HostCustomArgs*, ResultRec*);

#if defined(__i386__)
static_assert(sizeof(void*) == 4);
static_assert(sizeof(HostDateTimeEntry) == 8);
static_assert(sizeof(HostSeries) == 12);
static_assert(offsetof(HostSeries, first) == 4 && offsetof(HostSeries, last) == 8);
static_assert(offsetof(HostDataRecord, open) == 4);
static_assert(offsetof(HostDataRecord, high) == 16);
static_assert(offsetof(HostDataRecord, low) == 28);
static_assert(offsetof(HostDataRecord, close) == 40);
static_assert(offsetof(HostDataRecord, volume) == 52);
static_assert(offsetof(HostDataRecord, openInterest) == 64);
static_assert(offsetof(HostDataRecord, indicator) == 76);
static_assert(offsetof(HostDataRecord, securityName) == 88);
static_assert(offsetof(HostDataRecord, symbol) == 92);
static_assert(offsetof(HostDataRecord, securityPath) == 96);
static_assert(offsetof(HostDataRecord, onlineSource) == 100);
static_assert(offsetof(HostDataRecord, period) == 104);
static_assert(offsetof(HostDataRecord, interval) == 108);
static_assert(sizeof(HostDataRecord) == 112);
static_assert(sizeof(HostSeriesArgs) == 40 && offsetof(HostSeriesArgs, count) == 36);
static_assert(sizeof(HostNumericArgs) == 40 && offsetof(HostNumericArgs, count) == 36);
static_assert(sizeof(HostStringArgs) == 40 && offsetof(HostStringArgs, count) == 36);
static_assert(sizeof(HostCustomArgs) == 40 && offsetof(HostCustomArgs, count) == 36);
static_assert(sizeof(ResultRec) == 104 && offsetof(ResultRec, szExtendedError) == 4);
static_assert(sizeof(LibraryDescription) == 108);
static_assert(offsetof(LibraryDescription, functionCount) == 100);
static_assert(offsetof(LibraryDescription, version) == 104);
static_assert(sizeof(FunctionDescription) == 204);
static_assert(offsetof(FunctionDescription, description) == 100);
static_assert(offsetof(FunctionDescription, argumentCount) == 200);
static_assert(sizeof(ArgumentDescription) == 108);
static_assert(offsetof(ArgumentDescription, name) == 4);
static_assert(offsetof(ArgumentDescription, customStringCount) == 104);
static_assert(sizeof(CustomStringDescription) == 104);
static_assert(offsetof(CustomStringDescription, id) == 100);
#endif

}  // namespace msx
