#pragma once
// Stand-ins for the command test window and for the driver control, for the
// session tests: the view keeps what it is told, the driver keeps properties
// by identifier (coercing like automation) and logs every access in order.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Driver.h"
#include "untCmdSession.h"
#include "untError.h"

class TFakeCmdView : public TCmdView {
 public:
  std::vector<std::vector<std::wstring>> Cells;  // [row][col]
  std::vector<std::wstring> Items;
  int ItemIndex = -1;
  int RowCountCalls = 0;
  std::wstring Result, Output, Input, TxText = L"?", RxText = L"?";
  std::vector<bool> ButtonStates;  // every EnableCommandButtons call

  void SetGridRowCount(int count) override {
    ++RowCountCalls;
    Cells.resize(static_cast<size_t>(count), std::vector<std::wstring>(2));
  }
  std::wstring GridCell(int col, int row) override { return Cells.at(row).at(col); }
  void SetGridCell(int col, int row, const std::wstring& text) override { Cells.at(row).at(col) = text; }
  void SetCommandItems(const std::vector<std::wstring>& items) override { Items = items; }
  void SetCommandItemIndex(int index) override { ItemIndex = index; }
  void SetResultText(const std::wstring& text) override { Result = text; }
  void SetOutputText(const std::wstring& text) override { Output = text; }
  void SetInputText(const std::wstring& text) override { Input = text; }
  void SetCounterTexts(const std::wstring& tx, const std::wstring& rx) override {
    TxText = tx;
    RxText = rx;
  }
  void EnableCommandButtons(bool enabled) override { ButtonStates.push_back(enabled); }

  int RowCount() const { return static_cast<int>(Cells.size()); }
  // Row of a caption shown in column 0, -1 when absent.
  int RowOf(const std::wstring& caption) const {
    for (size_t r = 0; r < Cells.size(); ++r)
      if (Cells[r][0] == caption) return static_cast<int>(r);
    return -1;
  }
  std::wstring& ValueOf(const std::wstring& caption) { return Cells.at(RowOf(caption)).at(1); }
};

class TFakeDriver : public TDriver {
 public:
  std::vector<std::wstring> Log;  // "put Name=text", "get Name", "call Name"
  std::map<std::wstring, int32_t> MethodResults;
  int32_t DeviceEnabledResult = 0;
  // Runs inside a method call, before its result is set.
  std::function<void(const std::wstring& method)> OnCall;

  TFakeDriver() {
    Set(L"SrcAddress", TVariant::FromInt(1));
    Set(L"DstAddress", TVariant::FromInt(2));
  }

  int32_t LookupName(const std::wstring& name) override {
    const TMemberInfo* info = FindMemberByName(name);
    if (!info) throw EOleError(kDispEUnknownName, L"Неизвестное имя");
    return info->DispId;
  }
  void PutById(int32_t dispId, const TVariant& value) override {
    const TMemberInfo* info = Member(dispId);
    if (info->ReadOnly) throw EOleError(kDispEMemberNotFound, L"Свойство только для чтения");
    TVariant stored = VarAsType(value, VarTypeOfKind(info->Kind));
    Log.push_back(std::wstring(L"put ") + info->Name + L"=" + VarAsType(stored, TVarType::Str).Str());
    FProps[dispId] = stored;
    if (dispId == dispid::DeviceEnabled) SetResult(DeviceEnabledResult);
  }
  TVariant GetById(int32_t dispId) override {
    const TMemberInfo* info = Member(dispId);
    Log.push_back(std::wstring(L"get ") + info->Name);
    return Value(dispId, info);
  }
  int32_t CallById(int32_t dispId) override {
    const TMemberInfo* info = Member(dispId);
    Log.push_back(std::wstring(L"call ") + info->Name);
    if (OnCall) OnCall(info->Name);
    auto it = MethodResults.find(info->Name);
    int32_t result = it == MethodResults.end() ? 0 : it->second;
    SetResult(result);
    return result;
  }

  // Direct access that bypasses the log and the read-only mark.
  void Set(const std::wstring& name, const TVariant& value) {
    const TMemberInfo* info = FindMemberByName(name);
    FProps[info->DispId] = VarAsType(value, VarTypeOfKind(info->Kind));
  }
  std::wstring Text(const std::wstring& name) {
    const TMemberInfo* info = FindMemberByName(name);
    return VarAsType(Value(info->DispId, info), TVarType::Str).Str();
  }
  // Log entries that start with `prefix`, in order.
  std::vector<std::wstring> Entries(const std::wstring& prefix) const {
    std::vector<std::wstring> out;
    for (const auto& e : Log)
      if (e.compare(0, prefix.size(), prefix) == 0) out.push_back(e);
    return out;
  }
  int Count(const std::wstring& entry) const {
    int n = 0;
    for (const auto& e : Log) n += e == entry;
    return n;
  }

 private:
  const TMemberInfo* Member(int32_t dispId) {
    const TMemberInfo* info = FindMemberById(dispId);
    if (!info) throw EOleError(kDispEMemberNotFound, L"Нет такого члена");
    return info;
  }
  TVariant Value(int32_t dispId, const TMemberInfo* info) {
    auto it = FProps.find(dispId);
    if (it != FProps.end()) return it->second;
    return VarAsType(TVariant::FromInt(0), VarTypeOfKind(info->Kind));
  }
  void SetResult(int32_t code) {
    FProps[dispid::ResultCode] = TVariant::FromInt(code);
    FProps[dispid::ResultCodeDescription] =
        TVariant::FromStr(code == 0 ? L"Ошибок нет" : L"Ошибка " + std::to_wstring(code));
  }
  std::map<int32_t, TVariant> FProps;
};
