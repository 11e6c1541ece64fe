#include "PloverDrv_TLB.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "untError.h"
#include "untText.h"

namespace {

#define DRV_ACCESS_RW false
#define DRV_ACCESS_RO true
const TMemberInfo kMembers[] = {
#define DRV_PROP(name, kind, did, access) {L## #name, did, false, TPropKind::kind, DRV_ACCESS_##access},
#define DRV_METHOD(name, did) {L## #name, did, true, TPropKind::I4, true},
#include "PloverDrvProps.inc"
#undef DRV_PROP
#undef DRV_METHOD
};
constexpr size_t kMemberCount = sizeof kMembers / sizeof kMembers[0];

struct TUpperHash {
  size_t operator()(const std::wstring& s) const { return std::hash<std::wstring>()(s); }
};

std::wstring Upper(std::wstring_view s) {
  std::wstring out(s);
  for (auto& c : out) c = UpperChar(c);
  return out;
}

const std::unordered_map<std::wstring, const TMemberInfo*>& ByName() {
  static const auto* map = [] {
    auto* m = new std::unordered_map<std::wstring, const TMemberInfo*>();
    for (const auto& info : kMembers) m->emplace(Upper(info.Name), &info);
    return m;
  }();
  return *map;
}

const std::unordered_map<int32_t, const TMemberInfo*>& ById() {
  static const auto* map = [] {
    auto* m = new std::unordered_map<int32_t, const TMemberInfo*>();
    for (const auto& info : kMembers) m->emplace(info.DispId, &info);
    return m;
  }();
  return *map;
}

}  // namespace

const TMemberInfo* FindMemberByName(std::wstring_view name) {
  auto& map = ByName();
  auto it = map.find(Upper(name));
  return it == map.end() ? nullptr : it->second;
}

const TMemberInfo* FindMemberById(int32_t dispId) {
  auto& map = ById();
  auto it = map.find(dispId);
  return it == map.end() ? nullptr : it->second;
}

const TMemberInfo* MemberTable(size_t& count) {
  count = kMemberCount;
  return kMembers;
}

TVarType VarTypeOfKind(TPropKind kind) {
  switch (kind) {
    case TPropKind::I4: return TVarType::Int;
    case TPropKind::STR: return TVarType::Str;
    case TPropKind::CY: return TVarType::Currency;
    case TPropKind::R8: return TVarType::Double;
    case TPropKind::DT: return TVarType::Date;
    case TPropKind::BOOL: return TVarType::Bool;
  }
  return TVarType::Empty;
}

// A control may answer with another variant type than it declares (a late-bound
// control, a variant property); the typed accessors coerce as automation does.
int32_t TPloverDriver::AsI4(const TVariant& v) {
  return v.Type() == TVarType::Int ? v.Int() : VarAsType(v, TVarType::Int).Int();
}
std::wstring TPloverDriver::AsSTR(const TVariant& v) {
  return v.Type() == TVarType::Str ? v.Str() : VarAsType(v, TVarType::Str).Str();
}
int64_t TPloverDriver::AsCY(const TVariant& v) {
  return v.Type() == TVarType::Currency ? v.Currency() : VarAsType(v, TVarType::Currency).Currency();
}
double TPloverDriver::AsR8(const TVariant& v) {
  return v.Type() == TVarType::Double ? v.Double() : VarAsType(v, TVarType::Double).Double();
}
TDateTime TPloverDriver::AsDT(const TVariant& v) {
  return v.Type() == TVarType::Date ? v.Double() : VarAsType(v, TVarType::Date).Double();
}
bool TPloverDriver::AsBOOL(const TVariant& v) {
  return v.Type() == TVarType::Bool ? v.Bool() : VarAsType(v, TVarType::Bool).Bool();
}
