#pragma once
// The virtual cash register: status, fiscal memory, flags, registers, tables,
// memory dump, clock. One device per process, shared by every control; each
// operation reads its inputs from a property bag and writes its outputs there.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "untEcrProps.h"
#include "untEcrTables.h"

namespace ecr {

// What the device can be asked to do: the control's device methods and the
// protocol commands that have no method of their own.
enum class TEcrOp {
  None,
  GetECRStatus,
  GetECRFlags,
  GetFlagName,
  GetFMStatus,
  RequestDump,
  SetDate,
  SetTime,
  GetCashRegister,
  GetOperationRegister,
  GetRestRegister,
  WriteRestRegister,
  GetTableStruct,
  GetFieldStruct,
  ReadTable,
  WriteTable,
  InitTable,
  CheckConnection,
  Beep,              // 13h
  SetPortParams,     // 14h
  GetPortParams,     // 15h
  SetPointPosition,  // 20h
  SetTimeFields,     // 21h: ECRHour, ECRMin, ECRSec
  SetDateFields,     // 22h: ECRDay, ECRMonth, ECRYear
  LoadGraphics,      // C0h
  GetDeviceType,     // FCh
  Search,            // FAh
};

// The operation behind a method's dispatch identifier; None for the methods
// that are no device work (network, settings).
TEcrOp OpOfMethod(int32_t dispId);
// The method's name, for fault injection by name; empty for the network-only ops.
const wchar_t* OpName(TEcrOp op);

constexpr int32_t kCashRegisterCount = 64;
constexpr int32_t kOperationRegisterCount = 80;
constexpr int32_t kRestRegisterCount = 120;
constexpr int32_t kFlagCount = 16;
// Simulated time the device needs to initialise its tables.
constexpr int64_t kInitTableMs = 2500;

// Texts of modes and flags; unknown numbers get a text that says so.
std::wstring ModeDescription(int32_t mode);
std::wstring AdvancedModeDescription(int32_t mode);
std::wstring FlagName(int32_t flag);

class TVirtualEcr {
 public:
  TVirtualEcr();
  // The device every control of this process talks to.
  static TVirtualEcr& Shared();

  // Factory state: registers, tables, status; the clock starts from the
  // computer's local time.
  void Reset();

  // Runs an operation; returns its result code. Thread-safe.
  int32_t Execute(TEcrOp op, TPropBag& bag);

  // The device's date and time now.
  TDateTime Now();
  // Starts the device clock from a given moment (tests).
  void SetNow(TDateTime value);

 private:
  int32_t DoExecute(TEcrOp op, TPropBag& bag);
  int32_t Status(TPropBag& bag);
  int32_t FMStatus(TPropBag& bag);
  int32_t Dump(TPropBag& bag);
  int32_t FieldStruct(TPropBag& bag, int32_t table, int32_t field);
  void SetNowLocked(TDateTime value);
  TDateTime NowLocked();

  std::mutex FMutex;
  // Clock: the moment last set and the clock reading at that moment.
  TDateTime FBaseTime = 0;
  int64_t FBaseMs = 0;
  const void* FBaseClock = nullptr;  // the clock FBaseMs was read from; compared only

  int32_t FOperatorNumber = 0;
  int32_t FDocumentNumber = 0;
  int32_t FFlags = 0;
  int32_t FMode = 0;
  int32_t FAdvancedMode = 0;
  int32_t FPortNumber = 0;
  int32_t FPointPosition = 2;
  struct TPortParams {
    int32_t BaudRate;
    int32_t Timeout;
  };
  std::vector<TPortParams> FPorts;
  std::vector<int64_t> FCashRegisters;
  std::vector<int32_t> FOperationRegisters;
  std::vector<int32_t> FRestRegisters;
  std::map<int32_t, std::wstring> FGraphics;
  TEcrTables FTables;
};

}  // namespace ecr
