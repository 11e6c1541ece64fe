#pragma once
// What the commands page does with a command from the network: a request for
// a catalogue command that is meant for another station is answered at once
// with the catalogue's default outputs, in this program's own name. The page
// logs one line per answer it sends, under the columns of its header.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "untCommand.h"
#include "untNetHandler.h"

// The two lines the log starts with, and holds again after "Очистить".
std::vector<std::wstring> CommandsLogHeader();

// One log line: the code in hex ("11h"), the result of sending the answer,
// and "X" under Rollback when the request repeated the one before it (the
// requester lost the first answer and takes this one in its place).
std::wstring CommandsLogLine(int32_t code, int32_t sendResult, bool repeated);

class TCommandAnswerer : public TNetCommandHandler {
 public:
  using TLogSink = std::function<void(const std::wstring& line)>;
  explicit TCommandAnswerer(TLogSink log = {});

  // Fetch and parse; stop for a command to this program's own SrcAddress,
  // one outside the catalogue, or one that is not a request; write the
  // command's outputs (an error here goes to the caller, nothing is sent);
  // turn the command into its answer and send it. A failed send is only
  // logged.
  void DriverCommand(TDriver& driver, int32_t commandId) override;

  // The catalogue with its defaults, built on first need.
  TCommands& Commands();

 private:
  TLogSink FLog;
  std::unique_ptr<TCommands> FCommands;
};
