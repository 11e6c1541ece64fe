#include "untDate.h"

#include <cmath>

#include "untDriverResult.h"
#include "untScope.h"

void WriteEcrDate(TDriver& d, TDateTime date) {
  d.set_DeviceEnabled(true);
  d.set_ECRDate(date);
  CheckDriverResult(d, d.SetDate());
}

void WriteEcrTime(TDriver& d, TDateTime time) {
  d.set_DeviceEnabled(true);
  d.set_ECRTime(time);
  CheckDriverResult(d, d.SetTime());
}

void WriteCurrentDateTime(TDriver& d, const TClock& now) {
  d.set_DeviceEnabled(true);
  d.set_ECRDate(std::floor(now()));
  CheckDriverResult(d, d.SetDate());
  const TDateTime moment = now();
  d.set_ECRTime(moment - std::floor(moment));
  CheckDriverResult(d, d.SetTime());
}

void InitEcrTables(TDriver& d) {
  const int32_t saved = d.get_Timeout();
  d.set_Timeout(kInitTablesTimeout);
  // Put back on every path; after an error, the error that ended the call is
  // the one the user must see, not a failure to put the time-out back.
  TOnExit restore([&] { d.set_Timeout(saved); });
  d.set_DeviceEnabled(true);
  CheckDriverResult(d, d.InitTable());
}
