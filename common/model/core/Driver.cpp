#include "Driver.h"

#include "untCommand.h"
#include "untError.h"
#include "untText.h"

int32_t TDriver::GetDispID(const std::wstring& name) { return LookupName(name); }

void TDriver::SetProperty(const std::wstring& name, const TVariant& value) {
  PutById(GetDispID(name), value);
}

TVariant TDriver::GetProperty(const std::wstring& name) { return GetById(GetDispID(name)); }

void TDriver::WriteParams(TCmdParams& params) {
  for (int i = 0; i < params.Count(); ++i) {
    const TCmdParam& param = params.Items(i);
    if (param.ReadOnly) continue;
    try {
      SetProperty(param.Name, param.GetAsVariant());
    } catch (Exception& e) {
      // The user must learn which of many properties failed; the same error
      // object goes on, so callers still see its class and code.
      e.SetMessage(Format(L"Ошибка при записи свойства %ls, %ls", param.Name.c_str(),
                          param.Caption.c_str()) +
                   L"\r\n" + e.Message());
      throw;
    } catch (const std::exception& e) {
      throw Exception(Format(L"Ошибка при записи свойства %ls, %ls", param.Name.c_str(),
                             param.Caption.c_str()) +
                      L"\r\n" + ExceptionText(e));
    }
  }
}

void TDriver::ReadParams(TCmdParams& params) {
  for (int i = 0; i < params.Count(); ++i) {
    TCmdParam& param = params.Items(i);
    param.SetAsVariant(GetProperty(param.Name));
  }
}

bool TDriver::FetchCommand(int32_t commandId) {
  set_CommandID(commandId);
  if (GetCommand() != 0) return false;
  ParseCommand();
  return true;
}

int32_t TDriver::SendAnswer() {
  // The requester's address is read before the source is overwritten.
  set_CommandType(1);
  set_CommandDstAddress(get_CommandSrcAddress());
  set_CommandSrcAddress(get_SrcAddress());
  return SendCommand();
}
