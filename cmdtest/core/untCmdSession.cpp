#include "untCmdSession.h"

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

}  // namespace

TCmdSession::TCmdSession(TCmdView& view, std::unique_ptr<TDriver> driver, std::wstring iniFileName)
    : FView(view), FIniFileName(std::move(iniFileName)), FDriver(std::move(driver)) {
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
  const int32_t code = FDriver->get_ResultCode();
  FView.SetResultText(Format(L"(%d) %ls", code, FDriver->get_ResultCodeDescription().c_str()));
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
  FDriver->set_CommandDstAddress(FDriver->get_DstAddress());
  FDriver->set_CommandSrcAddress(FDriver->get_SrcAddress());
  FDriver->set_Timeout(static_cast<int32_t>(FParams.Timeout));
  FDriver->set_WaitAnswer(FParams.WaitAnswer);
  ++FTxCount;
  if (FDriver->SendCommand() != 0) return;
  FView.SetOutputText(FDriver->get_CommandCadrHex());
  if (!FParams.WaitAnswer) return;
  ++FRxCount;
  FDriver->ReadParams(command.OutParams);
  ShowCommand(command);
}

void TCmdSession::DriverCommand(int32_t commandId) {
  ++FRxCount;
  ShowResult();
  if (!FDriver->FetchCommand(commandId)) return;
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
  if (FParams.SendAnswer) AnswerRequest(*command);
}

void TCmdSession::AnswerRequest(TCommand& command) {
  ReadGrid(command);
  FDriver->WriteParams(command.OutParams);
  FDriver->SendAnswer();
  FView.SetOutputText(FDriver->get_CommandCadrHex());
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
