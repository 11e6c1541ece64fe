#include "fmuDrvProps.h"

#include <charconv>
#include <iterator>
#include <string>

#include "PloverDrv_TLB.h"
#include "untDlgTemplate.h"
#include "untDllModule.h"
#include "untDrvSettings.h"
#include "untEcrJournalFile.h"
#include "untEcrLinkFaults.h"
#include "untEcrResults.h"
#include "untEcrScenario.h"
#include "untError.h"
#include "untFile.h"
#include "untText.h"
#include "win/WinModule.h"

namespace {

using TKind = TDlgTemplate::TKind;

struct TNumField {
  WORD Id;
  const wchar_t* Caption;
  int32_t TEcrSettings::*Field;
  int32_t Min, Max;
};

// The captions are also the labels of the dialog rows.
const TNumField kNumFields[] = {
    {idSrcAddress, L"Адрес станции", &TEcrSettings::SrcAddress, 0, 255},
    {idDstAddress, L"Адрес назначения", &TEcrSettings::DstAddress, 0, 255},
    {idTimeout, L"Таймаут, мс", &TEcrSettings::Timeout, 0, 600000},
    {idBusPort, L"Порт", &TEcrSettings::BusPort, 1, 65535},
    {idDeskInterval, L"Интервал, мс", &TEcrSettings::DeskInterval, 100, 3600000},
    {idFaultCode, L"Код ошибки", &TEcrSettings::FaultCode, 0, 255},
    {idFaultEvery, L"Каждый N-й вызов", &TEcrSettings::FaultEvery, 0, 1000000},
    {idLinkLatency, L"Задержка связи, мс", &TEcrSettings::LinkLatency, 0, 60000},
    {idJournalMaxKB, L"Размер журнала, КБ", &TEcrSettings::JournalMaxKB, 0, 2 * 1024 * 1024},
    {idBusFaultEvery, L"Каждый N-й кадр", &TEcrSettings::BusFaultEvery, 0, 1000000},
    {idBusFaultDelay, L"Задержка кадра, мс", &TEcrSettings::BusFaultDelay, 0, 60000},
    {idDeskCount, L"Число касс", &TEcrSettings::DeskCount, 1, kMaxDeskCount},
    {idDeskFirstAddress, L"с адреса", &TEcrSettings::DeskFirstAddress, 0, 255},
};

struct TTextField {
  WORD Id;
  const wchar_t* Caption;
  std::wstring TEcrSettings::*Field;
  int32_t DispId;  // the property whose rules the text must meet
};

const TTextField kTextFields[] = {
    {idBusHost, L"Адрес хаба", &TEcrSettings::BusHost, dispid::BusHost},
    {idBusListen, L"Слушать на", &TEcrSettings::BusListen, dispid::BusListen},
    {idBusAllow, L"Разрешены", &TEcrSettings::BusAllow, dispid::BusAllow},
    {idJournalFile, L"Журнал обмена", &TEcrSettings::JournalFile, dispid::JournalFile},
    {idDeskScenario, L"Сценарий", &TEcrSettings::DeskScenario, dispid::DeskScenario},
};

// What opening the bus means, under its address fields.
constexpr wchar_t kBusOpenNote[] =
    L"Пустой адрес хаба: хаб на этом компьютере. Адрес «Слушать на», отличный от 127.0.0.1, открывает "
    L"шину в сеть: войти смогут только адреса из «Разрешены» (через запятую; сеть: 10.0.2.0/24).";

struct TBoolField {
  WORD Id;
  const wchar_t* Caption;
  bool TEcrSettings::*Field;
};

const TBoolField kBoolFields[] = {
    {idVirtualEcr, L"Виртуальная ККМ отвечает на запросы", &TEcrSettings::VirtualEcr},
    {idVirtualDesk, L"Виртуальная касса посылает запросы", &TEcrSettings::VirtualDesk},
    {idDeviceNotAnswering, L"Устройство не отвечает", &TEcrSettings::DeviceNotAnswering},
};

const wchar_t* const kBusNames[] = {L"Внутри процесса", L"UDP"};
// DeskReplayPace 0 and 1.
const wchar_t* const kPaceNames[] = {L"по интервалу и записи", L"по мере ответов"};

// What the line does to a frame, in the order of ecr::kBusFaults.
const wchar_t* const kBusFaultNames[] = {L"нет",          L"потеря кадра",    L"повтор кадра",
                                         L"задержка кадра", L"искажение байта", L"другой адрес назначения",
                                         L"обрыв кадра"};
static_assert(std::size(kBusFaultNames) == std::size(ecr::kBusFaults));

const TNumField& NumField(WORD id) {
  for (const auto& f : kNumFields)
    if (f.Id == id) return f;
  return kNumFields[0];
}
const TBoolField& BoolField(WORD id) {
  for (const auto& f : kBoolFields)
    if (f.Id == id) return f;
  return kBoolFields[0];
}

constexpr DWORD kEdit = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER;
constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr short kLabelX = 16, kLabelW = 100, kEditX = 120, kRowH = 16;

void AddNumRow(TDlgTemplate& t, WORD id, short y, short editW = 50) {
  t.Add(TKind::Static, 0xFFFF, NumField(id).Caption, kLabelX, static_cast<short>(y + 2), kLabelW, 8, SS_LEFT);
  t.Add(TKind::Edit, id, L"", kEditX, y, editW, 12, kEdit);
}

const TTextField& TextField(WORD id) {
  for (const auto& f : kTextFields)
    if (f.Id == id) return f;
  return kTextFields[0];
}

void AddTextRow(TDlgTemplate& t, WORD id, short y, short editW) {
  t.Add(TKind::Static, 0xFFFF, TextField(id).Caption, kLabelX, static_cast<short>(y + 2), kLabelW, 8, SS_LEFT);
  t.Add(TKind::Edit, id, L"", kEditX, y, editW, 12, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
}

void AddCheck(TDlgTemplate& t, WORD id, short y, short w = 250) {
  t.Add(TKind::Button, id, BoolField(id).Caption, kLabelX, y, w, 10, kCheck);
}

// The rows of the line's faults at the foot of the bus group, and the room
// they take from everything below.
constexpr short kBusFaultY = 18 + 8 * kRowH + 12, kBusFaultRoom = 3 * kRowH + 6;
// Where the right column's groups begin.
constexpr short kRightColumn = 283;

TDlgTemplate BuildTemplate() {
  // Two columns: the link and the journal on the left, the virtual stations
  // and the faults on the right, so that the dialog fits a small screen.
  TDlgTemplate t(kDrvPropsTitle, 290 + kRightColumn, 287);
  t.Add(TKind::Button, 0xFFFF, L"Связь", 7, 5, 276, 148 + kBusFaultRoom, BS_GROUPBOX);
  AddNumRow(t, idSrcAddress, 18);
  AddNumRow(t, idDstAddress, 18 + kRowH);
  AddNumRow(t, idTimeout, 18 + 2 * kRowH);
  t.Add(TKind::Static, 0xFFFF, L"Шина", kLabelX, 18 + 3 * kRowH + 2, kLabelW, 8, SS_LEFT);
  t.Add(TKind::ComboBox, idBusKind, L"", kEditX, 18 + 3 * kRowH, 90, 60,
        CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
  t.Add(TKind::Static, 0xFFFF, NumField(idBusPort).Caption, 218, 18 + 3 * kRowH + 2, 22, 8, SS_LEFT);
  t.Add(TKind::Edit, idBusPort, L"", 240, 18 + 3 * kRowH, 36, 12, kEdit);
  AddTextRow(t, idBusHost, 18 + 4 * kRowH, 90);
  AddTextRow(t, idBusListen, 18 + 5 * kRowH, 90);
  AddTextRow(t, idBusAllow, 18 + 6 * kRowH, 156);
  t.Add(TKind::Static, 0xFFFF, kBusOpenNote, kLabelX, 18 + 7 * kRowH, 254, 24, SS_LEFT);
  t.Add(TKind::Static, 0xFFFF, L"Сбой шины", kLabelX, kBusFaultY + 2, kLabelW, 8, SS_LEFT);
  t.Add(TKind::ComboBox, idBusFault, L"", kEditX, kBusFaultY, 156, 120, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);
  AddNumRow(t, idBusFaultEvery, kBusFaultY + kRowH);
  AddNumRow(t, idBusFaultDelay, kBusFaultY + 2 * kRowH);
  t.MoveDown(kBusFaultRoom);

  t.Add(TKind::Button, 0xFFFF, L"Журнал", 7, 158, 276, 48, BS_GROUPBOX);
  AddTextRow(t, idJournalFile, 171, 110);
  t.Add(TKind::Button, idJournalOpen, L"Открыть", 234, 170, 42, 14, BS_PUSHBUTTON | WS_TABSTOP);
  AddNumRow(t, idJournalMaxKB, 171 + kRowH);

  // The right column: its groups keep the coordinates they had below the others.
  t.Offset(kRightColumn, 5 - 210);
  t.Add(TKind::Button, 0xFFFF, L"Виртуальные станции", 7, 210, 276, 112, BS_GROUPBOX);
  AddCheck(t, idVirtualEcr, 223);
  AddCheck(t, idVirtualDesk, 238, 152);
  t.Add(TKind::Static, 0xFFFF, L"на адрес", 172, 238 + 1, 30, 8, SS_LEFT);
  t.Add(TKind::ComboBox, idDeskAddress, L"", 204, 236, 72, 60, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP);
  AddNumRow(t, idDeskInterval, 253);
  t.Add(TKind::Button, idDeskRequest, L"Послать запрос кассы", 180, 252, 96, 14, BS_PUSHBUTTON | WS_TABSTOP);
  AddTextRow(t, idDeskScenario, 253 + kRowH, 156);
  AddNumRow(t, idDeskCount, 253 + 2 * kRowH, 36);
  t.Add(TKind::Static, 0xFFFF, NumField(idDeskFirstAddress).Caption, 172, 253 + 2 * kRowH + 2, 30, 8, SS_LEFT);
  t.Add(TKind::Edit, idDeskFirstAddress, L"", 204, 253 + 2 * kRowH, 36, 12, kEdit);
  t.Add(TKind::Static, 0xFFFF, L"Темп", kLabelX, 253 + 3 * kRowH + 2, kLabelW, 8, SS_LEFT);
  t.Add(TKind::ComboBox, idDeskReplayPace, L"", kEditX, 253 + 3 * kRowH, 110, 60,
        CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP);

  t.Add(TKind::Button, 0xFFFF, L"Сбои", 7, 326, 276, 92, BS_GROUPBOX);
  t.Add(TKind::Static, 0xFFFF, L"Метод", kLabelX, 339 + 2, kLabelW, 8, SS_LEFT);
  t.Add(TKind::ComboBox, idFaultMethod, L"", kEditX, 339, 156, 120,
        CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP);
  AddNumRow(t, idFaultCode, 339 + kRowH);
  AddNumRow(t, idFaultEvery, 339 + 2 * kRowH);
  AddNumRow(t, idLinkLatency, 339 + 3 * kRowH);
  AddCheck(t, idDeviceNotAnswering, 339 + 4 * kRowH + 1);

  t.Offset(kRightColumn, 0);
  t.Add(TKind::Button, IDOK, L"OK", 177, 266, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP);
  t.Add(TKind::Button, IDCANCEL, L"Отмена", 233, 266, 50, 14, BS_PUSHBUTTON | WS_TABSTOP);
  return t;
}

struct TDialogState {
  TEcrControl& Core;
  TEcrSettings Settings;
};

std::wstring ItemText(HWND dlg, int id) {
  HWND item = GetDlgItem(dlg, id);
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(item, text.data(), static_cast<int>(text.size()))));
  return text;
}

void ShowError(HWND dlg, const std::wstring& text) {
  MessageBoxW(dlg, text.c_str(), kDrvPropsTitle, MB_OK | MB_ICONERROR);
}

// Shows the reason and puts the user back into the field.
bool RefuseField(HWND dlg, WORD id, const std::wstring& why) {
  ShowError(dlg, why);
  HWND item = GetDlgItem(dlg, id);
  SetFocus(item);
  SendMessageW(item, EM_SETSEL, 0, -1);
  return false;
}

std::wstring TrimmedText(HWND dlg, int id) { return std::wstring(TrimBlanks(ItemText(dlg, id))); }

// The journal in the program the user has for it (Notepad for a text). The
// shell is loaded only for this, so that it costs a program nothing at start.
void OpenJournal(HWND dlg) {
  const std::wstring file = TrimmedText(dlg, idJournalFile);
  if (file.empty()) return ShowError(dlg, L"Журнал обмена не задан.");
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
    return ShowError(dlg, Format(L"Журнал «%ls» ещё не записан.", file.c_str()));
  using TShellExecute = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
  auto execute = SystemFunction<TShellExecute>(L"shell32.dll", "ShellExecuteW");
  // Above 32: the program was started.
  if (!execute || reinterpret_cast<INT_PTR>(execute(dlg, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) <= 32)
    ShowError(dlg, Format(L"Не удалось открыть журнал «%ls».", file.c_str()));
}

void FillControls(HWND dlg, const TEcrSettings& s) {
  for (const auto& f : kNumFields) SetDlgItemTextW(dlg, f.Id, IntToStr(s.*f.Field).c_str());
  for (const auto& f : kBoolFields) CheckDlgButton(dlg, f.Id, s.*f.Field ? BST_CHECKED : BST_UNCHECKED);
  for (const auto& f : kTextFields) SetDlgItemTextW(dlg, f.Id, (s.*f.Field).c_str());
  HWND bus = GetDlgItem(dlg, idBusKind);
  for (const wchar_t* name : kBusNames) SendMessageW(bus, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageW(bus, CB_SETCURSEL, s.BusKind == 1 ? 1 : 0, 0);
  HWND fault = GetDlgItem(dlg, idBusFault);
  ecr::TBusFault current = ecr::TBusFault::None;
  ecr::ParseBusFault(s.BusFault, current);
  for (size_t i = 0; i < std::size(ecr::kBusFaults); ++i) {
    SendMessageW(fault, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kBusFaultNames[i]));
    if (ecr::kBusFaults[i] == current) SendMessageW(fault, CB_SETCURSEL, i, 0);
  }
  HWND pace = GetDlgItem(dlg, idDeskReplayPace);
  for (const wchar_t* name : kPaceNames) SendMessageW(pace, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  SendMessageW(pace, CB_SETCURSEL, s.DeskReplayPace == ecr::kDeskPaceAnswered ? 1 : 0, 0);
  HWND method = GetDlgItem(dlg, idFaultMethod);
  size_t count = 0;
  const TMemberInfo* members = MemberTable(count);
  for (size_t i = 0; i < count; ++i)
    if (members[i].IsMethod) SendMessageW(method, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(members[i].Name));
  SetWindowTextW(method, s.FaultMethod.c_str());
  HWND desk = GetDlgItem(dlg, idDeskAddress);
  SendMessageW(desk, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kDeskToOwnAddressText));
  if (s.DeskAddress == kDeskToOwnAddress)
    SendMessageW(desk, CB_SETCURSEL, 0, 0);
  else
    SetWindowTextW(desk, IntToStr(s.DeskAddress).c_str());
}

// The desk address box: its first item (or nothing) for the own address,
// otherwise a station address. False when it is neither.
bool ReadDeskAddress(HWND dlg, int32_t& address) {
  std::wstring text = ItemText(dlg, idDeskAddress);
  while (!text.empty() && text.back() == L' ') text.pop_back();
  while (!text.empty() && text.front() == L' ') text.erase(0, 1);
  if (text.empty() || SameText(text, kDeskToOwnAddressText)) {
    address = kDeskToOwnAddress;
    return true;
  }
  std::string ansi = WideToAnsi(text);
  int value = -1;
  auto [end, ec] = std::from_chars(ansi.data(), ansi.data() + ansi.size(), value);
  if (ec != std::errc() || end != ansi.data() + ansi.size() || value < 0 || value > 255) return false;
  address = value;
  return true;
}

// False, with the field focused and the reason shown, when a number is not
// a whole number in its range, an address is none or the journal cannot be
// written.
bool ReadControls(HWND dlg, TEcrSettings& s) {
  for (const auto& f : kNumFields) {
    std::string text = WideToAnsi(ItemText(dlg, f.Id));
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < f.Min || value > f.Max)
      return RefuseField(dlg, f.Id, Format(L"Поле «%ls»: введите целое число от %d до %d.", f.Caption, f.Min, f.Max));
    s.*f.Field = static_cast<int32_t>(value);
  }
  if (!ReadDeskAddress(dlg, s.DeskAddress)) {
    ShowError(dlg, Format(L"Поле «Адрес запросов кассы»: введите целое число от 0 до 255 или выберите «%ls».",
                          kDeskToOwnAddressText));
    HWND item = GetDlgItem(dlg, idDeskAddress);
    SetFocus(item);
    SendMessageW(item, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
    return false;
  }
  for (const auto& f : kTextFields) {
    std::wstring text = TrimmedText(dlg, f.Id);
    try {
      CheckSettingValue(f.DispId, TVariant::FromStr(text));
    } catch (const EOleError& e) {
      return RefuseField(dlg, f.Id, Format(L"Поле «%ls»: %ls.", f.Caption, e.Message().c_str()));
    }
    s.*f.Field = std::move(text);
  }
  if (s.BusListen.empty()) s.BusListen = TEcrSettings().BusListen;
  const std::wstring range = DeskRangeError(s.DeskFirstAddress, s.DeskCount);
  if (!range.empty()) return RefuseField(dlg, idDeskCount, range + L".");
  if (!s.JournalFile.empty())
    if (int code = ecr::ProbeJournalFile(s.JournalFile))
      return RefuseField(dlg, idJournalFile, Format(L"Журнал обмена «%ls» не открывается для записи: %ls.",
                                                    s.JournalFile.c_str(), FileErrorText(code).c_str()));
  for (const auto& f : kBoolFields) s.*f.Field = IsDlgButtonChecked(dlg, f.Id) == BST_CHECKED;
  s.BusKind = SendDlgItemMessageW(dlg, idBusKind, CB_GETCURSEL, 0, 0) == 1 ? 1 : 0;
  const LRESULT fault = SendDlgItemMessageW(dlg, idBusFault, CB_GETCURSEL, 0, 0);
  s.BusFault = ecr::BusFaultKeyword(fault > 0 && fault < static_cast<LRESULT>(std::size(ecr::kBusFaults))
                                        ? ecr::kBusFaults[fault]
                                        : ecr::TBusFault::None);
  s.DeskReplayPace = SendDlgItemMessageW(dlg, idDeskReplayPace, CB_GETCURSEL, 0, 0) == 1 ? ecr::kDeskPaceAnswered
                                                                                         : ecr::kDeskPaceRecorded;
  s.FaultMethod = TrimmedText(dlg, idFaultMethod);
  return true;
}

INT_PTR CALLBACK DialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(dlg, DWLP_USER, lp);
      FillControls(dlg, reinterpret_cast<TDialogState*>(lp)->Settings);
      return TRUE;
    }
    case WM_COMMAND: {
      auto* state = reinterpret_cast<TDialogState*>(GetWindowLongPtrW(dlg, DWLP_USER));
      if (!state) break;
      switch (LOWORD(wp)) {
        case IDOK: {
          TEcrSettings s = state->Settings;
          if (!ReadControls(dlg, s)) return TRUE;
          try {
            state->Core.ApplySettings(s);
            SaveSettings(s);
          } catch (const std::exception& e) {
            ShowError(dlg, ExceptionText(e));
            return TRUE;
          }
          EndDialog(dlg, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
        case idJournalOpen:
          OpenJournal(dlg);
          return TRUE;
        case idDeskRequest:
          try {
            state->Core.SendDeskRequest();
            // A scenario file that cannot be played says where it is wrong.
            if (state->Core.Get(dispid::ResultCode).Int() == ecr::kBadScenario)
              ShowError(dlg, state->Core.Get(dispid::ResultCodeDescription).Str());
          } catch (const std::exception& e) {
            ShowError(dlg, ExceptionText(e));
          }
          return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

}  // namespace

bool ShowDriverProperties(HWND owner, TEcrControl& core) {
  TDialogState state{core, core.Settings()};
  TDlgTemplate layout = BuildTemplate();
  INT_PTR rc = DialogBoxIndirectParamW(ModuleHandle(), layout.Get(), owner, DialogProc,
                                       reinterpret_cast<LPARAM>(&state));
  if (rc == -1)
    throw EOleError(static_cast<int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                    L"Не удалось открыть окно свойств драйвера");
  return rc == IDOK;
}
