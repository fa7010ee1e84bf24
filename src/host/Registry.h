// The function registry: what the host sees of the library. Each function
// module owns a constant FunctionTable (common/FunctionTable.h); the
// library's load step registers the tables, and the describe routines are
// one generic implementation bound to each table.
#pragma once

#include <cstdint>
#include <span>

#include "common/FunctionTable.h"
#include "host/MSXStruct.h"

namespace msx {

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

}  // namespace msx
