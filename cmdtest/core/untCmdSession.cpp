#include "untCmdSession.h"

#include <chrono>

#include "BigIni.h"
#include "untEcrCmd.h"
#include "untError.h"
#include "untScope.h"
#include "untText.h"

const wchar_t* const kInRowPrefix = L"[ in] ";
const wchar_t* const kOutRowPrefix = L"[out] ";

namespace {

// A store bound to the settings file that starts empty instead of reading
// the old file: everything the file should hold is written anew, and the old
// file is replaced only when UpdateFile has the new one complete on disk.
// (An old file that cannot even be read must not keep the user from saving.)
class TFreshIniFile : public TBigIniFile {
 public:
  explicit TFreshIniFile(const std::wstring& fileName) : TBigIniFile(std::wstring()) {
    SetFileName(fileName);
  }
  void LoadFile(const std::wstring&) override {}
};

TExchangeRow ExchangeRow(TExchangeDirection direction, const TCommand& command, int32_t src, int32_t dst) {
  TExchangeRow row;
  row.Time = Now();
  row.Direction = direction;
  row.Code = command.Code;
  row.Name = command.Name;
  row.SrcAddress = src;
  row.DstAddress = dst;
  return row;
}

int64_t SteadyMicroseconds() {
  using namespace std::chrono;
  return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

TCmdSession::TCmdSession(TCmdView& view, std::unique_ptr<TDriver> driver, std::wstring iniFileName)
    : FView(view), FIniFileName(std::move(iniFileName)), FDriver(std::move(driver)), FMicroClock(SteadyMicroseconds) {
  CreateCommands(FCommands);
  FCommands.SetDefaults();
  FDriver->OnCommand = [this](TPloverDriver&, int32_t commandId) { DriverCommand(commandId); };
  (void)FDriver->get_PositionOfPoint();
}

TCmdSession::~TCmdSession() {
  // The control may outlive us by a moment (COM releases it when it likes);
  // it must not call back into a session that is going away.
  if (FDriver) FDriver->OnCommand = nullptr;
}

void TCmdSession::ShowGridHeader() {
  FView.SetGridRowCount(2);
  FView.SetGridCell(0, 0, L"Название");
  FView.SetGridCell(1, 0, L"Значение");
}

void TCmdSession::FillCommandList() {
  std::vector<std::wstring> items;
  items.reserve(static_cast<size_t>(FCommands.Count()));
  for (int i = 0; i < FCommands.Count(); ++i)
    items.push_back(Format(L"%d. %ls", i + 1, FCommands.Items(i).Name.c_str()));
  FView.SetCommandItems(items);
  if (FCommands.Count() > 0) SelectCommand(0);
}

void TCmdSession::SelectCommand(int index) {
  StoreGrid();
  if (index == FCommandIndex) return;
  // The list always has an item selected; anything else is no command.
  if (index < 0 || index >= FCommands.Count()) return;
  ShowCommand(FCommands.Items(index));
  FView.SetCommandItemIndex(index);
  FCommandIndex = index;
}

void TCmdSession::StoreGrid() {
  if (FCommandIndex < 0) return;
  ReadGrid(FCommands.Items(FCommandIndex));
}

void TCmdSession::ReadGrid(TCommand& command) {
  const int inCount = command.InParams.Count();
  for (int k = 0; k < inCount; ++k) command.InParams.Items(k).Value = FView.GridCell(1, 1 + k);
  for (int k = 0; k < command.OutParams.Count(); ++k)
    command.OutParams.Items(k).Value = FView.GridCell(1, 1 + inCount + k);
}

void TCmdSession::ShowCommand(const TCommand& command) {
  const int inCount = command.InParams.Count();
  FView.SetGridRowCount(inCount + command.OutParams.Count() + 1);
  ShowParams(kInRowPrefix, command.InParams, 1);
  ShowParams(kOutRowPrefix, command.OutParams, inCount + 1);
}

void TCmdSession::ShowParams(const std::wstring& prefix, const TCmdParams& params, int firstRow) {
  for (int k = 0; k < params.Count(); ++k) {
    const TCmdParam& param = params.Items(k);
    FView.SetGridCell(0, firstRow + k, prefix + param.Caption);
    FView.SetGridCell(1, firstRow + k, param.Value);
  }
}

void TCmdSession::WriteCommandParams(TCommand& command) {
  FDriver->WriteParams(command.InParams);
  FDriver->WriteParams(command.OutParams);
}

void TCmdSession::ShowResult() {
  FShownCode = FDriver->get_ResultCode();
  FShownText = FDriver->get_ResultCodeDescription();
  FView.SetResultText(Format(L"(%d) %ls", FShownCode, FShownText.c_str()));
  if (FRowPending) {
    FPendingRow.Result = FShownCode;
    FPendingRow.ResultText = FShownText;
  }
  UpdateCounters();
}

void TCmdSession::UpdateCounters() { FView.SetCounterTexts(IntToStr(FTxCount), IntToStr(FRxCount)); }

void TCmdSession::ResetCounters() {
  FTxCount = 0;
  FRxCount = 0;
  UpdateCounters();
}

void TCmdSession::Execute() {
  FView.SetInputText(std::wstring());
  FView.SetOutputText(std::wstring());
  FView.SetResultText(std::wstring());
  FView.EnableCommandButtons(false);
  TOnExit buttonsBack([this] { FView.EnableCommandButtons(true); });
  Exchange();
}

TCmdSession::TStepResult TCmdSession::ExecuteStep() {
  FView.SetInputText(std::wstring());
  FView.SetOutputText(std::wstring());
  FView.SetResultText(std::wstring());
  const int64_t start = FMicroClock();
  Exchange();
  return {FShownCode, FShownText, FMicroClock() - start};
}

void TCmdSession::Exchange() {
  // A send goes into the history whichever way the exchange ends.
  TOnExit logged([this] {
    if (!FRowPending) return;
    FRowPending = false;
    FLog.Add(std::move(FPendingRow));
  });
  FDriver->set_DeviceEnabled(true);
  // A driver that is not ready gets nothing written and nothing sent.
  if (FDriver->get_ResultCode() == 0 && FCommandIndex >= 0) SendCommand(FCommands.Items(FCommandIndex));
  ShowResult();
}

void TCmdSession::SendCommand(TCommand& command) {
  ReadGrid(command);
  WriteCommandParams(command);
  FDriver->set_CommandType(0);
  FDriver->set_CommandCode(command.Code);
  const int32_t dst = FDriver->get_DstAddress();
  FDriver->set_CommandDstAddress(dst);
  const int32_t src = FDriver->get_SrcAddress();
  FDriver->set_CommandSrcAddress(src);
  FDriver->set_Timeout(static_cast<int32_t>(FParams.Timeout));
  FDriver->set_WaitAnswer(FParams.WaitAnswer);
  ++FTxCount;
  FPendingRow = ExchangeRow(TExchangeDirection::Sent, command, src, dst);
  FRowPending = true;
  const int64_t start = FMicroClock();
  FPendingRow.Result = FDriver->SendCommand();
  FPendingRow.Microseconds = FMicroClock() - start;
  if (FPendingRow.Result != 0) return;
  const std::wstring frame = FDriver->get_CommandCadrHex();
  FPendingRow.Frame = WideToAnsi(frame);
  FView.SetOutputText(frame);
  if (!FParams.WaitAnswer) return;
  ++FRxCount;
  FDriver->ReadParams(command.OutParams);
  ShowCommand(command);
}

void TCmdSession::DriverCommand(int32_t commandId) {
  ++FRxCount;
  ShowResult();
  const int64_t start = FMicroClock();
  const bool fetched = FDriver->FetchCommand(commandId);
  const TExchangeRow received = LogReceived(fetched, FMicroClock() - start);
  if (!fetched) return;
  // Addressed to another station on the network.
  if (FDriver->get_CommandDstAddress() != FDriver->get_SrcAddress()) return;
  FView.SetInputText(FDriver->get_CommandCadrHex());
  TCommand* command = FCommands.ItemByCode(FDriver->get_CommandCode());
  if (!command) return;
  // Stores what the grid shows first, so an answer to the command already
  // shown carries the outputs as typed this moment.
  SelectCommand(command->Index());
  if (FDriver->get_CommandType() != 0) {
    FDriver->ReadParams(command->OutParams);
    ShowCommand(*command);
    return;
  }
  FDriver->ReadParams(command->InParams);
  ShowParams(kInRowPrefix, command->InParams, 1);
  if (FParams.SendAnswer) AnswerRequest(*command, received);
}

// Every command that arrives is in the history, also one for another station
// or one that could not be fetched: a support case is often about those.
TExchangeRow TCmdSession::LogReceived(bool fetched, int64_t microseconds) {
  TExchangeRow row;
  row.Time = Now();
  row.Direction = TExchangeDirection::Received;
  row.Microseconds = microseconds;
  row.Result = FDriver->get_ResultCode();
  row.ResultText = FDriver->get_ResultCodeDescription();
  if (fetched) {
    row.Code = FDriver->get_CommandCode();
    row.Name = NameOf(row.Code);
    row.SrcAddress = FDriver->get_CommandSrcAddress();
    row.DstAddress = FDriver->get_CommandDstAddress();
    row.Frame = WideToAnsi(FDriver->get_CommandCadrHex());
  }
  FLog.Add(row);
  return row;
}

// The answer goes back to the request's sender from this station, which the
// request was addressed to.
void TCmdSession::AnswerRequest(TCommand& command, const TExchangeRow& request) {
  ReadGrid(command);
  FDriver->WriteParams(command.OutParams);
  TExchangeRow row = ExchangeRow(TExchangeDirection::Answered, command, request.DstAddress, request.SrcAddress);
  const int64_t start = FMicroClock();
  row.Result = FDriver->SendAnswer();
  row.Microseconds = FMicroClock() - start;
  const std::wstring frame = FDriver->get_CommandCadrHex();
  FView.SetOutputText(frame);
  row.Frame = WideToAnsi(frame);
  row.ResultText = FDriver->get_ResultCodeDescription();
  FLog.Add(std::move(row));
}

std::wstring TCmdSession::NameOf(int32_t code) {
  const TCommand* command = FCommands.ItemByCode(code);
  return command ? command->Name : std::wstring();
}

// The store takes file names of up to 255 characters and cuts longer ones
// without a word; a cut name would be some other file.
bool TCmdSession::IniNameFits() const { return FIniFileName.size() <= TBigIniFile::MaxTextLength; }

void TCmdSession::LoadSettings() {
  if (!IniNameFits()) return;
  // A missing file leaves the store empty, so every default stays.
  TBigIniFile ini(FIniFileName);
  FParams.LoadFromIni(ini);
  FCommands.LoadParams(ini);
}

void TCmdSession::SaveSettings() {
  if (!IniNameFits())
    throw EInOutError(0, Format(L"Ошибка записи файла \"%ls\": путь длиннее %d символов", FIniFileName.c_str(),
                                static_cast<int>(TBigIniFile::MaxTextLength)));
  TFreshIniFile ini(FIniFileName);
  FParams.SaveToIni(ini);
  FCommands.SaveParams(ini);
  // Explicitly, so that a failure reaches the user; the store's destructor
  // would swallow it.
  ini.UpdateFile();
}

std::wstring IniFileNameOf(std::wstring_view programPath) {
  const size_t nameStart = programPath.find_last_of(L"\\/:");
  const size_t dot = programPath.rfind(L'.');
  const bool hasExt = dot != std::wstring_view::npos && (nameStart == std::wstring_view::npos || dot > nameStart);
  std::wstring result(hasExt ? programPath.substr(0, dot) : programPath);
  return result + L".ini";
}

int LastColumnWidth(int clientWidth, int colCount, int lineWidth, int firstColWidth) {
  const int w = clientWidth - (colCount - 1) * lineWidth - firstColWidth;
  const int last = w - (colCount - 2) * (w / (colCount - 1));
  return last < 0 ? 0 : last;
}
