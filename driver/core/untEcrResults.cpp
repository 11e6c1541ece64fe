#include "untEcrResults.h"

namespace ecr {

namespace {
const TResultInfo kResults[] = {
    {kOk, L"Ошибок нет"},
    {kNoLink, L"Нет связи с ККМ"},
    {kNotEnabled, L"Устройство не включено (DeviceEnabled = False)"},
    {kDeviceTimeout, L"ККМ не ответила за время ожидания (Timeout)"},
    {kNoAnswer, L"Нет ответа на команду за время ожидания (Timeout)"},
    {kCommandNotFound, L"Полученная команда с таким номером не найдена"},
    {kNoCommand, L"Нет полученной команды: сначала вызовите GetCommand"},
    {kBadFrame, L"Неверный формат кадра"},
    {kBadAddress, L"Неверный адрес станции (допустимо 0..255)"},
    {kBadCommandCode, L"Неверный код команды (допустимо 0..255)"},
    {kNetworkDown, L"Сеть недоступна"},
    {kFrameTooLong, L"Слишком длинный кадр или значение параметра"},
    {kBadValue, L"Значение параметра не приводится к типу свойства"},
    {kBadScenario, L"Сценарий кассы не читается"},
    {kUnknownCommand, L"Неизвестная команда"},
    {kBadDevice, L"Неизвестное устройство"},
    {kBadBlock, L"Неверный номер блока данных"},
    {kBadFlag, L"Неверный номер флага"},
    {kBadDate, L"Неверная дата"},
    {kBadTime, L"Неверное время"},
    {kBadParam, L"Неверное значение параметра"},
    {kBadRegister, L"Неверный номер регистра"},
    {kBadTable, L"Неверный номер таблицы"},
    {kBadRow, L"Неверный номер ряда"},
    {kBadField, L"Неверный номер поля"},
    {kValueOutOfRange, L"Значение поля вне допустимого диапазона"},
    {kValueTooLong, L"Длина значения превышает размер поля"},
    {kValueNotNumber, L"Значение числового поля не является целым числом"},
};
}  // namespace

const TResultInfo* ResultTable(size_t& count) {
  count = sizeof kResults / sizeof kResults[0];
  return kResults;
}

std::wstring ResultText(int32_t code) {
  for (const auto& r : kResults)
    if (r.Code == code) return r.Text;
  return L"Неизвестная ошибка";
}

}  // namespace ecr
