// The two user patterns of WriteDataEx: values and date-times, with the C
// locale's names and a locale of our own; hostile patterns never crash.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <string>

#include "FaultOf.h"
#include "exchange/DateTimePattern.h"
#include "exchange/ValuePattern.h"

namespace msx {
namespace {

const platform::LocaleFormats kC{};

// Sets a locale's text. (Assigning a literal to a member of a default
// locale trips GCC 12's -Wrestrict, a known false alarm.)
void Set(std::string& field, std::string value) { field.swap(value); }

std::string Values(std::string_view pattern, const platform::LocaleFormats& locale = kC,
                   float v0 = 1.5f, float v1 = 2.25f) {
  const float values[kPatternValues] = {v0, v1, -3.0f, 1234567.0f, 0.0f, 1e-7f, 7.0f};
  const ValuePattern p(pattern, locale);
  std::string out;
  p.Append(out, values);
  return out;
}

std::string ValueFault(std::string_view pattern) {
  return FaultOf([&] { Values(pattern); });
}

TEST(ValuePattern, TheFiveTypesWithTheirDefaults) {
  EXPECT_EQ(Values(";%.2f;%.2f"), ";1.50;2.25");
  EXPECT_EQ(Values("%f"), "1.50");
  EXPECT_EQ(Values("%e"), "1.50000000000000E+000");
  EXPECT_EQ(Values("%3:.3e"), "1.23E+006");
  EXPECT_EQ(Values("%5:e"), "1.00000001168610E-007");  // the float nearest 1e-7
  EXPECT_EQ(Values("%g %g"), "1.5 2.25");
  EXPECT_EQ(Values("%3:g %5:g"), "1234567 1.0000000116861E-007");
  EXPECT_EQ(Values("%3:.3g"), "1.23E006");
  EXPECT_EQ(Values("%3:n"), "1234567.00");
  EXPECT_EQ(Values("%m"), "1.50");
  EXPECT_EQ(Values("%2:.1f %2:m"), "-3.0 -3.00");
  EXPECT_EQ(Values("%4:f %4:e"), "0.00 0.00000000000000E+000");
  EXPECT_EQ(Values("%F|%E|%G|%N|%M"), "1.50|2.25000000000000E+000|-3|1234567.00|0.00");
}

TEST(ValuePattern, IndexesWidthsPrecisionsAndPercent) {
  EXPECT_EQ(Values("%1:f %f %0:f"), "2.25 -3.00 1.50");  // the next goes on after an index
  EXPECT_EQ(Values("[%8.3f]"), "[   1.500]");
  EXPECT_EQ(Values("[%-8.3f]"), "[1.500   ]");
  EXPECT_EQ(Values("[%2f]"), "[1.50]");  // a width never cuts
  EXPECT_EQ(Values("%.0f"), "2");        // ties to even, exactly
  EXPECT_EQ(Values("%.f"), "2");
  EXPECT_EQ(Values("%.19f"), "1.50");  // above 18: not given
  EXPECT_EQ(Values("%.18f"), "1.500000000000000000");
  EXPECT_EQ(Values("100%% %f"), "100% 1.50");
  EXPECT_EQ(Values("no values"), "no values");
  EXPECT_EQ(Values(""), "");
}

TEST(ValuePattern, ALocalesSeparatorAndCurrency) {
  platform::LocaleFormats ru;
  Set(ru.thousandSeparator, " ");
  Set(ru.currencySymbol, "RUB");
  ru.currencyFormat = 3;          // "1 $"
  ru.negativeCurrencyFormat = 8;  // "-1 $"
  ru.currencyDecimals = 2;
  EXPECT_EQ(Values("%3:n", ru), "1 234 567.00");
  EXPECT_EQ(Values("%3:.0m|%2:m", ru), "1 234 567 RUB|-3.00 RUB");
  platform::LocaleFormats us;
  Set(us.thousandSeparator, ",");
  Set(us.currencySymbol, "$");
  us.negativeCurrencyFormat = 0;  // "($1)"
  EXPECT_EQ(Values("%3:m %2:m %2:.1n", us), "$1,234,567.00 ($3.00) -3.0");
}

TEST(ValuePattern, NonFiniteValues) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(Values("%f %1:e %0:g %0:n %1:m [%0:5f]", kC, inf, -inf),
            "INF -INF INF INF -INF [  INF]");
  EXPECT_EQ(Values("%f %1:f", kC, nan, -nan), "NAN -NAN");
}

TEST(ValuePattern, TheTwoFaultsQuoteThePatternCutTo31Characters) {
  EXPECT_EQ(ValueFault("%d"), "Format '%d' invalid or incompatible with argument");
  EXPECT_EQ(ValueFault("%s"), "Format '%s' invalid or incompatible with argument");
  EXPECT_EQ(ValueFault("%.2f%"), "Format '%.2f%' invalid or incompatible with argument");
  EXPECT_EQ(ValueFault("%*f"), "Format '%*f' invalid or incompatible with argument");
  EXPECT_EQ(ValueFault("%7:f"), "No argument for format '%7:f'");
  EXPECT_EQ(ValueFault("%f%f%f%f%f%f%f%f"), "No argument for format '%f%f%f%f%f%f%f%f'");
  EXPECT_EQ(ValueFault("%6:f%f"), "No argument for format '%6:f%f'");
  EXPECT_EQ(ValueFault("%99999999999999999999:f"),
            "No argument for format '%99999999999999999999:f'");
  EXPECT_EQ(ValueFault("0123456789012345678901234567890123456789%d"),
            "Format '0123456789012345678901234567890' invalid or incompatible with argument");
  EXPECT_EQ(ValueFault("%99999999999999999999f"),
            "Format '%99999999999999999999f' invalid or incompatible with argument");
  EXPECT_EQ(ValueFault("%1025f"), "Format '%1025f' invalid or incompatible with argument");
  EXPECT_EQ(ValueFault("%1024f"), "no fault");
  EXPECT_EQ(ValueFault("%.99999999999999999999f"), "no fault");  // not given
  EXPECT_EQ(ValueFault("%f%d%9:f"),
            "Format '%f%d%9:f' invalid or incompatible with argument");  // the first fault
}

TEST(ValuePattern, RandomPatternsFormatOrFaultWithOneOfTheTwoMessages) {
  std::mt19937 random(3);
  const std::string alphabet = "%%%:-.0123456789efgnmdsEFGNM|x\"'";
  for (int n = 0; n < 50000; ++n) {
    std::string pattern(random() % 16, ' ');
    for (char& c : pattern) c = alphabet[random() % alphabet.size()];
    const std::string fault = ValueFault(pattern);
    if (fault == "no fault") continue;
    const bool known = fault.rfind("Format '", 0) == 0 || fault.rfind("No argument", 0) == 0;
    EXPECT_TRUE(known) << pattern << ": " << fault;
  }
}

std::string Stamp(std::string_view pattern, int32_t date = 20040302, int32_t time = 1030000,
                  const platform::LocaleFormats& locale = kC) {
  std::string out;
  AppendDateTime(out, pattern, HostDateTimeParts(date, time), locale);
  return out;
}

TEST(DateTimePattern, NumbersNamesAndMinutesAfterAnHour) {
  EXPECT_EQ(Stamp("dd.mm.yyyy hh:nn"), "02.03.2004 10:30");
  EXPECT_EQ(Stamp("d.m.yy h:n:s"), "2.3.04 10:30:0");
  EXPECT_EQ(Stamp("DD.MM.YYYY HH:MM"), "02.03.2004 10:30");  // M after H is the minute
  EXPECT_EQ(Stamp("hh:mm dd/mm"), "10:30 02/03");
  EXPECT_EQ(Stamp("ddd dddd mmm mmmm"), "Tue Tuesday Mar March");
  EXPECT_EQ(Stamp("aaa aaaa"), "Tue Tuesday");
  EXPECT_EQ(Stamp("y yyy yyyyy"), "04 2004 2004");
  EXPECT_EQ(Stamp("z zzz", 20040302, 1030307), "7 007");
  EXPECT_EQ(Stamp("e ee g gg", 20040302), "2004 2004 A.D. A.D.");
  EXPECT_EQ(Stamp("ddddd|dddddd|t|tt"), "03/02/04|Tue Mar 2 2004|10:30|10:30:00");
  EXPECT_EQ(Stamp("c"), "03/02/04 10:30:00");
  EXPECT_EQ(Stamp("c", 20040302, 0), "03/02/04");
  EXPECT_EQ(Stamp("c", 20040302, 5), "03/02/04");  // milliseconds do not count
  EXPECT_EQ(Stamp("dddd", 18991230), "Saturday");
  EXPECT_EQ(Stamp("dddd", 10101), "Monday");
}

TEST(DateTimePattern, TwelveHourClockAndAmPm) {
  EXPECT_EQ(Stamp("h:nn am/pm", 20040302, 1530000), "3:30 pm");
  EXPECT_EQ(Stamp("hh:nn AM/pm", 20040302, 30000), "12:30 AM");
  EXPECT_EQ(Stamp("h A/P", 20040302, 1230000), "12 P");
  EXPECT_EQ(Stamp("h a/p", 20040302, 1000000), "10 a");
  EXPECT_EQ(Stamp("h ampm", 20040302, 2300000), "11 PM");
  EXPECT_EQ(Stamp("h \"am/pm\"", 20040302, 2300000), "23 am/pm");  // quoted: no clock
  EXPECT_EQ(Stamp("h h am/pm", 20040302, 2300000), "23 11 pm");    // only the nearest hour
  EXPECT_EQ(Stamp("h ax am/pm", 20040302, 2300000), "23 ax pm");   // the first "a" decides
}

TEST(DateTimePattern, SeparatorsQuotesAndOtherText) {
  platform::LocaleFormats de;
  Set(de.dateSeparator, ".");
  Set(de.timeSeparator, "-");
  Set(de.shortDateFormat, "dd/mm/yyyy");
  Set(de.longTimeFormat, "hh:nn:ss");
  EXPECT_EQ(Stamp("dd/mm hh:nn", 20040302, 1030000, de), "02.03 10-30");
  EXPECT_EQ(Stamp("c", 20040302, 1030000, de), "02.03.2004 10-30-00");
  EXPECT_EQ(Stamp("'dd' \"mm\" dd"), "dd mm 02");
  EXPECT_EQ(Stamp("x'unclosed dd"), "xunclosed dd");
  EXPECT_EQ(Stamp("\"unclosed"), "unclosed");
  EXPECT_EQ(Stamp("# ,;[]!"), "# ,;[]!");
  EXPECT_EQ(Stamp("bq"), "bq");
  EXPECT_EQ(Stamp(""), "");
}

TEST(DateTimePattern, FormatsNamingFormatsStopTwoLevelsDown) {
  platform::LocaleFormats loop;
  Set(loop.shortDateFormat, "c|ddddd");
  Set(loop.longTimeFormat, "tt");
  EXPECT_EQ(Stamp("ddddd", 20040302, 1030000, loop), "| ||");
}

TEST(DateTimePattern, RandomPatternsStayInBounds) {
  std::mt19937 random(5);
  const std::string alphabet = "dmyhnszetcagDMYHNSZETCAG/:\"' pP%";
  for (int n = 0; n < 50000; ++n) {
    std::string pattern(random() % 20, ' ');
    for (char& c : pattern) c = alphabet[random() % alphabet.size()];
    const std::string s = Stamp(pattern, 19991231, 2359599);
    EXPECT_LE(s.size(), pattern.size() * 40 + 200);
  }
}

}  // namespace
}  // namespace msx
