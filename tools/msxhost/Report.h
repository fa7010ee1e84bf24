// The tester's text outputs.
#pragma once

#include <string>

#include "Chart.h"
#include "Formula.h"
#include "LoadedLibrary.h"

namespace msxhost {

// What the host sees of the library, one line per item:
//   MSX_QMR: <MSXInfo text> (functions: 8, interface version 1)
//   [0] NRTR - <description> (2 arguments)
//       0 series   Close[]
//       3 custom   [Up|U|Dn|D] Up=0 U=0 Dn=1 D=1
// The first word is the library's file name without extension in upper case;
// argument indexes count from 0 as the host numbers them; the type column is
// nine characters wide; choices follow the name as TEXT=ID.
std::string DescribeLibrary(const LoadedLibrary& library);

// The result as CSV: the header "date,value" (or "date,time,value" when the
// chart has a time column), then one line per bar of the result's valid
// range clamped to the chart's bars: the date YYYYMMDD, the time HHMMSS, the
// value as the shortest text that reads back as the same float. Lines end
// with "\n".
std::string ResultTable(const Chart& chart, const FormulaResult& result);

// The result's valid range clamped to the chart's bars; first > last when
// no bar is in it.
struct BarSpan {
  int32_t first = 0;
  int32_t last = -1;
  int32_t count() const { return last >= first ? last - first + 1 : 0; }
};
BarSpan ClampedRange(const Chart& chart, const FormulaResult& result);

}  // namespace msxhost
