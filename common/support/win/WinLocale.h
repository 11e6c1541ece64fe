#pragma once
// The user's number, date and time formats as Windows reports them; each
// program puts them into FormatSettings() at start-up.
#include "untFormatSettings.h"

// What the locale leaves empty keeps the portable default.
TFormatSettings SystemFormatSettings();
