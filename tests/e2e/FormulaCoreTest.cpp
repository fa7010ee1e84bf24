// The tester's formula core against series worked by hand: each built-in
// function with its warm-up bars, and the operators' precedence.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Cli.h"
#include "Files.h"
#include "LibraryFixture.h"
#include "Text.h"

namespace msxtest {
namespace {

// No value on this bar: it lies outside the result's valid range.
constexpr double N = NAN;

// Six bars whose close runs 1, 3, 2, 5, 4, 6.
constexpr const char* kBars =
    "date,close\n20240102,1\n20240103,3\n20240104,2\n20240105,5\n20240108,4\n20240109,6\n";
const std::vector<std::string> kDates = {"20240102", "20240103", "20240104",
                                         "20240105", "20240108", "20240109"};

struct Worked {
  std::string formula;
  std::vector<double> values;  // one per bar
};

void PrintTo(const Worked& w, std::ostream* os) { *os << w.formula; }

class FormulaCore : public ::testing::TestWithParam<Worked> {};

TEST_P(FormulaCore, MatchesTheHandWorkedSeries) {
  const std::string csv = OwnTempPath("formula_core_", ".csv");
  msxhost::WriteWholeFile(csv, kBars);
  const msxhost::CommandOutput o = msxhost::RunCommand({"calc", GetParam().formula, "--data", csv});
  ASSERT_EQ(o.exitCode, 0) << o.err;
  // The bars the result covers, in order, from the lines "date,value".
  std::vector<double> got(kDates.size(), N);
  const std::vector<std::string_view> lines = msxhost::SplitLines(o.out);
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::string_view line = lines[k];
    const std::size_t comma = line.find(',');
    for (std::size_t bar = 0; bar < kDates.size(); ++bar)
      if (line.substr(0, comma) == kDates[bar])
        got[bar] = *msxhost::ParseFloat(line.substr(comma + 1));
  }
  for (std::size_t bar = 0; bar < kDates.size(); ++bar) {
    const double want = GetParam().values[bar];
    if (std::isnan(want))
      EXPECT_TRUE(std::isnan(got[bar])) << "bar " << bar << " should have no value:\n" << o.out;
    else
      EXPECT_NEAR(got[bar], want, 1e-6 * std::fabs(want) + 1e-9) << "bar " << bar << "\n" << o.out;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormulaCore,
    ::testing::Values(
        // Moving averages: none on the first n - 1 bars.
        Worked{"Mov(C, 3, S)", {N, N, 2, 10.0 / 3, 11.0 / 3, 5}},
        // Started with the simple average of the first three, then weight 2 / (3 + 1).
        Worked{"Mov(C, 3, E)", {N, N, 2, 3.5, 3.75, 4.875}},
        Worked{"Mov(C, 3, W)", {N, N, 13.0 / 6, 22.0 / 6, 4, 31.0 / 6}},
        Worked{"Mov(C, 7, S)", {N, N, N, N, N, N}},
        Worked{"Mov(Ref(C, -1), 2, Simple)", {N, N, 2, 2.5, 3.5, 4.5}},
        Worked{"Ref(C, -2)", {N, N, 1, 3, 2, 5}}, Worked{"Ref(C, 1)", {3, 2, 5, 4, 6, N}},
        Worked{"HHV(C, 3)", {N, N, 3, 5, 5, 6}}, Worked{"LLV(C, 3)", {N, N, 1, 2, 2, 4}},
        Worked{"Sum(C, 2)", {N, 4, 5, 7, 9, 10}},
        // Cross needs the bar before: none on the first.
        Worked{"Cross(C, 3)", {N, 0, 0, 1, 0, 0}},
        Worked{"Cross(Mov(C, 2, S), C)", {N, N, 1, 0, 1, 0}},
        Worked{"If(C > 2, C, -C)", {-1, 3, -2, 5, 4, 6}}, Worked{"Abs(2 - C)", {1, 1, 0, 3, 2, 4}},
        Worked{"Max(C, 3)", {3, 3, 3, 5, 4, 6}}, Worked{"Min(C, 3)", {1, 3, 2, 3, 3, 3}},
        // Precedence: unary minus, then * /, + -, comparisons, not, and, or.
        Worked{"1 + 2 * 3", {7, 7, 7, 7, 7, 7}}, Worked{"-2 * 3 + 1", {-5, -5, -5, -5, -5, -5}},
        Worked{"(1 + 2) * 3", {9, 9, 9, 9, 9, 9}},
        Worked{"10 - 4 - 3 + 8 / 4 / 2", {4, 4, 4, 4, 4, 4}},
        Worked{"2 * -C", {-2, -6, -4, -10, -8, -12}}, Worked{"1 + 1 > 1 * 2", {0, 0, 0, 0, 0, 0}},
        Worked{"not 1 > 2", {1, 1, 1, 1, 1, 1}}, Worked{"NOT 0 and 0", {0, 0, 0, 0, 0, 0}},
        Worked{"1 or 0 and 0", {1, 1, 1, 1, 1, 1}}, Worked{"C >= 3 and C <= 5", {0, 1, 0, 1, 1, 0}},
        Worked{"C = 2 or C <> 2", {1, 1, 1, 1, 1, 1}}, Worked{"C / (C - C)", {0, 0, 0, 0, 0, 0}}));

}  // namespace
}  // namespace msxtest
