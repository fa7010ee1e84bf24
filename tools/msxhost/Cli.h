// The tester's command line:
//   msxhost describe [--lib PATH]
//   msxhost calc FORMULA... --data FILE.csv [--out FILE] [--svg FILE]
//                [--pane price|own] [--from DATE] [--to DATE] [--last N]
//                [--symbol S] [--name NAME] [--folder DIR]
//                [--period D|W|M|Q|Y|I] [--interval N] [--lib PATH]
//   msxhost batch FORMULAS.txt --data FILE.csv [--svg FILE] [chart options] [--lib PATH]
//   msxhost --help | help | --version
// Options take their value as the next argument or after "=" (--lib=PATH).
#pragma once

#include <string>
#include <vector>

namespace msxhost {

struct CommandOutput {
  int exitCode = 0;
  std::string out;  // for standard output
  std::string err;  // for standard error: notices "msxhost: note: ..." about the data,
                    // then one line "msxhost: message" on failure
};

// Runs one command; `arguments` excludes the program name. Never throws: a
// failure becomes the exit code (kExitFailure, kExitUsage) and its message.
//
// describe: the listing of DescribeLibrary.
// calc: the ResultTable of the formula over the CSV's bars, on standard
// output, or written to --out with the one line
//   FORMULA: N values, bars FIRST to LAST -> FILE
// on standard output (FIRST and LAST as the last call set them). Several
// formulas (not with --out): each table under a line "== FORMULA". --svg
// also draws the chart of every formula into FILE (RenderSvg), each in the
// pane PaneOf gives it or the one --pane names; batch draws those that ran.
// The chart's symbol defaults to the CSV's base name in upper case, the security name to the symbol, the folder to the
// CSV's folder, the period to D, the interval to 0.
// No arguments: the usage on standard error, exit kExitUsage; --help or
// help: the usage on standard output, exit 0; --version: the version line.
CommandOutput RunCommand(const std::vector<std::string>& arguments);

// The usage text, with the formula language and the data formats.
std::string UsageText();

// "msxhost VERSION, the formula tester of the msx_qmr library".
std::string VersionText();

}  // namespace msxhost
