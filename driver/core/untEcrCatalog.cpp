#include "untEcrCatalog.h"

namespace ecr {

namespace {

using namespace dispid;

std::vector<TCommandLayout> MakeLayouts() {
  const int32_t rc = CommandResultCode;
  // Order and contents follow the programs' command catalogue. One deliberate
  // addition: 1Dh also sends RestRegister in the request, since a write of a
  // rest register without the value to write could not work.
  return {
      {0x01, {DeviceNumber, DataBlockNumber}, {DataBlockCount, DataBlock, rc}, TEcrOp::RequestDump, false},
      {0x10, {FlagNumber}, {dispid::FlagName, rc}, TEcrOp::GetFlagName, false},
      {0x11,
       {},
       {OperatorNumber, ECRSoftVersion, ECRSoftBuild, ECRSoftDate, DocumentNumber, ECRFlags, ECRMode,
        ECRAdvancedMode, ECRPortNumber, ECRDate, ECRTime, rc},
       TEcrOp::GetECRStatus,
       false},
      {0x12,
       {},
       {FMSoftVersion, FMSoftBuild, SerialNumber, SessionNumber, FreeRecordInFM, RegistrationNumber,
        FreeRegistration, INN, ActivizationNumber, FreeActivization, EKLZNumber, rc},
       TEcrOp::GetFMStatus,
       false},
      {0x13, {}, {rc}, TEcrOp::Beep, false},
      {0x14, {ECRPortNumber, ECRBaudRate, ECRTimeout}, {rc}, TEcrOp::SetPortParams, false},
      {0x15, {ECRPortNumber}, {ECRBaudRate, ECRTimeout, rc}, TEcrOp::GetPortParams, false},
      {0x1A, {RegisterNumber}, {CashRegister, rc}, TEcrOp::GetCashRegister, false},
      {0x1B, {RegisterNumber}, {OperationRegister, rc}, TEcrOp::GetOperationRegister, false},
      {0x1C, {RegisterNumber}, {RestRegister, rc}, TEcrOp::GetRestRegister, false},
      {0x1D, {RegisterNumber, RestRegister}, {RestRegister, rc}, TEcrOp::WriteRestRegister, false},
      {0x1E, {TableNumber, RowNumber, FieldNumber, FieldType, FieldValue}, {rc}, TEcrOp::WriteTable, false},
      {0x1F, {TableNumber, RowNumber, FieldNumber}, {FieldType, FieldValue, rc}, TEcrOp::ReadTable, false},
      {0x20, {PositionOfPoint}, {rc}, TEcrOp::SetPointPosition, false},
      {0x21, {ECRHour, ECRMin, ECRSec}, {rc}, TEcrOp::SetTimeFields, false},
      {0x22, {ECRDay, ECRMonth, ECRYear}, {rc}, TEcrOp::SetDateFields, false},
      {0x24, {}, {rc}, TEcrOp::InitTable, false},
      {0x2D, {TableNumber}, {TableName, RowCount, FieldCount, rc}, TEcrOp::GetTableStruct, false},
      {0x2E,
       {TableNumber, FieldNumber},
       {FieldName, FieldType, FieldSize, FieldMinValue, FieldMaxValue, rc},
       TEcrOp::GetFieldStruct,
       false},
      {0xC0, {LineNumber, LineData}, {OperatorNumber, rc}, TEcrOp::LoadGraphics, false},
      {0xFC,
       {},
       {UMajorType, UMinorType, UMajorProtocolVersion, UMinorProtocolVersion, UModel, UCodePage, UDescription, rc},
       TEcrOp::GetDeviceType,
       false},
      {0xFA, {}, {rc}, TEcrOp::Search, false},
      {0x50, {Summ, ECRDate, ECRTime, OperatorNumber, DocumentNumber, OperationNumber}, {rc}, TEcrOp::None, true},
      {0x51, {Summ, ECRDate, ECRTime, OperatorNumber, DocumentNumber, OperationNumber}, {rc}, TEcrOp::None, true},
      {0x52, {Summ, ECRDate, ECRTime, OperatorNumber, DocumentNumber, OperationNumber}, {rc}, TEcrOp::None, true},
      {0x80, {RegType, RegSign, Quantity, Price, Section, OperatorNumber}, {rc}, TEcrOp::None, true},
      {0x81,
       {RegType, RegSign, Quantity, Code, OperatorNumber},
       {Text, Price, Section, Tax1, Tax2, Tax3, Tax4, rc},
       TEcrOp::None,
       true},
      {0x82,
       {RegType, RegSign, Quantity, Barcode, OperatorNumber},
       {Text, Price, Section, Tax1, Tax2, Tax3, Tax4, BarcodeType, BarcodeWeight, rc},
       TEcrOp::None,
       true},
      {0x83, {RegType, RegSign, DscSign, Summ, OperatorNumber}, {rc}, TEcrOp::None, true},
      {0x84, {RegType, RegSign, DscSign, Code, RecSumm, OperatorNumber}, {Text, Summ, rc}, TEcrOp::None, true},
      {0x85, {RegType, RegSign, DscSign, Barcode, RecSumm, OperatorNumber}, {Text, Summ, rc}, TEcrOp::None, true},
      {0x86, {RegType, RegSign, DscSign, RecSumm, OperatorNumber}, {Text, Summ, rc}, TEcrOp::None, true},
      {0x87, {PayType, RegType, RegSign, Summ, OperatorNumber}, {rc}, TEcrOp::None, true},
      {0x88, {RegType, RegSign, RecSumm, OperatorNumber}, {PayType, Summ, rc}, TEcrOp::None, true},
      {0x90,
       {OperatorNumber, RegType, ECRDate, ECRTime, DocumentNumber, ReceiptNumber},
       {TaxSumm1, TaxSumm2, TaxSumm3, TaxSumm4, rc},
       TEcrOp::None,
       true},
      {0x91, {OperatorNumber, RegType, ECRDate, ECRTime, DocumentNumber, ReceiptNumber}, {rc}, TEcrOp::None, true},
      {0x92, {}, {rc}, TEcrOp::None, true},
  };
}

}  // namespace

const std::vector<TCommandLayout>& CommandLayouts() {
  static const std::vector<TCommandLayout> layouts = MakeLayouts();
  return layouts;
}

const TCommandLayout* CommandLayout(uint8_t code) {
  for (const auto& l : CommandLayouts())
    if (l.Code == code) return &l;
  return nullptr;
}

std::vector<int32_t> FrameParamIds(uint8_t code, bool answer) {
  const TCommandLayout* l = CommandLayout(code);
  if (!l) return answer ? std::vector<int32_t>{dispid::CommandResultCode} : std::vector<int32_t>{};
  return answer ? l->Out : l->In;
}

const std::vector<int32_t>& MethodInputIds(int32_t method) {
  using namespace dispid;
  static const std::vector<int32_t> kNone;
  static const std::vector<std::pair<int32_t, std::vector<int32_t>>> kInputs = {
      {dispid::GetFlagName, {FlagNumber}},
      {RequestDump, {DeviceNumber, DataBlockNumber}},
      {SetDate, {ECRDate}},
      {SetTime, {ECRTime}},
      {GetCashRegister, {RegisterNumber}},
      {GetOperationRegister, {RegisterNumber}},
      {GetRestRegister, {RegisterNumber}},
      {WriteRestRegister, {RegisterNumber, RestRegister}},
      {GetTableStruct, {TableNumber}},
      {GetFieldStruct, {TableNumber, FieldNumber}},
      {ReadTable, {TableNumber, FieldNumber, RowNumber}},
      {WriteTable, {TableNumber, FieldNumber, RowNumber, FieldValue}},
      {GetCommand, {CommandID}},
      {SendCommand, {CommandType, CommandCode, CommandSrcAddress, CommandDstAddress, Timeout, WaitAnswer}},
  };
  for (const auto& [id, inputs] : kInputs)
    if (id == method) return inputs;
  return kNone;
}

}  // namespace ecr
