#pragma once
// TfmMain: the command test program's window. The list of commands, the grid
// of the selected command's values, and the buttons; what they do lives in
// TCmdSession, which this window shows.
#include <functional>
#include <memory>
#include <string>

#include "MyForm.h"
#include "untCmdSession.h"

// The window classes of both programs share their names; each program keeps
// its own in a namespace so that test executables can link both.
namespace cmdtest {

class TfmLog;
class TfmRepeat;

class TfmMain : public TMyForm, private TCmdView {
 public:
  using TDriverFactory = std::function<std::unique_ptr<TDriver>()>;
  // iniFileName empty: the program's path with ".ini"; createDriver empty:
  // the registered driver control.
  explicit TfmMain(std::wstring iniFileName = {}, TDriverFactory createDriver = {});
  ~TfmMain() override;

  void FormCreate();
  void FormClose(TCloseAction& action);
  void FormResize();
  void lbCommandsClick();
  void btnExecuteClick();
  void btnDriverClick();
  void btnParamsClick();
  void btnAboutClick();
  void btnResetClick();
  void btnCloseClick();
  void btnLogClick();
  void btnRepeatClick();

  void FillCommandList();
  void SelectCommand(int index) { FSession->SelectCommand(index); }
  void StoreGrid() { FSession->StoreGrid(); }
  void ReadGrid(TCommand& command) { FSession->ReadGrid(command); }
  void ShowCommand(const TCommand& command) { FSession->ShowCommand(command); }
  void ShowParams(const std::wstring& prefix, const TCmdParams& params, int firstRow) {
    FSession->ShowParams(prefix, params, firstRow);
  }
  void WriteCommandParams(TCommand& command) { FSession->WriteCommandParams(command); }
  void ShowResult() { FSession->ShowResult(); }
  void UpdateCounters() { FSession->UpdateCounters(); }
  void EnableCommandButtons(bool enabled) override;
  void AdjustColumns();
  void LoadSettings() { FSession->LoadSettings(); }
  void SaveSettings() { FSession->SaveSettings(); }
  void DriverCommand(TPloverDriver& sender, int32_t commandId);

  // The state the window shows (tests look at it).
  int CommandIndex() const { return FSession->CommandIndex(); }
  int TxCount() const { return FSession->TxCount(); }
  int RxCount() const { return FSession->RxCount(); }
  TCommands& Commands() { return FSession->Commands(); }
  TAppParams& Params() { return FSession->Params(); }
  TDriver& Driver() { return FSession->Driver(); }
  const std::wstring& IniFileName() const { return FSession->IniFileName(); }
  TExchangeLog& Log() { return FSession->Log(); }

  TListBox* lbCommands;
  TStringGrid* Grid;
  TLabel* lblRxCount;
  TLabel* lblTxCount;
  TButton* btnReset;
  TButton* btnExecute;
  TButton* btnDriver;
  TButton* btnParams;
  TButton* btnAbout;
  TButton* btnClose;
  TEdit* edtResult;
  TEdit* edtOutput;
  TEdit* edtInput;
  TButton* btnLog;
  TButton* btnRepeat;

  // The history and repeat windows once opened (nullptr before).
  TfmLog* LogWindow() const { return FLogWindow.get(); }
  TfmRepeat* RepeatWindow() const { return FRepeatWindow.get(); }

 private:
  // TCmdView
  void SetGridRowCount(int count) override;
  std::wstring GridCell(int col, int row) override;
  void SetGridCell(int col, int row, const std::wstring& text) override;
  void SetCommandItems(const std::vector<std::wstring>& items) override;
  void SetCommandItemIndex(int index) override;
  void SetResultText(const std::wstring& text) override;
  void SetOutputText(const std::wstring& text) override;
  void SetInputText(const std::wstring& text) override;
  void SetCounterTexts(const std::wstring& txCount, const std::wstring& rxCount) override;

  std::unique_ptr<TCmdSession> FSession;
  // The command button that had the focus when the buttons went off.
  TFocusKeeper FFocus;
  // After the session, so that they go first.
  std::unique_ptr<TfmLog> FLogWindow;
  std::unique_ptr<TfmRepeat> FRepeatWindow;
};

// The program's own path with ".ini" in place of its extension.
std::wstring ProgramIniFileName();

}  // namespace cmdtest
