#pragma once
// The driver sequences of the "Дополнительно" page: writing a date or a time
// into the cash register, setting both to the computer's clock, and starting
// the initialisation of its tables. Each raises ECustomError with the
// driver's description when the driver refuses.
#include <functional>

#include "Driver.h"
#include "untDateTime.h"

// DeviceEnabled, ECRDate := date, SetDate (checked).
void WriteEcrDate(TDriver& driver, TDateTime date);
// DeviceEnabled, ECRTime := time, SetTime (checked).
void WriteEcrTime(TDriver& driver, TDateTime time);
// The computer's date, then its time of day read again after the date was
// written, so that a slow SetDate does not leave the device's clock behind.
// A refused SetDate stops before the time.
void WriteCurrentDateTime(TDriver& driver, const TClock& now = Now);
// InitTable (checked) with Timeout raised to 30000 for the call: the device
// needs seconds for it. The old Timeout is put back on every path.
void InitEcrTables(TDriver& driver);

// The driver's time-out while the tables are initialised, in milliseconds.
inline constexpr int32_t kInitTablesTimeout = 30000;
