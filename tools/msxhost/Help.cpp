// The tester's own help: its commands, the formula language it reads and the
// data files it takes.
#include "Cli.h"

namespace msxhost {

std::string VersionText() {
  return "msxhost " MSX_VERSION ", the formula tester of the msx_qmr library\n";
}

std::string UsageText() {
  return "msxhost: the formula tester of the msx_qmr library\n"
         "\n"
         "Usage:\n"
         "  msxhost describe [--lib PATH]\n"
         "      Lists what the host sees: every function, its arguments and choices.\n"
         "  msxhost calc FORMULA --data FILE.csv [--out FILE] [--svg FILE]\n"
         "               [--from DATE] [--to DATE] [--last N] [--symbol S] [--name NAME]\n"
         "               [--folder DIR] [--period D|W|M|Q|Y|I] [--interval N] [--lib PATH]\n"
         "      Runs one chart calculation over the bars of FILE.csv and prints the\n"
         "      result's valid range as CSV (or writes it to --out); --svg draws it.\n"
         "  msxhost batch FORMULAS.txt --data FILE.csv [chart options] [--lib PATH]\n"
         "      The description, then each formula of FORMULAS.txt (one a line, # for\n"
         "      comments) over the same chart, under a line \"== FORMULA\".\n"
         "  msxhost help | --help | --version\n"
         "\n"
         "FORMULA: the library's functions, NRTR(C, 2), RENKO_WATR(C, 2, 10, Auto),\n"
         "WriteData(C, \"out/%S_%P.txt\"), or in the host's spelling\n"
         "ExtFml(\"MSX_QMR.NRTR\", C, 2), combined with the common core of the host's\n"
         "formula language. Values: price fields O H L C V (or OPEN, HIGH, LOW, CLOSE,\n"
         "VOLUME), extra CSV columns by name, numbers (a constant series where a\n"
         "series is expected), \"quoted strings\", choices by their text (or their ID\n"
         "as a number), calls and (parentheses).\n"
         "Operators, the tightest first: unary -; * /; + -; comparisons < > <= >= =\n"
         "<> (1 true, 0 false); not; and; or (any value but 0 is true). X / 0 gives 0.\n"
         "Functions (textbook definitions: the host's own numbers may differ in the\n"
         "first bars). A result is valid where its inputs are, less its warm-up:\n"
         "  If(COND, A, B)      A where COND is not 0, else B\n"
         "  Ref(X, -n)          X n bars back; no value on the first n bars\n"
         "  Mov(X, n, S|E|W)    moving average of n bars: S simple, E exponential\n"
         "                      (weight 2/(n+1), started with the simple average of\n"
         "                      the first n), W weighted 1..n; none on the first n-1\n"
         "  HHV(X, n), LLV(X, n), Sum(X, n)\n"
         "                      highest, lowest, sum of the last n; none on the first n-1\n"
         "  Cross(A, B)         1 on a bar where A rises above B, else 0; none on the first\n"
         "  Abs(X), Max(A, B), Min(A, B)\n"
         "\n"
         "FILE.csv: a header line naming the columns, with or without <>: date, close,\n"
         "and optionally time, open, high, low, volume (or vol) and extra columns;\n"
         "ticker and per are skipped. Fields separated by \",\" or \";\" (then decimal\n"
         "commas are read too). Dates YYYYMMDD, YYYY-MM-DD or DD.MM.YYYY; times HHMMSS,\n"
         "HH:MM or HH:MM:SS. Line data (no high or low, as a close-only file) has its\n"
         "open, high and low taken as the close. Bars must rise in time: a file that\n"
         "runs newest first is put in order; a date given twice is an error. The host\n"
         "holds at most 65500 bars.\n"
         "Bars: --from DATE, --to DATE (both included), --last N (the newest N); the\n"
         "chart holds only those, so each function's warm-up falls within them.\n"
         "\n"
         "Chart: --symbol (default: the CSV's file name in upper case), --name (the\n"
         "security name, default the symbol), --folder (default the CSV's folder),\n"
         "--period (default D), --interval (default 0). --lib: the library to load\n"
         "(default: the one beside msxhost).\n"
         "\n"
         "Exit status: 0 done; 1 the library failed (not loaded, or a function\n"
         "returned -1) or an output could not be written; 2 a wrong command line,\n"
         "formula or data file.\n";
}

}  // namespace msxhost
