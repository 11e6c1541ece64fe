#include "untEcrDevice.h"

#include <cmath>
#include <iterator>

#include "untEcrClock.h"
#include "untEcrDump.h"
#include "untEcrResults.h"
#include "untText.h"

namespace ecr {

namespace {

const wchar_t* const kModes[] = {
    L"Ожидание команды",
    L"Выдача данных",
    L"Смена открыта",
    L"Смена открыта более 24 часов",
    L"Смена закрыта",
    L"Блокировка после неверного пароля",
    L"Ожидание подтверждения даты",
    L"Изменение положения десятичной точки",
    L"Документ открыт",
    L"Технологическое обнуление разрешено",
    L"Тестовый прогон",
    L"Печать фискального отчёта",
    L"Печать отчёта ЭКЛЗ",
    L"Работа с подкладным документом",
    L"Печать подкладного документа",
    L"Подкладной документ сформирован",
};

const wchar_t* const kAdvancedModes[] = {
    L"Бумага есть",
    L"Нет бумаги: обнаружено до печати",
    L"Нет бумаги: закончилась при печати",
    L"Ожидание продолжения печати",
    L"Печать документа",
    L"Печать отчёта",
};

const wchar_t* const kFlags[kFlagCount] = {
    L"Бумага в контрольной ленте",
    L"Бумага в чековой ленте",
    L"Подкладной документ: верхний датчик",
    L"Подкладной документ: нижний датчик",
    L"Две цифры после запятой",
    L"ЭКЛЗ подключена",
    L"Датчик бумаги контрольной ленты",
    L"Датчик бумаги чековой ленты",
    L"Термоголовка контрольной ленты опущена",
    L"Термоголовка чековой ленты опущена",
    L"Крышка корпуса поднята",
    L"Денежный ящик открыт",
    L"Отказ правого датчика принтера",
    L"Отказ левого датчика принтера",
    L"ЭКЛЗ почти заполнена",
    L"Повышенная точность количества",
};

struct TOpName {
  int32_t DispId;
  TEcrOp Op;
  const wchar_t* Name;
};

const TOpName kOps[] = {
    {dispid::GetECRStatus, TEcrOp::GetECRStatus, L"GetECRStatus"},
    {dispid::GetECRFlags, TEcrOp::GetECRFlags, L"GetECRFlags"},
    {dispid::GetFlagName, TEcrOp::GetFlagName, L"GetFlagName"},
    {dispid::GetFMStatus, TEcrOp::GetFMStatus, L"GetFMStatus"},
    {dispid::RequestDump, TEcrOp::RequestDump, L"RequestDump"},
    {dispid::SetDate, TEcrOp::SetDate, L"SetDate"},
    {dispid::SetTime, TEcrOp::SetTime, L"SetTime"},
    {dispid::GetCashRegister, TEcrOp::GetCashRegister, L"GetCashRegister"},
    {dispid::GetOperationRegister, TEcrOp::GetOperationRegister, L"GetOperationRegister"},
    {dispid::GetRestRegister, TEcrOp::GetRestRegister, L"GetRestRegister"},
    {dispid::WriteRestRegister, TEcrOp::WriteRestRegister, L"WriteRestRegister"},
    {dispid::GetTableStruct, TEcrOp::GetTableStruct, L"GetTableStruct"},
    {dispid::GetFieldStruct, TEcrOp::GetFieldStruct, L"GetFieldStruct"},
    {dispid::ReadTable, TEcrOp::ReadTable, L"ReadTable"},
    {dispid::WriteTable, TEcrOp::WriteTable, L"WriteTable"},
    {dispid::InitTable, TEcrOp::InitTable, L"InitTable"},
    {dispid::CheckConnection, TEcrOp::CheckConnection, L"CheckConnection"},
};

// Register contents: a few chosen values first (what the pages' examples
// show), then a spread that covers whole and fractional amounts.
int64_t DefaultCash(int32_t n) {
  static const int64_t first[] = {15002500, 0, 1234500000, 10000, 99999999900};
  if (n < 5) return first[n];
  int64_t kopecks = (int64_t{n} * 7919 * 131) % 10000000;
  return kopecks * 100;
}

int32_t DefaultOperation(int32_t n) {
  static const int32_t first[] = {12, 70000, 65535, 65536, 131071, 0};
  if (n < 6) return first[n];
  return (n * 9973) % 200000;
}

int32_t DefaultRest(int32_t n) {
  static const int32_t first[] = {0, 12345, 2000, 5, -1500, -7, 1000000, -250000};
  if (n < 8) return first[n];
  if (n % 10 == 0) return (n / 10) * 1000;
  return (n * 7727) % 2000001 - 1000000;
}

bool DatePart(TDateTime value, int& year, int& month, int& day) {
  if (!std::isfinite(value) || value < 0 || value > 2958465) return false;
  DecodeEcrDate(value, year, month, day);
  return true;
}

}  // namespace

TEcrOp OpOfMethod(int32_t dispId) {
  for (const auto& o : kOps)
    if (o.DispId == dispId) return o.Op;
  return TEcrOp::None;
}

const wchar_t* OpName(TEcrOp op) {
  for (const auto& o : kOps)
    if (o.Op == op) return o.Name;
  return L"";
}

std::wstring ModeDescription(int32_t mode) {
  if (mode >= 0 && mode < static_cast<int32_t>(std::size(kModes))) return kModes[mode];
  return Format(L"Неизвестный режим %d", mode);
}

std::wstring AdvancedModeDescription(int32_t mode) {
  if (mode >= 0 && mode < static_cast<int32_t>(std::size(kAdvancedModes))) return kAdvancedModes[mode];
  return Format(L"Неизвестный подрежим %d", mode);
}

std::wstring FlagName(int32_t flag) {
  if (flag >= 0 && flag < kFlagCount) return kFlags[flag];
  return L"";
}

TVirtualEcr::TVirtualEcr() { Reset(); }

TVirtualEcr& TVirtualEcr::Shared() {
  // Never destroyed: controls may outlive static destruction order in a DLL.
  static auto* device = new TVirtualEcr();
  return *device;
}

void TVirtualEcr::Reset() {
  std::lock_guard lock(FMutex);
  SetNowLocked(LocalNow());
  FOperatorNumber = 1;
  FDocumentNumber = 1287;
  // Paper in both rolls, two decimals, protected journal present.
  FFlags = (1 << 0) | (1 << 1) | (1 << 4) | (1 << 5);
  FMode = 2;
  FAdvancedMode = 0;
  FPortNumber = 0;
  FPointPosition = 2;
  FPorts.assign(4, TPortParams{3, 100});
  FCashRegisters.resize(kCashRegisterCount);
  for (int32_t i = 0; i < kCashRegisterCount; ++i) FCashRegisters[static_cast<size_t>(i)] = DefaultCash(i);
  FOperationRegisters.resize(kOperationRegisterCount);
  for (int32_t i = 0; i < kOperationRegisterCount; ++i)
    FOperationRegisters[static_cast<size_t>(i)] = DefaultOperation(i);
  FRestRegisters.resize(kRestRegisterCount);
  for (int32_t i = 0; i < kRestRegisterCount; ++i) FRestRegisters[static_cast<size_t>(i)] = DefaultRest(i);
  FGraphics.clear();
  FTables.Init();
}

void TVirtualEcr::SetNowLocked(TDateTime value) {
  auto clock = EcrClock();
  FBaseTime = value;
  FBaseMs = clock->NowMs();
  FBaseClock = clock.get();
}

TDateTime TVirtualEcr::NowLocked() {
  auto clock = EcrClock();
  // Readings of another clock are on another scale: carry on from the last
  // moment known rather than jump.
  if (clock.get() != FBaseClock) {
    FBaseMs = clock->NowMs();
    FBaseClock = clock.get();
  }
  int64_t elapsed = clock->NowMs() - FBaseMs;
  // Whole seconds only: the device's clock has no finer resolution.
  double seconds = std::floor((FBaseTime - std::floor(FBaseTime)) * 86400.0 + 0.5) + static_cast<double>(elapsed / 1000);
  double days = std::floor(FBaseTime) + std::floor(seconds / 86400.0);
  double rest = std::fmod(seconds, 86400.0);
  return days + rest / 86400.0;
}

TDateTime TVirtualEcr::Now() {
  std::lock_guard lock(FMutex);
  return NowLocked();
}

void TVirtualEcr::SetNow(TDateTime value) {
  std::lock_guard lock(FMutex);
  SetNowLocked(value);
}

int32_t TVirtualEcr::Execute(TEcrOp op, TPropBag& bag) {
  std::lock_guard lock(FMutex);
  return DoExecute(op, bag);
}

int32_t TVirtualEcr::Status(TPropBag& bag) {
  TDateTime now = NowLocked();
  TDateTime softDate = 0;
  EncodeEcrDate(2005, 3, 14, softDate);
  bag.SetInt(dispid::OperatorNumber, FOperatorNumber);
  bag.SetStr(dispid::ECRSoftVersion, L"1.6");
  bag.SetInt(dispid::ECRSoftBuild, 3172);
  bag.SetDate(dispid::ECRSoftDate, softDate);
  bag.SetInt(dispid::DocumentNumber, FDocumentNumber);
  bag.SetInt(dispid::ECRFlags, FFlags);
  bag.SetInt(dispid::ECRMode, FMode);
  bag.SetInt(dispid::ECRAdvancedMode, FAdvancedMode);
  bag.SetInt(dispid::ECRPortNumber, FPortNumber);
  bag.SetDate(dispid::ECRDate, std::floor(now));
  bag.SetDate(dispid::ECRTime, now - std::floor(now));
  return kOk;
}

int32_t TVirtualEcr::FMStatus(TPropBag& bag) {
  bag.SetStr(dispid::FMSoftVersion, L"2.1");
  bag.SetInt(dispid::FMSoftBuild, 211);
  bag.SetStr(dispid::SerialNumber, L"00123456");
  bag.SetInt(dispid::SessionNumber, 57);
  bag.SetInt(dispid::FreeRecordInFM, 2043);
  bag.SetInt(dispid::RegistrationNumber, 1);
  bag.SetInt(dispid::FreeRegistration, 15);
  bag.SetStr(dispid::INN, L"770123456789");
  bag.SetInt(dispid::ActivizationNumber, 1);
  bag.SetInt(dispid::FreeActivization, 19);
  bag.SetStr(dispid::EKLZNumber, L"0012345678");
  return kOk;
}

int32_t TVirtualEcr::Dump(TPropBag& bag) {
  int32_t device = bag.Int(dispid::DeviceNumber);
  int32_t count = DumpBlockCount(device);
  if (count == 0) return kBadDevice;
  bag.SetInt(dispid::DataBlockCount, count);
  int32_t block = bag.Int(dispid::DataBlockNumber);
  if (block < 0 || block >= count) return kBadBlock;
  bag.SetStr(dispid::DataBlock, AnsiToWide(DumpBlock(device, block)));
  return kOk;
}

int32_t TVirtualEcr::FieldStruct(TPropBag& bag, int32_t table, int32_t field) {
  if (!FTables.Table(table)) return kBadTable;
  const TFieldDef* f = FTables.Field(table, field);
  if (!f) return kBadField;
  bag.SetStr(dispid::FieldName, f->Name);
  bag.SetInt(dispid::FieldType, f->Type);
  bag.SetInt(dispid::FieldSize, f->Size);
  bag.SetInt(dispid::FieldMinValue, f->MinValue);
  bag.SetInt(dispid::FieldMaxValue, f->MaxValue);
  return kOk;
}

int32_t TVirtualEcr::DoExecute(TEcrOp op, TPropBag& bag) {
  switch (op) {
    case TEcrOp::None: return kUnknownCommand;
    case TEcrOp::GetECRStatus: return Status(bag);
    case TEcrOp::GetECRFlags: bag.SetInt(dispid::ECRFlags, FFlags); return kOk;
    case TEcrOp::GetFlagName: {
      int32_t n = bag.Int(dispid::FlagNumber);
      if (n < 0 || n >= kFlagCount) return kBadFlag;
      bag.SetStr(dispid::FlagName, kFlags[n]);
      return kOk;
    }
    case TEcrOp::GetFMStatus: return FMStatus(bag);
    case TEcrOp::RequestDump: return Dump(bag);
    case TEcrOp::SetDate: {
      int y, m, d;
      TDateTime date;
      if (!DatePart(bag.Dbl(dispid::ECRDate), y, m, d) || y < 2000 || y > 2099 || !EncodeEcrDate(y, m, d, date))
        return kBadDate;
      TDateTime now = NowLocked();
      SetNowLocked(date + (now - std::floor(now)));
      return kOk;
    }
    case TEcrOp::SetTime: {
      double t = bag.Dbl(dispid::ECRTime);
      if (!std::isfinite(t) || std::fabs(t) > 2958465) return kBadTime;
      int h, mi, s;
      DecodeEcrTime(t, h, mi, s);
      TDateTime tod;
      EncodeEcrTime(h, mi, s, tod);
      SetNowLocked(std::floor(NowLocked()) + tod);
      return kOk;
    }
    case TEcrOp::GetCashRegister: {
      int32_t n = bag.Int(dispid::RegisterNumber);
      if (n < 0 || n >= kCashRegisterCount) return kBadRegister;
      bag.SetCur(dispid::CashRegister, FCashRegisters[static_cast<size_t>(n)]);
      return kOk;
    }
    case TEcrOp::GetOperationRegister: {
      int32_t n = bag.Int(dispid::RegisterNumber);
      if (n < 0 || n >= kOperationRegisterCount) return kBadRegister;
      bag.SetInt(dispid::OperationRegister, FOperationRegisters[static_cast<size_t>(n)]);
      return kOk;
    }
    case TEcrOp::GetRestRegister: {
      int32_t n = bag.Int(dispid::RegisterNumber);
      if (n < 0 || n >= kRestRegisterCount) return kBadRegister;
      bag.SetInt(dispid::RestRegister, FRestRegisters[static_cast<size_t>(n)]);
      return kOk;
    }
    case TEcrOp::WriteRestRegister: {
      int32_t n = bag.Int(dispid::RegisterNumber);
      if (n < 0 || n >= kRestRegisterCount) return kBadRegister;
      FRestRegisters[static_cast<size_t>(n)] = bag.Int(dispid::RestRegister);
      return kOk;
    }
    case TEcrOp::GetTableStruct: {
      const TTableDef* t = FTables.Table(bag.Int(dispid::TableNumber));
      if (!t) return kBadTable;
      bag.SetStr(dispid::TableName, t->Name);
      bag.SetInt(dispid::RowCount, t->RowCount);
      bag.SetInt(dispid::FieldCount, static_cast<int32_t>(t->Fields.size()));
      return kOk;
    }
    case TEcrOp::GetFieldStruct:
      return FieldStruct(bag, bag.Int(dispid::TableNumber), bag.Int(dispid::FieldNumber));
    case TEcrOp::ReadTable: {
      int32_t table = bag.Int(dispid::TableNumber), field = bag.Int(dispid::FieldNumber);
      std::wstring value;
      int32_t rc = FTables.Read(table, bag.Int(dispid::RowNumber), field, value);
      if (rc != kOk) return rc;
      FieldStruct(bag, table, field);
      bag.SetStr(dispid::FieldValue, value);
      return kOk;
    }
    case TEcrOp::WriteTable: {
      int32_t table = bag.Int(dispid::TableNumber), field = bag.Int(dispid::FieldNumber);
      int32_t row = bag.Int(dispid::RowNumber);
      int32_t rc = FTables.Write(table, row, field, bag.Str(dispid::FieldValue));
      if (rc != kOk) return rc;
      std::wstring stored;
      FTables.Read(table, row, field, stored);
      FieldStruct(bag, table, field);
      bag.SetStr(dispid::FieldValue, stored);
      return kOk;
    }
    case TEcrOp::InitTable: FTables.Init(); return kOk;
    case TEcrOp::CheckConnection:
    case TEcrOp::Beep:
    case TEcrOp::Search: return kOk;
    case TEcrOp::SetPortParams: {
      int32_t port = bag.Int(dispid::ECRPortNumber);
      int32_t baud = bag.Int(dispid::ECRBaudRate), timeout = bag.Int(dispid::ECRTimeout);
      if (port < 0 || port >= static_cast<int32_t>(FPorts.size()) || baud < 0 || baud > 6 || timeout < 0 ||
          timeout > 255)
        return kBadParam;
      FPorts[static_cast<size_t>(port)] = {baud, timeout};
      return kOk;
    }
    case TEcrOp::GetPortParams: {
      int32_t port = bag.Int(dispid::ECRPortNumber);
      if (port < 0 || port >= static_cast<int32_t>(FPorts.size())) return kBadParam;
      bag.SetInt(dispid::ECRBaudRate, FPorts[static_cast<size_t>(port)].BaudRate);
      bag.SetInt(dispid::ECRTimeout, FPorts[static_cast<size_t>(port)].Timeout);
      return kOk;
    }
    case TEcrOp::SetPointPosition: {
      int32_t p = bag.Int(dispid::PositionOfPoint);
      if (p != 0 && p != 2) return kBadParam;
      FPointPosition = p;
      return kOk;
    }
    case TEcrOp::SetTimeFields: {
      TDateTime tod;
      if (!EncodeEcrTime(bag.Int(dispid::ECRHour), bag.Int(dispid::ECRMin), bag.Int(dispid::ECRSec), tod))
        return kBadTime;
      SetNowLocked(std::floor(NowLocked()) + tod);
      return kOk;
    }
    case TEcrOp::SetDateFields: {
      int32_t year = bag.Int(dispid::ECRYear);
      if (year >= 0 && year < 100) year += 2000;
      TDateTime date;
      if (year < 2000 || year > 2099 || !EncodeEcrDate(year, bag.Int(dispid::ECRMonth), bag.Int(dispid::ECRDay), date))
        return kBadDate;
      TDateTime now = NowLocked();
      SetNowLocked(date + (now - std::floor(now)));
      return kOk;
    }
    case TEcrOp::LoadGraphics: {
      int32_t line = bag.Int(dispid::LineNumber);
      if (line < 1 || line > 200) return kBadParam;
      FGraphics[line] = bag.Str(dispid::LineData);
      bag.SetInt(dispid::OperatorNumber, FOperatorNumber);
      return kOk;
    }
    case TEcrOp::GetDeviceType:
      bag.SetInt(dispid::UMajorType, 0);
      bag.SetInt(dispid::UMinorType, 0);
      bag.SetInt(dispid::UMajorProtocolVersion, 1);
      bag.SetInt(dispid::UMinorProtocolVersion, 0);
      bag.SetInt(dispid::UModel, 7);
      bag.SetInt(dispid::UCodePage, 1);
      bag.SetStr(dispid::UDescription, L"Виртуальная ККМ Plover");
      return kOk;
  }
  return kUnknownCommand;
}

}  // namespace ecr
