#include "untEcrProps.h"

namespace ecr {

TVariant DefaultOfKind(TPropKind kind) {
  switch (kind) {
    case TPropKind::I4: return TVariant::FromInt(0);
    case TPropKind::STR: return TVariant::FromStr(L"");
    case TPropKind::CY: return TVariant::FromCurrency(0);
    case TPropKind::R8: return TVariant::FromDouble(0);
    case TPropKind::DT: return TVariant::FromDate(0);
    case TPropKind::BOOL: return TVariant::FromBool(false);
  }
  return {};
}

bool PropKindOf(int32_t dispId, TPropKind& kind) {
  const TMemberInfo* info = FindMemberById(dispId);
  if (!info || info->IsMethod) return false;
  kind = info->Kind;
  return true;
}

TPropBag::TPropBag() {
  size_t count = 0;
  const TMemberInfo* members = MemberTable(count);
  for (size_t i = 0; i < count; ++i) {
    const TMemberInfo& m = members[i];
    if (!m.IsMethod && m.DispId >= 0 && m.DispId < kMaxPropId) FValues[m.DispId] = DefaultOfKind(m.Kind);
  }
}

const TVariant& TPropBag::Get(int32_t dispId) const {
  static const TVariant kEmpty;
  if (dispId < 0 || dispId >= kMaxPropId) return kEmpty;
  return FValues[dispId];
}

void TPropBag::Set(int32_t dispId, TVariant value) {
  if (dispId < 0 || dispId >= kMaxPropId) return;
  FValues[dispId] = std::move(value);
  if (!FIsChanged[dispId]) {
    FIsChanged[dispId] = true;
    FChanged.push_back(dispId);
  }
}

void TPropBag::ClearChanged() {
  for (int32_t id : FChanged) FIsChanged[id] = false;
  FChanged.clear();
}

int32_t TPropBag::Int(int32_t dispId) const {
  const TVariant& v = Get(dispId);
  switch (v.Type()) {
    case TVarType::Int: return v.Int();
    case TVarType::Bool: return v.Bool() ? -1 : 0;
    case TVarType::Currency: return static_cast<int32_t>(v.Currency() / 10000);
    case TVarType::Double:
    case TVarType::Date: return static_cast<int32_t>(v.Double());
    default: return 0;
  }
}

std::wstring TPropBag::Str(int32_t dispId) const {
  const TVariant& v = Get(dispId);
  return v.Type() == TVarType::Str ? v.Str() : std::wstring();
}

int64_t TPropBag::Cur(int32_t dispId) const {
  const TVariant& v = Get(dispId);
  switch (v.Type()) {
    case TVarType::Currency: return v.Currency();
    case TVarType::Int: return int64_t{v.Int()} * 10000;
    default: return 0;
  }
}

double TPropBag::Dbl(int32_t dispId) const {
  const TVariant& v = Get(dispId);
  switch (v.Type()) {
    case TVarType::Double:
    case TVarType::Date: return v.Double();
    case TVarType::Int: return v.Int();
    case TVarType::Currency: return static_cast<double>(v.Currency()) / 10000.0;
    default: return 0;
  }
}

bool TPropBag::Bool(int32_t dispId) const {
  const TVariant& v = Get(dispId);
  switch (v.Type()) {
    case TVarType::Bool: return v.Bool();
    case TVarType::Int: return v.Int() != 0;
    default: return false;
  }
}

}  // namespace ecr
