// One function's table: what the host sees of it (name, description,
// arguments, help lines) and the rules of its calls, the only things that
// differ from one function to the next at the call boundary.
#pragma once

#include <cstdint>
#include <span>

#include "common/GuardedCall.h"
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

// The host's argument counts that a call compares with the table (a mask).
// A count that is not compared may be anything: the function reads only
// what it takes, and a string it reads that the host did not pass is a
// fault of the call.
enum CountCheck : uint8_t {
  kSeriesCount = 1,
  kNumericCount = 2,
  kCustomCount = 4,
  kStringCount = 8,
};
inline constexpr uint8_t kTableCounts = kSeriesCount | kNumericCount | kCustomCount;

// What a code-page function answers when called while it is not offered
// (the flag clear): it computes and writes its result either way.
enum class WhenNotOffered {
  kAnswersAsComputed,
  kAnswersFailure,  // -1 after a complete computation
};

struct CallRules {
  uint8_t comparedCounts;  // CountCheck bits
  ErrorPolicy errorText;
  bool clearsErrorText;  // all of szExtendedError zeroed once the counts match
  WhenNotOffered whenNotOffered;
};

struct FunctionTable {
  const char* name;         // the exported name the user types
  const char* description;  // what the host shows
  std::span<const ArgumentRow> arguments;
  std::span<const char* const> helpLines;  // title and credit lines, without CR LF
  bool emptyLineAfterHelp;                 // one more CR LF after the group
  bool codePageOnly;                       // offered only under OEM code page 866
  CallRules call;
};

// How many arguments of one type a function takes.
constexpr int32_t CountArguments(const FunctionTable& table, ArgumentType type) {
  int32_t n = 0;
  for (const ArgumentRow& row : table.arguments) n += row.type == type ? 1 : 0;
  return n;
}

}  // namespace msx
