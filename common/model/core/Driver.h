#pragma once
// TDriver: the programs' own driver class. Adds access by property name and the
// writing and reading of a command's parameter lists.
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

 protected:
  TDriver() = default;
};
