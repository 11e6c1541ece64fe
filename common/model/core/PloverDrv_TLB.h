#pragma once
// The driver control as the programs see it: typed properties and methods over
// four primitives (name look-up, property put, property get, method call) that
// each implementation provides: the COM client on Windows, the virtual cash
// register called directly in native tests.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "untVariant.h"

enum class TPropKind : uint8_t { I4, STR, CY, R8, DT, BOOL };

namespace dispid {
enum : int32_t {
#define DRV_PROP(name, kind, did, access) name = did,
#define DRV_METHOD(name, did) name = did,
#include "PloverDrvProps.inc"
#undef DRV_PROP
#undef DRV_METHOD
};
}  // namespace dispid

struct TMemberInfo {
  const wchar_t* Name;
  int32_t DispId;
  bool IsMethod;
  TPropKind Kind;  // properties only
  bool ReadOnly;   // properties only
};

// Case-insensitive, like automation name look-up. nullptr when unknown.
const TMemberInfo* FindMemberByName(std::wstring_view name);
const TMemberInfo* FindMemberById(int32_t dispId);
// Every member in declaration order.
const TMemberInfo* MemberTable(size_t& count);
// The variant type a property of this kind holds.
TVarType VarTypeOfKind(TPropKind kind);

class TPloverDriver;
// OnCommand(Sender, CommandID): a command has arrived from the network.
using TPloverDriverCommand = std::function<void(TPloverDriver& sender, int32_t commandId)>;

class TPloverDriver {
 public:
  virtual ~TPloverDriver() = default;
  TPloverDriver(const TPloverDriver&) = delete;
  TPloverDriver& operator=(const TPloverDriver&) = delete;

  // Primitives. Failures of the automation call itself (unknown name, refused
  // coercion, dead control) throw EOleError carrying the status and its text.
  virtual int32_t LookupName(const std::wstring& name) = 0;
  virtual void PutById(int32_t dispId, const TVariant& value) = 0;
  virtual TVariant GetById(int32_t dispId) = 0;
  virtual int32_t CallById(int32_t dispId) = 0;

  // Raised on the thread that created the control.
  TPloverDriverCommand OnCommand;

  // Typed accessors: get_Name() / set_Name(value); methods by their own names.
#define DRV_TYPE_I4 int32_t
#define DRV_TYPE_STR std::wstring
#define DRV_TYPE_CY int64_t
#define DRV_TYPE_R8 double
#define DRV_TYPE_DT TDateTime
#define DRV_TYPE_BOOL bool
#define DRV_GET_RW(name, kind) \
  DRV_TYPE_##kind get_##name() { return As##kind(GetById(dispid::name)); }
#define DRV_GET_RO(name, kind) DRV_GET_RW(name, kind)
#define DRV_SET_RW(name, kind) \
  void set_##name(const DRV_TYPE_##kind& v) { PutById(dispid::name, Var##kind(v)); }
#define DRV_SET_RO(name, kind)
#define DRV_PROP(name, kind, did, access) DRV_GET_##access(name, kind) DRV_SET_##access(name, kind)
#define DRV_METHOD(name, did) \
  int32_t name() { return CallById(dispid::name); }
#include "PloverDrvProps.inc"
#undef DRV_PROP
#undef DRV_METHOD
#undef DRV_GET_RW
#undef DRV_GET_RO
#undef DRV_SET_RW
#undef DRV_SET_RO

 protected:
  TPloverDriver() = default;

 private:
  static int32_t AsI4(const TVariant& v);
  static std::wstring AsSTR(const TVariant& v);
  static int64_t AsCY(const TVariant& v);
  static double AsR8(const TVariant& v);
  static TDateTime AsDT(const TVariant& v);
  static bool AsBOOL(const TVariant& v);
  static TVariant VarI4(int32_t v) { return TVariant::FromInt(v); }
  static TVariant VarSTR(const std::wstring& v) { return TVariant::FromStr(v); }
  static TVariant VarCY(int64_t v) { return TVariant::FromCurrency(v); }
  static TVariant VarR8(double v) { return TVariant::FromDouble(v); }
  static TVariant VarDT(TDateTime v) { return TVariant::FromDate(v); }
  static TVariant VarBOOL(bool v) { return TVariant::FromBool(v); }
};
