#pragma once
// The values of a control's properties (or of one network request), one slot
// per property dispatch identifier, each holding its declared type.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "PloverDrv_TLB.h"

namespace ecr {

// Properties have identifiers below this; methods lie above it.
constexpr int32_t kMaxPropId = 256;

class TPropBag {
 public:
  // Every property at its default.
  TPropBag();

  // Empty variant for an identifier that is no property.
  const TVariant& Get(int32_t dispId) const;
  // Stores the value as given: callers pass the declared type.
  void Set(int32_t dispId, TVariant value);

  int32_t Int(int32_t dispId) const;
  std::wstring Str(int32_t dispId) const;
  int64_t Cur(int32_t dispId) const;
  double Dbl(int32_t dispId) const;  // R8 and DT
  bool Bool(int32_t dispId) const;

  void SetInt(int32_t dispId, int32_t v) { Set(dispId, TVariant::FromInt(v)); }
  void SetStr(int32_t dispId, std::wstring v) { Set(dispId, TVariant::FromStr(std::move(v))); }
  void SetCur(int32_t dispId, int64_t v) { Set(dispId, TVariant::FromCurrency(v)); }
  void SetDbl(int32_t dispId, double v) { Set(dispId, TVariant::FromDouble(v)); }
  void SetDate(int32_t dispId, double v) { Set(dispId, TVariant::FromDate(v)); }
  void SetBool(int32_t dispId, bool v) { Set(dispId, TVariant::FromBool(v)); }

  // Identifiers set since the last ClearChanged, in the order first set: what
  // a device call produced, to be copied back to the control.
  const std::vector<int32_t>& Changed() const { return FChanged; }
  void ClearChanged();

 private:
  std::array<TVariant, kMaxPropId> FValues;
  std::array<bool, kMaxPropId> FIsChanged{};
  std::vector<int32_t> FChanged;
};

// The default value of a property of the given kind.
TVariant DefaultOfKind(TPropKind kind);
// The declared kind of a property, or false when the identifier is no property.
bool PropKindOf(int32_t dispId, TPropKind& kind);

}  // namespace ecr
