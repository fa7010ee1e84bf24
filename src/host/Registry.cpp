#include "host/Registry.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "common/Checked.h"
#include "common/GuardedCall.h"
#include "common/MSX_QMR_CommonFunc.h"
#include "host/HelpText.h"
#include "host/Token.h"

namespace msx {

constinit FunctionRegistry gFunctionRegistry{};
constinit HelpTextBuffer gHelpText{};

void HelpTextBuffer::Append(std::string_view text) noexcept {
  const std::size_t n = std::min(text.size(), kCapacity - size_);
  std::memcpy(data_ + size_, text.data(), n);
  size_ += n;
}

void Register(const char* name, DescribeFunctionRoutine describeFunction,
              DescribeArgumentRoutine describeArgument,
              DescribeCustomStringRoutine describeCustomString) {
  FunctionRegistry& r = gFunctionRegistry;
  if (r.count < 0 || r.count >= kRegistryRows) return;  // full: the row is skipped
  RegistryEntry& row = r.rows[r.count];
  const std::size_t n = strnlen(name, sizeof row.name - 1);
  std::memcpy(row.name, name, n);
  row.name[n] = '\0';
  row.describeFunction = describeFunction;
  row.describeArgument = describeArgument;
  row.describeCustomString = describeCustomString;
  ++r.count;
}

void ClearRegistry() {
  gFunctionRegistry.count = 0;
  gHelpText.Clear();
}

void RegisterFunction(const FunctionTable& table, DescribeFunctionRoutine describeFunction,
                      DescribeArgumentRoutine describeArgument,
                      DescribeCustomStringRoutine describeCustomString) {
  if (table.codePageOnly && !CodePageFlag()) return;
  Register(table.name, describeFunction, describeArgument, describeCustomString);
  for (const char* line : table.helpLines) {
    gHelpText.Append(line);
    gHelpText.Append("\r\n");
  }
  if (table.emptyLineAfterHelp) gHelpText.Append("\r\n");
}

int32_t DescribeFunction(const FunctionTable& table, FunctionDescription* out) {
  return GuardedDescribe([&] {
    CopyText(out->name, table.name);
    CopyText(out->description, table.description);
    out->argumentCount = static_cast<int32_t>(table.arguments.size());
    return 0;
  });
}

int32_t DescribeArgument(const FunctionTable& table, int32_t argument, ArgumentDescription* out) {
  return GuardedDescribe([&] {
    if (argument < 0 || static_cast<std::size_t>(argument) >= table.arguments.size()) return -1;
    const ArgumentRow& row = table.arguments[static_cast<std::size_t>(argument)];
    out->type = row.type;
    CopyText(out->name, row.name);
    out->customStringCount = row.customStringCount;
    return 0;
  });
}

int32_t DescribeCustomString(const FunctionTable& table, int32_t argument, int32_t index,
                             CustomStringDescription* out) {
  return GuardedDescribe([&] {
    if (argument < 0 || static_cast<std::size_t>(argument) >= table.arguments.size()) return -1;
    const ArgumentRow& row = table.arguments[static_cast<std::size_t>(argument)];
    const char* list = row.customStrings == nullptr ? "" : row.customStrings;
    const std::string entry = Token(list, CheckedAdd(index, int32_t{1}), ';');
    const std::string idText = Token(entry, 2, ',');
    int32_t id = 0;
    const char* end = idText.data() + idText.size();
    const auto [ptr, ec] = std::from_chars(idText.data(), end, id);
    if (idText.empty() || ec != std::errc{} || ptr != end) return -1;
    out->id = id;
    CopyText(out->text, Token(entry, 1, ',').c_str());
    return 0;
  });
}

}  // namespace msx
