#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "untDateText.h"
#include "untDateTime.h"
#include "untError.h"
#include "untFloat.h"
#include "untFormatSettings.h"
#include "untInteger.h"
#include "untText.h"

namespace {

// The formats a Russian Windows reports, and a fixed clock: 05.03.2024 07:08:09.
class FormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    FormatSettings() = TFormatSettings{};
    oldClock_ = SetClock([] { return EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0); });
  }
  void TearDown() override {
    FormatSettings() = saved_;
    SetClock(oldClock_);
  }
  TFormatSettings saved_;
  TClock oldClock_;
};

TEST_F(FormatTest, FloatToStrGeneralForm) {
  struct Case {
    double value;
    const wchar_t* text;
  } cases[] = {
      {0, L"0"},
      {-0.0, L"0"},
      {1.5, L"1.5"},
      {100, L"100"},
      {-2.5, L"-2.5"},
      {0.1 + 0.2, L"0.3"},  // fifteen digits hide the binary noise
      {1.0 / 3, L"0.333333333333333"},
      {123456789012345.0, L"123456789012345"},
      {1234567890123456.0, L"1.23456789012346E15"},
      {999999999999999.9, L"1E15"},
      {1e20, L"1E20"},
      {0.0001, L"0.0001"},
      {0.00001, L"1E-5"},
      {-1.25e-7, L"-1.25E-7"},
      {12345.6789, L"12345.6789"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value, L'.'), c.text) << c.value;
  EXPECT_EQ(FloatToStr(1.5), L"1,5");  // the process-wide separator
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN(), L'.'), L"NAN");
  EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity(), L'.'), L"-INF");
}

TEST_F(FormatTest, StrToFloatAcceptsOnlyPlainNumbers) {
  struct Case {
    const wchar_t* text;
    double value;
  } good[] = {
      {L"1.5", 1.5},   {L" -2.5e3 ", -2500}, {L"+7", 7},       {L".5", 0.5},
      {L"5.", 5},      {L"1E-2", 0.01},       {L"1e-400", 0},  {L"000123.4500", 123.45},
  };
  for (const auto& c : good) EXPECT_DOUBLE_EQ(StrToFloat(c.text, L'.'), c.value) << c.text;

  const wchar_t* bad[] = {L"",    L" ",   L".",   L"1,5", L"abc", L"1e",   L"1e+",  L"inf",
                          L"nan", L"0x10", L"1.2.3", L"--1", L"1e400", L"1 2", L"$10"};
  for (const wchar_t* text : bad) EXPECT_THROW(StrToFloat(text, L'.'), EConvertError) << text;

  EXPECT_DOUBLE_EQ(StrToFloat(L"1,5"), 1.5);  // the process-wide separator
  try {
    StrToFloat(L"x", L'.');
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"\"x\" не является правильным числом с плавающей точкой");
  }
}

