#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "untDateTime.h"
#include "untError.h"
#include "untFormatSettings.h"
#include "untVariant.h"

namespace {

class VariantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = FormatSettings();
    FormatSettings() = TFormatSettings{};  // Russian: "," and dd.MM.yyyy
  }
  void TearDown() override { FormatSettings() = saved_; }
  TFormatSettings saved_;
};

int32_t ErrorOf(const TVariant& v, TVarType t) {
  try {
    VarAsType(v, t);
  } catch (const EOleError& e) {
    return e.ErrorCode;
  }
  return 0;
}

TEST_F(VariantTest, TextToInteger) {
  struct Case {
    const wchar_t* text;
    int32_t value;
  } good[] = {
      {L"42", 42},          {L" 42 ", 42},     {L"-7", -7},       {L"+3", 3},
      {L"2.5", 2},          {L"3.5", 4},       {L"-2.5", -2},     {L"1,5", 2},
      {L"2.50001", 3},      {L"&HFF", 255},    {L"&hff", 255},    {L"&HFFFFFFFF", -1},
      {L"1e3", 1000},       {L"2147483647", INT32_MAX}, {L"-2147483648", INT32_MIN},
      {L"0.0000001", 0},    {L"2147483647.49", INT32_MAX},
  };
  for (const auto& c : good)
    EXPECT_EQ(VarAsType(TVariant::FromStr(c.text), TVarType::Int).Int(), c.value) << c.text;

  const wchar_t* mismatch[] = {L"", L"abc", L"1 2", L"$10", L"1.2.3", L"&H", L"&HG", L"1e", L"--1"};
  for (const wchar_t* text : mismatch)
    EXPECT_EQ(ErrorOf(TVariant::FromStr(text), TVarType::Int), kDispETypeMismatch) << text;
  const wchar_t* overflow[] = {L"2147483648", L"-2147483649", L"2147483647.5", L"&H100000000", L"1e30"};
  for (const wchar_t* text : overflow)
    EXPECT_EQ(ErrorOf(TVariant::FromStr(text), TVarType::Int), kDispEOverflow) << text;
}

TEST_F(VariantTest, DoubleToIntegerRoundsHalfToEven) {
  struct Case {
    double value;
    int32_t result;
  } cases[] = {{2.5, 2}, {3.5, 4}, {-2.5, -2}, {-3.5, -4}, {2.4999, 2}, {-0.5, 0}, {12.7, 13}};
  for (const auto& c : cases)
    EXPECT_EQ(VarAsType(TVariant::FromDouble(c.value), TVarType::Int).Int(), c.result) << c.value;
  EXPECT_EQ(ErrorOf(TVariant::FromDouble(2147483647.5), TVarType::Int), kDispEOverflow);
  EXPECT_EQ(ErrorOf(TVariant::FromDouble(-2147483648.6), TVarType::Int), kDispEOverflow);
  EXPECT_EQ(ErrorOf(TVariant::FromDouble(std::nan("")), TVarType::Int), kDispEOverflow);
}

TEST_F(VariantTest, Currency) {
  // Text reads exactly, so halves of a ten-thousandth go to even.
  struct Case {
    const wchar_t* text;
    int64_t cy;
  } text[] = {
      {L"1.5", 15000},      {L"1,2345", 12345},  {L"0.00005", 0},     {L"0.00015", 2},
      {L"-0.00015", -2},    {L"0.000051", 1},    {L"12", 120000},     {L"1e-3", 10},
      {L"922337203685477.5807", INT64_MAX},      {L"-922337203685477.5808", INT64_MIN},
  };
  for (const auto& c : text)
    EXPECT_EQ(VarAsType(TVariant::FromStr(c.text), TVarType::Currency).Currency(), c.cy) << c.text;
  EXPECT_EQ(ErrorOf(TVariant::FromStr(L"922337203685477.5808"), TVarType::Currency), kDispEOverflow);
  EXPECT_EQ(ErrorOf(TVariant::FromStr(L"922337203685477.58075"), TVarType::Currency), kDispEOverflow);

  EXPECT_EQ(VarAsType(TVariant::FromDouble(1.23456), TVarType::Currency).Currency(), 12346);
  EXPECT_EQ(VarAsType(TVariant::FromDouble(-1.5), TVarType::Currency).Currency(), -15000);
  EXPECT_EQ(VarAsType(TVariant::FromInt(-3), TVarType::Currency).Currency(), -30000);
  EXPECT_EQ(ErrorOf(TVariant::FromDouble(1e300), TVarType::Currency), kDispEOverflow);

  struct ToInt {
    int64_t cy;
    int32_t value;
  } toInt[] = {{25000, 2}, {35000, 4}, {-25000, -2}, {-35000, -4}, {15001, 2}, {14999, 1}};
  for (const auto& c : toInt)
    EXPECT_EQ(VarAsType(TVariant::FromCurrency(c.cy), TVarType::Int).Int(), c.value) << c.cy;
  EXPECT_EQ(ErrorOf(TVariant::FromCurrency(INT64_MAX), TVarType::Int), kDispEOverflow);

  EXPECT_DOUBLE_EQ(VarAsType(TVariant::FromCurrency(15000), TVarType::Double).Double(), 1.5);
  EXPECT_EQ(VarAsType(TVariant::FromCurrency(12345), TVarType::Str).Str(), L"1,2345");
  EXPECT_EQ(VarAsType(TVariant::FromCurrency(-5000), TVarType::Str).Str(), L"-0,5");
  EXPECT_EQ(VarAsType(TVariant::FromCurrency(INT64_MIN), TVarType::Str).Str(),
            L"-922337203685477,5808");
}

