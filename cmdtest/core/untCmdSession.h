#pragma once
// What the command test window does, without the window: the command list
// with the values the user typed, the settings, the counters and the driver,
// and every step taken with them. The window implements TCmdView and only
// puts on screen what the session asks for, so each step runs natively
// against the virtual cash register.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Driver.h"
#include "untAppParams.h"
#include "untCommand.h"
#include "untExchangeLog.h"

// The parts of the main window the session writes to and reads from.
class TCmdView {
 public:
  virtual ~TCmdView() = default;
  // The two-column grid: column 0 the captions, column 1 the values; row 0
  // holds the headers.
  virtual void SetGridRowCount(int count) = 0;
  virtual std::wstring GridCell(int col, int row) = 0;
  virtual void SetGridCell(int col, int row, const std::wstring& text) = 0;
  // The command list box.
  virtual void SetCommandItems(const std::vector<std::wstring>& items) = 0;
  virtual void SetCommandItemIndex(int index) = 0;
  // Result line, transmitted frame, received frame.
  virtual void SetResultText(const std::wstring& text) = 0;
  virtual void SetOutputText(const std::wstring& text) = 0;
  virtual void SetInputText(const std::wstring& text) = 0;
  virtual void SetCounterTexts(const std::wstring& txCount, const std::wstring& rxCount) = 0;
  // Close, driver settings, parameters and Execute, in that order.
  virtual void EnableCommandButtons(bool enabled) = 0;
};

extern const wchar_t* const kInRowPrefix;   // "[ in] "
extern const wchar_t* const kOutRowPrefix;  // "[out] "

class TCmdSession {
 public:
  // Builds the 37 commands with their defaults, takes the driver, answers its
  // OnCommand with DriverCommand and reads PositionOfPoint once: that first
  // property access completes the hosted control's start before anything
  // else relies on it.
  TCmdSession(TCmdView& view, std::unique_ptr<TDriver> driver, std::wstring iniFileName);
  TCmdSession(const TCmdSession&) = delete;
  TCmdSession& operator=(const TCmdSession&) = delete;
  ~TCmdSession();

  // Row count 2 and the two headers.
  void ShowGridHeader();
  // Numbered items "1. name" ...; the first command is shown.
  void FillCommandList();

  // Stores the grid into the command shown so far, then shows command index.
  void SelectCommand(int index);
  // ReadGrid of the command shown; nothing before the first selection.
  void StoreGrid();
  void ReadGrid(TCommand& command);
  void ShowCommand(const TCommand& command);
  void ShowParams(const std::wstring& prefix, const TCmdParams& params, int firstRow);
  void WriteCommandParams(TCommand& command);
  void ShowResult();
  void UpdateCounters();

  // Sends the command shown with the grid's values. The command buttons are
  // disabled for the duration and enabled again on every path; an exception
  // goes on to the caller after that.
  void Execute();
  // Execute's exchange without touching the buttons: one step of a repeat,
  // whose caller keeps them off for the whole run. Returns what the result
  // line shows and how long the step took.
  struct TStepResult {
    int32_t Code = 0;
    std::wstring Text;
    int64_t Microseconds = 0;
  };
  TStepResult ExecuteStep();
  // The driver's OnCommand: a command has arrived from the network.
  void DriverCommand(int32_t commandId);
  void ResetCounters();

  // Values and settings from the settings file; a missing file keeps the
  // defaults, and so does a path longer than the store takes.
  void LoadSettings();
  // Writes the settings and every command's values. The old file is replaced
  // only once the new one is complete on disk; on failure (a path longer than
  // the store takes included) it stays as it was and EInOutError goes to the
  // caller.
  void SaveSettings();

  int CommandIndex() const { return FCommandIndex; }
  int TxCount() const { return FTxCount; }
  int RxCount() const { return FRxCount; }
  TCommands& Commands() { return FCommands; }
  TAppParams& Params() { return FParams; }
  TDriver& Driver() { return *FDriver; }
  // Every exchange of the session: Execute's sends, received commands and
  // the answers to them.
  TExchangeLog& Log() { return FLog; }
  // The clock that times the exchanges, in microseconds (a steady clock
  // unless a test puts its own).
  void SetMicroClock(std::function<int64_t()> clock) { FMicroClock = std::move(clock); }
  const std::wstring& IniFileName() const { return FIniFileName; }

 private:
  bool IniNameFits() const;
  void Exchange();
  void SendCommand(TCommand& command);
  void AnswerRequest(TCommand& command, const TExchangeRow& request);
  TExchangeRow LogReceived(bool fetched, int64_t microseconds);
  std::wstring NameOf(int32_t code);

  TCmdView& FView;
  int FCommandIndex = -1;
  int FTxCount = 0;
  int FRxCount = 0;
  std::wstring FIniFileName;
  TAppParams FParams;
  TCommands FCommands;
  std::unique_ptr<TDriver> FDriver;
  TExchangeLog FLog;
  std::function<int64_t()> FMicroClock;
  // Execute's row, waiting for the result line's text.
  TExchangeRow FPendingRow;
  bool FRowPending = false;
  int32_t FShownCode = 0;
  std::wstring FShownText;
};

// The settings file of a program: its path with the extension replaced by
// ".ini" (appended when the file name has none).
std::wstring IniFileNameOf(std::wstring_view programPath);

// The width the grid's last column takes so that the columns right of the
// first one share the client width (colCount >= 2). A first column dragged
// wider than the grid leaves the last one at width 0.
int LastColumnWidth(int clientWidth, int colCount, int lineWidth, int firstColWidth);
