#pragma once
// A portable automation value: what crosses the driver boundary. The Windows
// layer maps it to and from VARIANT; the virtual cash register uses it as is.
#include <cstdint>
#include <string>

#include "untDateTime.h"

enum class TVarType : uint8_t { Empty, Int, Str, Double, Date, Currency, Bool };

class TVariant {
 public:
  TVariant() = default;
  static TVariant FromInt(int32_t v);
  static TVariant FromStr(std::wstring v);
  static TVariant FromDouble(double v);
  static TVariant FromDate(TDateTime v);
  static TVariant FromCurrency(int64_t tenThousandths);
  static TVariant FromBool(bool v);

  TVarType Type() const { return FType; }
  bool IsEmpty() const { return FType == TVarType::Empty; }

  // Raw access; valid only for the matching type.
  int32_t Int() const { return FInt; }
  const std::wstring& Str() const { return FStr; }
  double Double() const { return FDouble; }        // Double and Date
  int64_t Currency() const { return FCurrency; }  // ten-thousandths
  bool Bool() const { return FBool; }

  bool operator==(const TVariant& o) const;

 private:
  TVarType FType = TVarType::Empty;
  int32_t FInt = 0;
  double FDouble = 0;
  int64_t FCurrency = 0;
  bool FBool = false;
  std::wstring FStr;
};

// Automation status codes the portable code reports (same values as on Windows).
constexpr int32_t kDispETypeMismatch = static_cast<int32_t>(0x80020005);
constexpr int32_t kDispEOverflow = static_cast<int32_t>(0x8002000A);
constexpr int32_t kDispEUnknownName = static_cast<int32_t>(0x80020006);
constexpr int32_t kDispEMemberNotFound = static_cast<int32_t>(0x80020003);
constexpr int32_t kDispEBadParamCount = static_cast<int32_t>(0x8002000E);

// Ordinary automation coercion of a value to a type, as VariantChangeType does
// it: text to number, double to integer with banker's rounding, double to
// currency, number to text, and so on. Throws EOleError with kDispETypeMismatch
// or kDispEOverflow and a Russian text.
TVariant VarAsType(const TVariant& value, TVarType type);