TEST_F(VariantTest, Booleans) {
  EXPECT_EQ(VarAsType(TVariant::FromBool(true), TVarType::Int).Int(), -1);
  EXPECT_EQ(VarAsType(TVariant::FromBool(false), TVarType::Int).Int(), 0);
  EXPECT_EQ(VarAsType(TVariant::FromBool(true), TVarType::Currency).Currency(), -10000);
  EXPECT_EQ(VarAsType(TVariant::FromBool(true), TVarType::Str).Str(), L"True");

  struct Case {
    const wchar_t* text;
    bool value;
  } cases[] = {{L"True", true},  {L"true", true},  {L"ИСТИНА", true}, {L"Ложь", false},
               {L" False ", false}, {L"0", false}, {L"5", true},      {L"-1", true},
               {L"0.0", false}, {L"&H0", false}};
  for (const auto& c : cases)
    EXPECT_EQ(VarAsType(TVariant::FromStr(c.text), TVarType::Bool).Bool(), c.value) << c.text;
  EXPECT_EQ(ErrorOf(TVariant::FromStr(L"да"), TVarType::Bool), kDispETypeMismatch);
  EXPECT_TRUE(VarAsType(TVariant::FromInt(2), TVarType::Bool).Bool());
  EXPECT_FALSE(VarAsType(TVariant::FromDouble(0), TVarType::Bool).Bool());
}

TEST_F(VariantTest, Dates) {
  const TDateTime day = EncodeDate(2024, 3, 5);
  EXPECT_EQ(VarAsType(TVariant::FromStr(L"05.03.2024"), TVarType::Date), TVariant::FromDate(day));
  EXPECT_EQ(VarAsType(TVariant::FromStr(L"05.03.2024 12:00:00"), TVarType::Date),
            TVariant::FromDate(day + 0.5));
  EXPECT_EQ(VarAsType(TVariant::FromStr(L"18:00"), TVarType::Date), TVariant::FromDate(0.75));
  EXPECT_EQ(ErrorOf(TVariant::FromStr(L"45356"), TVarType::Date), kDispETypeMismatch);

  EXPECT_EQ(VarAsType(TVariant::FromDate(day), TVarType::Str).Str(), L"05.03.2024");
  EXPECT_EQ(VarAsType(TVariant::FromDate(0.5), TVarType::Str).Str(), L"12:00:00");
  EXPECT_EQ(VarAsType(TVariant::FromDate(day + 0.5), TVarType::Str).Str(), L"05.03.2024 12:00:00");

  EXPECT_DOUBLE_EQ(VarAsType(TVariant::FromDate(day + 0.25), TVarType::Double).Double(), day + 0.25);
  EXPECT_EQ(VarAsType(TVariant::FromDouble(day), TVarType::Date), TVariant::FromDate(day));
  EXPECT_EQ(VarAsType(TVariant::FromInt(2), TVarType::Date), TVariant::FromDate(2));
  EXPECT_EQ(ErrorOf(TVariant::FromDouble(3e6), TVarType::Date), kDispEOverflow);
  EXPECT_EQ(ErrorOf(TVariant::FromDouble(-700000), TVarType::Date), kDispEOverflow);
  EXPECT_EQ(VarAsType(TVariant::FromDate(day + 0.5), TVarType::Int).Int(), 45356);  // half to even
}

TEST_F(VariantTest, NumbersToTextAndBack) {
  EXPECT_EQ(VarAsType(TVariant::FromInt(-12), TVarType::Str).Str(), L"-12");
  EXPECT_EQ(VarAsType(TVariant::FromDouble(1.5), TVarType::Str).Str(), L"1,5");
  EXPECT_DOUBLE_EQ(VarAsType(TVariant::FromStr(L"1,5"), TVarType::Double).Double(), 1.5);
  EXPECT_DOUBLE_EQ(VarAsType(TVariant::FromStr(L"1.5"), TVarType::Double).Double(), 1.5);
  EXPECT_DOUBLE_EQ(VarAsType(TVariant::FromStr(L"-1e-400"), TVarType::Double).Double(), 0);
  EXPECT_EQ(ErrorOf(TVariant::FromStr(L"1e400"), TVarType::Double), kDispEOverflow);
  EXPECT_EQ(ErrorOf(TVariant::FromStr(L"inf"), TVarType::Double), kDispETypeMismatch);
  EXPECT_DOUBLE_EQ(VarAsType(TVariant::FromInt(7), TVarType::Double).Double(), 7);
}

TEST_F(VariantTest, EmptyBecomesZero) {
  const TVariant empty;
  EXPECT_EQ(VarAsType(empty, TVarType::Int), TVariant::FromInt(0));
  EXPECT_EQ(VarAsType(empty, TVarType::Str), TVariant::FromStr(L""));
  EXPECT_EQ(VarAsType(empty, TVarType::Date), TVariant::FromDate(0));
  EXPECT_EQ(VarAsType(empty, TVarType::Currency), TVariant::FromCurrency(0));
  EXPECT_TRUE(VarAsType(TVariant::FromInt(5), TVarType::Empty).IsEmpty());
}

TEST_F(VariantTest, EqualityNeedsTheSameType) {
  EXPECT_EQ(TVariant::FromInt(1), TVariant::FromInt(1));
  EXPECT_NE(TVariant::FromInt(1), TVariant::FromDouble(1));
  EXPECT_NE(TVariant::FromDouble(1), TVariant::FromDate(1));
  EXPECT_EQ(TVariant::FromStr(L"a"), TVariant::FromStr(L"a"));
  EXPECT_NE(TVariant::FromStr(L"a"), TVariant::FromStr(L"A"));
  EXPECT_EQ(TVariant(), TVariant());
}

}  // namespace