// One reader, one rule per kind of field: a parameter or block number
// ("integer": "$" and blanks around), a decimal field (rest registers,
// tables), an INI integer or PloverCmd's time-out ("$", blanks before the
// number only). "-" marks a text the field refuses.
TEST(IntegerRules, EachFieldKindTakesWhatItsRuleAllows) {
  struct Case {
    const wchar_t* text;
    const char* integer;
    const char* decimal;
    const char* ini;
  } cases[] = {
      {L"123", "123", "123", "123"},
      {L"-5", "-5", "-5", "-5"},
      {L"+5", "5", "5", "5"},
      {L"007", "7", "7", "7"},
      {L"2147483647", "2147483647", "2147483647", "2147483647"},
      {L"-2147483648", "-2147483648", "-2147483648", "-2147483648"},
      {L"2147483648", "-", "-", "-"},
      {L"-2147483649", "-", "-", "-"},
      {L"99999999999999999999", "-", "-", "-"},
      {L"$FF", "255", "-", "255"},
      {L"$ff", "255", "-", "255"},
      {L"$A", "10", "-", "10"},
      {L"$FFFFFFFF", "-1", "-", "-1"},
      {L"$80000000", "-2147483648", "-", "-2147483648"},
      {L"$0000000010", "16", "-", "16"},
      {L"$123456789", "-", "-", "-"},
      {L"-$10", "-16", "-", "-16"},
      {L"$00A", "10", "-", "10"},
      {L" 42", "42", "42", "42"},
      {L"\t42", "42", "42", "42"},
      {L"10 ", "10", "10", "-"},
      {L" $10 ", "16", "-", "-"},
      {L"", "-", "-", "-"},
      {L"  ", "-", "-", "-"},
      {L"abc", "-", "-", "-"},
      {L"$", "-", "-", "-"},
      {L"-", "-", "-", "-"},
      {L"1.5", "-", "-", "-"},
      {L"1e3", "-", "-", "-"},
      {L"0x10", "-", "-", "-"},
      {L"$G", "-", "-", "-"},
      {L"- 1", "-", "-", "-"},
      {L"1 2", "-", "-", "-"},
      {L"١٢", "-", "-", "-"},
  };
  for (const Case& c : cases) {
    const std::pair<TIntRule, const char*> rules[] = {
        {irInteger, c.integer}, {irDecimal, c.decimal}, {irIniInteger, c.ini}};
    for (size_t k = 0; k < std::size(rules); ++k) {
      const auto& [rule, expected] = rules[k];
      int32_t value = 0;
      const bool ok = TryParseInt32(c.text, rule, value);
      if (std::string(expected) == "-") {
        EXPECT_FALSE(ok) << "rule " << k << " took \"" << WideToUtf8(c.text) << "\"";
        EXPECT_THROW(ParseInt32(c.text, rule), EConvertError);
      } else {
        EXPECT_TRUE(ok) << "rule " << k << " refused \"" << WideToUtf8(c.text) << "\"";
        EXPECT_EQ(value, std::stoll(expected)) << "rule " << k << ": \"" << WideToUtf8(c.text) << "\"";
      }
    }
  }
  try {
    ParseInt32(L"$A", irDecimal);
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"\"$A\" не является целым числом");
  }
}

TEST_F(FormatTest, DateArithmetic) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1899, 12, 29), -1);
  EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
  EXPECT_EQ(EncodeDate(2024, 3, 5), 45356);
  EXPECT_EQ(EncodeDate(2024, 2, 29) + 1, EncodeDate(2024, 3, 1));

  TDateTime d;
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d));  // not a leap year
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(2024, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, d));

  for (TDateTime day : {-693593.0, -1.0, 0.0, 59.0, 60.0, 45356.0, 2958465.0}) {
    int y, m, dd;
    DecodeDate(day, y, m, dd);
    EXPECT_EQ(EncodeDate(y, m, dd), day);
  }
}

TEST_F(FormatTest, NegativeDatesCountTheTimeForward) {
  // -1.25 is 29.12.1899 06:00, as automation keeps dates before day 0.
  const TDateTime v = ComposeDateTime(EncodeDate(1899, 12, 29), EncodeTime(6, 0, 0, 0));
  EXPECT_DOUBLE_EQ(v, -1.25);
  EXPECT_EQ(DateTimeToStr(v), L"29.12.1899 06:00:00");
}

