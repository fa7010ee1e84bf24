// msxhost: the formula tester, a host simulator for the msx_qmr library.
#include <string>
#include <vector>

#include "Cli.h"
#include "platform/Platform.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  const msxhost::CommandOutput output = msxhost::RunCommand(arguments);
  if (!output.out.empty()) msx::platform::WriteStandardOutput(output.out);
  if (!output.err.empty()) msx::platform::WriteStandardError(output.err);
  return output.exitCode;
}
