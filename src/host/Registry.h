// The function registry: what the host sees of the library. Each function
// module owns a constant FunctionTable (name, description, arguments, help
// lines); its load step registers the table, and the describe routines are
// one generic implementation bound to each table.
#pragma once

#include <cstdint>
#include <span>

#include "host/MSXStruct.h"

namespace msx {

// One argument of a function, in argument order. The custom-string list holds
// one entry per choice: the choice's text, a comma, its ID and a ";"
// ("Up,0;U,0;Dn,1;"). Several texts may share one ID.
struct ArgumentRow {
  ArgumentType type;
  const char* name;
  int32_t customStringCount;
  const char* customStrings;
};

struct FunctionTable {
  const char* name;         // the exported name the user types
  const char* description;  // what the host shows
  std::span<const ArgumentRow> arguments;
  std::span<const char* const> helpLines;  // title and credit lines, without CR LF
  bool emptyLineAfterHelp;                 // one more CR LF after the group
  bool codePageOnly;                       // offered only under OEM code page 866
};

using DescribeFunctionRoutine = int32_t (*)(FunctionDescription*);
using DescribeArgumentRoutine = int32_t (*)(int32_t, ArgumentDescription*);
using DescribeCustomStringRoutine = int32_t (*)(int32_t, int32_t, CustomStringDescription*);

struct RegistryEntry {
  char name[256];  // for identification; the entry points do not read it
  DescribeFunctionRoutine describeFunction;
  DescribeArgumentRoutine describeArgument;
  DescribeCustomStringRoutine describeCustomString;
};

inline constexpr int32_t kRegistryRows = 1025;

struct FunctionRegistry {
  RegistryEntry rows[kRegistryRows];
  int32_t count;
};

// Written only while the library loads; read-only afterwards.
extern FunctionRegistry gFunctionRegistry;

// Appends a row when the registry has room (a full registry skips it).
void Register(const char* name, DescribeFunctionRoutine describeFunction,
              DescribeArgumentRoutine describeArgument,
              DescribeCustomStringRoutine describeCustomString);

// Empties the registry and the help text (the start of every load).
void ClearRegistry();

// The generic describe routines over one table.
int32_t DescribeFunction(const FunctionTable& table, FunctionDescription* out);
int32_t DescribeArgument(const FunctionTable& table, int32_t argument, ArgumentDescription* out);
int32_t DescribeCustomString(const FunctionTable& table, int32_t argument, int32_t index,
                             CustomStringDescription* out);

template <const FunctionTable& T>
struct Describe {
  static int32_t Function(FunctionDescription* out) { return DescribeFunction(T, out); }
  static int32_t Argument(int32_t a, ArgumentDescription* out) {
    return DescribeArgument(T, a, out);
  }
  static int32_t CustomString(int32_t a, int32_t s, CustomStringDescription* out) {
    return DescribeCustomString(T, a, s, out);
  }
};

// A function module's registration step: skipped as a whole for a code-page
// function when the code-page flag is clear; otherwise a registry row (if
// there is room) and the module's help lines.
void RegisterFunction(const FunctionTable& table, DescribeFunctionRoutine describeFunction,
                      DescribeArgumentRoutine describeArgument,
                      DescribeCustomStringRoutine describeCustomString);

template <const FunctionTable& T>
void RegisterFunction() {
  RegisterFunction(T, &Describe<T>::Function, &Describe<T>::Argument, &Describe<T>::CustomString);
}

// How many arguments of one type a function takes.
int32_t CountArguments(const FunctionTable& table, ArgumentType type);

// Whether a function compares the host's count of string arguments with its
// table (some take more strings than they read without complaint).
enum class StringCount { kCompared, kNotCompared };

// True when the host's records are there and the argument counts are those
// of the table. A function answers a mismatch with -1 before anything else,
// writing nothing.
bool AcceptsCall(const FunctionTable& table, const HostDataRecord* data,
                 const HostSeriesArgs* series, const HostNumericArgs* numeric,
                 const HostStringArgs* strings, const HostCustomArgs* custom,
                 const ResultRec* result, StringCount stringCount = StringCount::kCompared);

// Copies text into a fixed host field of kTextSize bytes, cut to 99
// characters and ended with NUL.
void CopyText(char (&field)[kTextSize], const char* text) noexcept;

}  // namespace msx
