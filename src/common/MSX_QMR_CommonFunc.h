// Routines that several function modules share, and the code-page flag that
// decides which functions the library offers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace msx {

// True exactly when the system's OEM code page is 866 (Cyrillic); set once at
// load, before any function registers. JMA, JTPO and TradeQuik are offered
// only then.
bool CodePageFlag();
void SetCodePageFlag(bool set);

// Appends line and CR LF to the file at path, converted to the OEM code page,
// in one write. The file is created when missing; a file that ends in a
// fragment of a line gets the line end first. A file that cannot be
// opened or written gets nothing; the result says whether the line was
// written, for the callers that must not lose it.
bool AppendLine(std::string_view line, const std::string& path);

// Turns text into the bytes AppendLine writes for it: CR LF appended, the
// whole converted in place from the ANSI to the OEM code page.
void MakeOemLine(std::string& text);

// The diagnostic hook: called at fixed checkpoints, records nothing.
void DiagnosticLog(std::string_view message);

// The date-time value (days since 30 December 1899, the fraction being the
// time of day) of a host date YYYYMMDD and time HHMMSSm, whose last digit is
// taken as milliseconds 0 to 9. Faults: a part outside 0 to 65535 is a
// "Range check error"; a date that is not a calendar date in the years 1 to
// 9999 "Invalid argument to date encode"; hours above 23 or minutes or
// seconds above 59 "Invalid argument to time encode".
double HostDateTime(int32_t date, int32_t time);

// The module's load and unload steps.
void LoadCommonFunc();
void UnloadCommonFunc();

}  // namespace msx
