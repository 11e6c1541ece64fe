#pragma once
// What the status and flags pages list: the cash register's status, the
// fiscal memory's status and the sixteen flags, one line each, read from the
// driver. The lines go to a sink as they are read, so a failure part-way
// leaves the lines already shown.
#include <functional>
#include <string>
#include <vector>

#include "Driver.h"

using TLineSink = std::function<void(const std::wstring& line)>;

// GetECRFlags and GetECRStatus (each checked), then the eleven lines; every
// caption is 15 characters, so " : " starts at column 16 in a fixed font.
void ReadEcrStatus(TDriver& driver, const TLineSink& add);
// GetFMStatus (checked), then the eleven lines; captions of 26 characters.
void ReadFMStatus(TDriver& driver, const TLineSink& add);
// DeviceEnabled, the sixteen names (GetFlagName, checked), GetECRFlags
// (checked), then "[X] name" / "[ ] name" for flags 0 to 15.
void ReadEcrFlags(TDriver& driver, const TLineSink& add);

std::vector<std::wstring> EcrStatusLines(TDriver& driver);
std::vector<std::wstring> FMStatusLines(TDriver& driver);
std::vector<std::wstring> FlagLines(TDriver& driver);
