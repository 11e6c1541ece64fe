#pragma once
// A driver for the received-command handlers: the test hands it one command
// at a time, and it keeps what the handler sends back. Properties are kept
// by identifier and coerced like automation; nothing is logged, so a run of a
// million commands stays cheap (the receipt benchmark uses it too).
#include <array>
#include <cstdint>

#include "Driver.h"
#include "untError.h"

struct TScriptCommand {
  int32_t Code = 0x80;
  int32_t Type = 0;  // 0 request
  int32_t Src = 3;
  int32_t Dst = 1;
  bool Repeated = false;
  double Quantity = 0;
  int64_t Price = 0;  // ten-thousandths
};

struct TScriptAnswer {
  int32_t Type = -1, Code = -1, Src = -1, Dst = -1;
  bool WaitAnswer = true;
};

class TScriptDriver : public TDriver {
 public:
  TScriptDriver() { PutById(dispid::SrcAddress, TVariant::FromInt(1)); }

  // Raises nothing itself: returns the identifier the handler is to be given.
  int32_t Arrive(const TScriptCommand& command) {
    FCommand = command;
    return ++FLastId;
  }

  int32_t GetCommandResult = 0;  // what GetCommand returns for a known identifier
  int Parsed = 0;
  int SendCount = 0;
  TScriptAnswer LastAnswer;

  int32_t LookupName(const std::wstring& name) override {
    const TMemberInfo* info = FindMemberByName(name);
    if (!info) throw EOleError(kDispEUnknownName, L"Неизвестное имя");
    return info->DispId;
  }
  void PutById(int32_t dispId, const TVariant& value) override {
    const TMemberInfo* info = FindMemberById(dispId);
    if (!info || info->IsMethod || dispId >= static_cast<int32_t>(FProps.size()))
      throw EOleError(kDispEMemberNotFound, L"Нет такого свойства");
    const TVarType type = VarTypeOfKind(info->Kind);
    FProps[static_cast<size_t>(dispId)] = value.Type() == type ? value : VarAsType(value, type);
  }
  TVariant GetById(int32_t dispId) override {
    const TMemberInfo* info = FindMemberById(dispId);
    if (!info || info->IsMethod || dispId >= static_cast<int32_t>(FProps.size()))
      throw EOleError(kDispEMemberNotFound, L"Нет такого свойства");
    const TVariant& v = FProps[static_cast<size_t>(dispId)];
    return v.IsEmpty() ? VarAsType(TVariant::FromInt(0), VarTypeOfKind(info->Kind)) : v;
  }
  int32_t CallById(int32_t dispId) override {
    switch (dispId) {
      case dispid::GetCommand:
        FSelected = get_CommandID() == FLastId && GetCommandResult == 0;
        return FSelected ? 0 : (GetCommandResult ? GetCommandResult : -5);
      case dispid::ParseCommand:
        if (!FSelected) return -6;
        ++Parsed;
        set_CommandCode(FCommand.Code);
        set_CommandType(FCommand.Type);
        set_CommandSrcAddress(FCommand.Src);
        set_CommandDstAddress(FCommand.Dst);
        FProps[dispid::CommandRepeated] = TVariant::FromBool(FCommand.Repeated);
        set_Quantity(FCommand.Quantity);
        set_Price(FCommand.Price);
        return 0;
      case dispid::SendCommand:
        ++SendCount;
        LastAnswer = {get_CommandType(), get_CommandCode(), get_CommandSrcAddress(), get_CommandDstAddress(),
                      get_WaitAnswer()};
        return 0;
      default: return 0;
    }
  }

 private:
  std::array<TVariant, 256> FProps;
  TScriptCommand FCommand;
  int32_t FLastId = 0;
  bool FSelected = false;
};
