#pragma once
// TDriver: the programs' own driver class. Adds access by property name, the
// writing and reading of a command's parameter lists, and the two steps every
// handler of a command received from the network takes.
#include <string>

#include "PloverDrv_TLB.h"

class TCmdParams;

class TDriver : public TPloverDriver {
 public:
  // Dispatch identifier of a property, through the control's name look-up.
  int32_t GetDispID(const std::wstring& name);
  void SetProperty(const std::wstring& name, const TVariant& value);
  TVariant GetProperty(const std::wstring& name);

  // Writes every writable parameter in list order; a failure names the
  // property and its caption and stops the walk.
  void WriteParams(TCmdParams& params);
  // Reads every parameter in list order, read-only ones included.
  void ReadParams(TCmdParams& params);

  // Fetches the received command with this identifier (GetCommand) and
  // decodes it into the properties (ParseCommand). False when it could not be
  // fetched: there is nothing to handle then.
  bool FetchCommand(int32_t commandId);
  // Turns the command decoded last into its answer, type 1, back to the
  // station it came from and in this station's own name (SrcAddress), and
  // sends it with whatever values the properties hold; SendCommand's result.
  int32_t SendAnswer();

 protected:
  TDriver() = default;
};