TEST_F(FormatTest, DateAndTimeTexts) {
  const TDateTime v = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9, 0);
  EXPECT_EQ(DateToStr(v), L"05.03.2024");
  EXPECT_EQ(TimeToStr(v), L"07:08:09");
  EXPECT_EQ(DateTimeToStr(v), L"05.03.2024 07:08:09");
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), L"05.03.2024");
  // A time a hair before midnight rounds into the next day, not to 24:00.
  EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5) + 0.99999999999), L"06.03.2024");

  TFormatSettings us;
  us.ShortDateFormat = L"M/d/yyyy";
  us.DateSeparator = L'/';
  us.LongTimeFormat = L"h:mm:ss tt";
  us.TimeAMString = L"AM";
  us.TimePMString = L"PM";
  const TDateTime pm = EncodeDate(2024, 3, 5) + EncodeTime(13, 2, 3, 0);
  EXPECT_EQ(DateToStr(pm, us), L"3/5/2024");
  EXPECT_EQ(TimeToStr(pm, us), L"1:02:03 PM");
  EXPECT_EQ(FormatDateTime(L"d MMMM yyyy 'г.'", pm, us), L"5 марта 2024 г.");
  EXPECT_EQ(FormatDateTime(L"yy-MM-dd ddd", pm, us), L"24-03-05 Вт");
}

TEST_F(FormatTest, StrToDateFollowsTheShortDateFormat) {
  struct Case {
    const wchar_t* text;
    int y, m, d;
  } good[] = {
      {L"05.03.2024", 2024, 3, 5}, {L"5.3.2024", 2024, 3, 5}, {L" 5.3.2024 ", 2024, 3, 5},
      {L"5.3.24", 2024, 3, 5},     {L"5.3.80", 1980, 3, 5},   {L"5.3", 2024, 3, 5},
      {L"29.02.2024", 2024, 2, 29}, {L"01.01.0001", 1, 1, 1},
  };
  for (const auto& c : good) EXPECT_EQ(StrToDate(c.text), EncodeDate(c.y, c.m, c.d)) << c.text;

  const wchar_t* bad[] = {L"",           L"31.02.2024", L"05-03-2024",   L"05.03.2024 x",
                          L"5",          L"05.13.2024", L"00.01.2024",   L"05.03.20245",
                          L"05.03.2024 07:08:09"};
  for (const wchar_t* text : bad) EXPECT_THROW(StrToDate(text), EConvertError) << text;

  TFormatSettings iso;
  iso.ShortDateFormat = L"yyyy-MM-dd";
  iso.DateSeparator = L'-';
  EXPECT_EQ(StrToDate(L"2024-03-05", iso), EncodeDate(2024, 3, 5));
  EXPECT_EQ(StrToDate(L"3-5", iso), EncodeDate(2024, 3, 5));
  TFormatSettings us;
  us.ShortDateFormat = L"M/d/yyyy";
  us.DateSeparator = L'/';
  EXPECT_EQ(StrToDate(L"3/5/2024", us), EncodeDate(2024, 3, 5));

  try {
    StrToDate(L"31.02.2024");
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), L"\"31.02.2024\" не является правильной датой");
  }
}

TEST_F(FormatTest, StrToTime) {
  struct Case {
    const wchar_t* text;
    int h, m, s, ms;
  } good[] = {
      {L"07:08:09", 7, 8, 9, 0},   {L"7:08", 7, 8, 0, 0},      {L"7", 7, 0, 0, 0},
      {L"23:59:59", 23, 59, 59, 0}, {L"07:08:09.5", 7, 8, 9, 500}, {L"1:02:03 PM", 13, 2, 3, 0},
      {L"12:00 AM", 0, 0, 0, 0},   {L" 07:08 ", 7, 8, 0, 0},
  };
  for (const auto& c : good)
    EXPECT_DOUBLE_EQ(StrToTime(c.text), EncodeTime(c.h, c.m, c.s, c.ms)) << c.text;

  const wchar_t* bad[] = {L"", L"24:00:00", L"12:60", L"12:00:60", L"7:", L"ab", L"13:00 PM", L"7:08:09 x"};
  for (const wchar_t* text : bad) EXPECT_THROW(StrToTime(text), EConvertError) << text;
}

TEST_F(FormatTest, ClockIsInjected) {
  EXPECT_EQ(Date(), EncodeDate(2024, 3, 5));
  EXPECT_DOUBLE_EQ(Time(), EncodeTime(7, 8, 9, 0));
  SetClock(nullptr);
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));  // the system clock again
}

}  // namespace
