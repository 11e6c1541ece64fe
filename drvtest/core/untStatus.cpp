#include "untStatus.h"

#include "untDateText.h"
#include "untDriverResult.h"
#include "untText.h"

namespace {

std::wstring Line(const wchar_t* caption, const std::wstring& value) {
  return std::wstring(caption) + L" : " + value;
}

std::wstring Number(int32_t value) { return IntToStr(value); }

template <class Fn>
std::vector<std::wstring> Collect(TDriver& driver, Fn read) {
  std::vector<std::wstring> lines;
  read(driver, [&](const std::wstring& line) { lines.push_back(line); });
  return lines;
}

}  // namespace

void ReadEcrStatus(TDriver& d, const TLineSink& add) {
  CheckDriverResult(d, d.GetECRFlags());
  CheckDriverResult(d, d.GetECRStatus());
  add(Line(L"Номер оператора", Number(d.get_OperatorNumber())));
  add(Line(L"Версия ПО ККМ  ", DriverText(d.get_ECRSoftVersion())));
  add(Line(L"Сборка ПО ККМ  ", Number(d.get_ECRSoftBuild())));
  add(Line(L"Дата ПО ККМ    ", DateTimeToStr(d.get_ECRSoftDate())));
  add(Line(L"Номер документа", Number(d.get_DocumentNumber())));
  add(Line(L"Флаги ККМ      ", Number(d.get_ECRFlags())));
  add(Line(L"Режим ККМ      ", DriverText(d.get_ECRModeDescription())));
  add(Line(L"Подрежим ККМ   ", DriverText(d.get_ECRAdvancedModeDescription())));
  add(Line(L"Порт ККМ       ", Number(d.get_ECRPortNumber())));
  add(Line(L"Дата ККМ       ", DateToStr(d.get_ECRDate())));
  add(Line(L"Время ККМ      ", TimeToStr(d.get_ECRTime())));
}

void ReadFMStatus(TDriver& d, const TLineSink& add) {
  CheckDriverResult(d, d.GetFMStatus());
  add(Line(L"Версия ПО ФП              ", DriverText(d.get_FMSoftVersion())));
  add(Line(L"Сборка ПО ФП              ", Number(d.get_FMSoftBuild())));
  add(Line(L"Заводской номер           ", DriverText(d.get_SerialNumber())));
  add(Line(L"Последняя смена           ", Number(d.get_SessionNumber())));
  add(Line(L"Свободно записей          ", Number(d.get_FreeRecordInFM())));
  add(Line(L"Количество перерегистраций", Number(d.get_RegistrationNumber())));
  add(Line(L"Осталось перерегистраций  ", Number(d.get_FreeRegistration())));
  add(Line(L"ИНН                       ", DriverText(d.get_INN())));
  add(Line(L"Количество активизаций    ", Number(d.get_ActivizationNumber())));
  add(Line(L"Осталось активизаций      ", Number(d.get_FreeActivization())));
  add(Line(L"Регистрационный номер ЭКЛЗ", DriverText(d.get_EKLZNumber())));
}

void ReadEcrFlags(TDriver& d, const TLineSink& add) {
  constexpr int kFlagCount = 16;
  std::vector<std::wstring> names;
  d.set_DeviceEnabled(true);
  for (int n = 0; n < kFlagCount; ++n) {
    d.set_FlagNumber(n);
    CheckDriverResult(d, d.GetFlagName());
    names.push_back(DriverText(d.get_FlagName()));
  }
  CheckDriverResult(d, d.GetECRFlags());
  const auto flags = static_cast<uint32_t>(d.get_ECRFlags());
  for (int n = 0; n < kFlagCount; ++n)
    add(Format(L"[%ls] %ls", CheckMarks[(flags >> n) & 1u], names[static_cast<size_t>(n)].c_str()));
}

std::vector<std::wstring> EcrStatusLines(TDriver& driver) { return Collect(driver, ReadEcrStatus); }
std::vector<std::wstring> FMStatusLines(TDriver& driver) { return Collect(driver, ReadFMStatus); }
std::vector<std::wstring> FlagLines(TDriver& driver) { return Collect(driver, ReadEcrFlags); }
