#include "untDate.h"

#include <cmath>

#include "untDriverResult.h"

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
  try {
    d.set_DeviceEnabled(true);
    CheckDriverResult(d, d.InitTable());
  } catch (...) {
    // The error that ended the call is the one the user must see; a failure
    // to put the time-out back would only hide it.
    try {
      d.set_Timeout(saved);
    } catch (...) {
    }
    throw;
  }
  d.set_Timeout(saved);
}
