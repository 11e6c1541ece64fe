#pragma once
// The control's settings as the user left them in its settings dialog, kept
// under HKEY_CURRENT_USER\Software\PloverDrv.
#include "untEcrControl.h"

// Values missing from the registry (or of the wrong kind) keep their defaults.
TEcrSettings LoadSettings();
// Throws EInOutError when the key cannot be written.
void SaveSettings(const TEcrSettings& settings);
