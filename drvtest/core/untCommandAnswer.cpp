#include "untCommandAnswer.h"

#include "untEcrCmd.h"
#include "untText.h"

std::vector<std::wstring> CommandsLogHeader() {
  return {L"CommandCode  Execute  Rollback", std::wstring(33, L'-')};
}

std::wstring CommandsLogLine(int32_t code, int32_t sendResult, bool repeated) {
  // Each value starts under its column's caption.
  std::wstring line = Format(L"%-11ls  %-7ls  %ls", Format(L"%02Xh", static_cast<unsigned>(code) & 0xFFu).c_str(),
                             IntToStr(sendResult).c_str(), repeated ? L"X" : L"");
  while (!line.empty() && line.back() == L' ') line.pop_back();
  return line;
}

TCommandAnswerer::TCommandAnswerer(TLogSink log) : FLog(std::move(log)) {}

TCommands& TCommandAnswerer::Commands() {
  if (!FCommands) {
    auto commands = std::make_unique<TCommands>();
    CreateCommands(*commands);
    FCommands = std::move(commands);
  }
  return *FCommands;
}

void TCommandAnswerer::DriverCommand(TDriver& d, int32_t commandId) {
  if (!d.FetchCommand(commandId)) return;
  if (d.get_CommandDstAddress() == d.get_SrcAddress()) return;
  TCommand* command = Commands().ItemByCode(d.get_CommandCode());
  if (!command) return;
  if (d.get_CommandType() != 0) return;
  d.WriteParams(command->OutParams);
  const bool repeated = FLog && d.get_CommandRepeated();
  const int32_t rc = d.SendAnswer();
  if (FLog) FLog(CommandsLogLine(command->Code, rc, repeated));
}
