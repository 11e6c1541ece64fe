#include "untDrvSettings.h"

#include <windows.h>

#include "untError.h"
#include "win/WinHandles.h"
#include "untText.h"

namespace {

constexpr wchar_t kKeyPath[] = L"Software\\PloverDrv";

struct TIntField {
  const wchar_t* Name;
  int32_t TEcrSettings::*Field;
};
struct TBoolField {
  const wchar_t* Name;
  bool TEcrSettings::*Field;
};
struct TTextField {
  const wchar_t* Name;
  std::wstring TEcrSettings::*Field;
};

const TIntField kIntFields[] = {
    {L"SrcAddress", &TEcrSettings::SrcAddress},   {L"DstAddress", &TEcrSettings::DstAddress},
    {L"Timeout", &TEcrSettings::Timeout},         {L"BusKind", &TEcrSettings::BusKind},
    {L"BusPort", &TEcrSettings::BusPort},         {L"DeskInterval", &TEcrSettings::DeskInterval},
    {L"FaultCode", &TEcrSettings::FaultCode},     {L"FaultEvery", &TEcrSettings::FaultEvery},
    {L"LinkLatency", &TEcrSettings::LinkLatency}, {L"DeskAddress", &TEcrSettings::DeskAddress},
    {L"JournalMaxKB", &TEcrSettings::JournalMaxKB},   {L"DeskCount", &TEcrSettings::DeskCount},
    {L"DeskFirstAddress", &TEcrSettings::DeskFirstAddress}, {L"DeskReplayPace", &TEcrSettings::DeskReplayPace},
    {L"BusFaultEvery", &TEcrSettings::BusFaultEvery}, {L"BusFaultDelay", &TEcrSettings::BusFaultDelay},
};
const TBoolField kBoolFields[] = {
    {L"VirtualEcr", &TEcrSettings::VirtualEcr},
    {L"VirtualDesk", &TEcrSettings::VirtualDesk},
    {L"DeviceNotAnswering", &TEcrSettings::DeviceNotAnswering},
};
const TTextField kTextFields[] = {
    {L"FaultMethod", &TEcrSettings::FaultMethod}, {L"JournalFile", &TEcrSettings::JournalFile},
    {L"BusHost", &TEcrSettings::BusHost},         {L"BusListen", &TEcrSettings::BusListen},
    {L"BusAllow", &TEcrSettings::BusAllow},       {L"DeskScenario", &TEcrSettings::DeskScenario},
    {L"BusFault", &TEcrSettings::BusFault},
};

bool ReadDword(HKEY key, const wchar_t* name, DWORD& out) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return false;
  out = value;
  return true;
}

bool ReadText(HKEY key, const wchar_t* name, std::wstring& out) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
    return false;
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
    return false;
  text.resize(wcsnlen(text.c_str(), size / sizeof(wchar_t)));
  out = std::move(text);
  return true;
}

void Check(LSTATUS rc) {
  if (rc != ERROR_SUCCESS)
    throw EInOutError(static_cast<int>(rc),
                      Format(L"Не удалось сохранить настройки драйвера в реестре (ошибка %d)", static_cast<int>(rc)));
}

}  // namespace

TEcrSettings LoadSettings() {
  TEcrSettings s;
  TRegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS) return s;
  DWORD value;
  for (const auto& f : kIntFields)
    if (ReadDword(key.Get(), f.Name, value)) s.*f.Field = static_cast<int32_t>(value);
  for (const auto& f : kBoolFields)
    if (ReadDword(key.Get(), f.Name, value)) s.*f.Field = value != 0;
  for (const auto& f : kTextFields) ReadText(key.Get(), f.Name, s.*f.Field);
  return s;
}

void SaveSettings(const TEcrSettings& s) {
  TRegKey key;
  Check(RegCreateKeyExW(HKEY_CURRENT_USER, kKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.Put(), nullptr));
  auto putDword = [&](const wchar_t* name, DWORD value) {
    Check(RegSetValueExW(key.Get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value));
  };
  for (const auto& f : kIntFields) putDword(f.Name, static_cast<DWORD>(s.*f.Field));
  for (const auto& f : kBoolFields) putDword(f.Name, s.*f.Field ? 1 : 0);
  for (const auto& f : kTextFields) {
    const std::wstring& text = s.*f.Field;
    Check(RegSetValueExW(key.Get(), f.Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
  }
}
