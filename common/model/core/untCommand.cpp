#include "untCommand.h"

#include <algorithm>
#include <stdexcept>

#include "BigIni.h"
#include "untDateText.h"
#include "untError.h"
#include "untFloat.h"
#include "untInteger.h"
#include "untText.h"

namespace {

// Only "0".."9" and "A".."F" are digits; lower-case letters separate like any
// other character, so "a1" is the single byte 01.
int HexDigit(unsigned c) { return c < 'a' ? HexDigitValue(static_cast<wchar_t>(c)) : -1; }

template <class Text>
std::string HexBytes(const Text& text) {
  std::string bytes;
  int pending = -1;
  for (auto ch : text) {
    const int digit = HexDigit(static_cast<unsigned>(ch));
    if (digit >= 0) {
      if (pending < 0) {
        pending = digit;
      } else {
        bytes.push_back(static_cast<char>(pending * 16 + digit));
        pending = -1;
      }
    } else if (pending >= 0) {
      bytes.push_back(static_cast<char>(pending));
      pending = -1;
    }
  }
  if (pending >= 0) bytes.push_back(static_cast<char>(pending));
  return bytes;
}

// Money and quantities always use ".", so that a value typed once (and kept
// in the INI file) reads the same whatever the user's locale says.
constexpr wchar_t kNumberSeparator = L'.';

[[noreturn]] void IndexError(int index) {
  throw Exception(Format(L"Индекс списка вне границ (%d)", index));
}

}  // namespace

std::string HexTextToBytes(std::string_view text) {
  // Bytes, not chars: a high byte must not pass for a digit via sign extension.
  std::basic_string_view<unsigned char> u(reinterpret_cast<const unsigned char*>(text.data()),
                                          text.size());
  return HexBytes(u);
}

std::string HexTextToBytes(std::wstring_view text) { return HexBytes(text); }

std::wstring BytesToHexText(std::string_view bytes) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring text;
  text.reserve(bytes.size() * 3);
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
    text.push_back(L' ');
  }
  return text;
}

// --- TCmdParam -----------------------------------------------------------------

void TCmdParam::SetOwner(TCmdParams& list) {
  if (FOwner == &list) return;
  if (FOwner == nullptr)
    throw std::logic_error("TCmdParam::SetOwner: a detached parameter joins a list by Adopt");
  list.Adopt(FOwner->Extract(*this));
}

std::unique_ptr<TCmdParam> TCmdParam::Detach() {
  return FOwner ? FOwner->Extract(*this) : nullptr;
}

TVariant TCmdParam::GetAsVariant() const {
  switch (ValueType) {
    case ptInteger: return TVariant::FromInt(ParseInt32(Value, irInteger));
    case ptHexData: return TVariant::FromStr(AnsiToWide(HexTextToBytes(std::wstring_view(Value))));
    case ptDate: return TVariant::FromDate(StrToDate(Value));
    case ptTime: return TVariant::FromDate(StrToTime(Value));
    case ptCurrency:
    case ptDouble: return TVariant::FromDouble(StrToFloat(Value, kNumberSeparator));
    case ptString:
    default: return TVariant::FromStr(Value);
  }
}

void TCmdParam::SetAsVariant(const TVariant& value) {
  switch (ValueType) {
    case ptInteger:
      Value = IntToStr(VarAsType(value, TVarType::Int).Int());
      break;
    case ptHexData:
      Value = BytesToHexText(WideToAnsi(VarAsType(value, TVarType::Str).Str()));
      break;
    case ptDate:
      Value = DateToStr(VarAsType(value, TVarType::Date).Double());
      break;
    case ptTime:
      Value = TimeToStr(VarAsType(value, TVarType::Date).Double());
      break;
    case ptCurrency:
    case ptDouble:
      Value = FloatToStr(VarAsType(value, TVarType::Double).Double(), kNumberSeparator);
      break;
    case ptString:
    default:
      Value = VarAsType(value, TVarType::Str).Str();
      break;
  }
}

// --- TCmdParams ----------------------------------------------------------------

TCmdParams::~TCmdParams() = default;

TCmdParam& TCmdParams::Add(std::wstring name, std::wstring caption, TCmdParamType valueType,
                           std::wstring defValue) {
  std::unique_ptr<TCmdParam> param(new TCmdParam());
  param->Name = std::move(name);
  param->Caption = std::move(caption);
  param->ValueType = valueType;
  param->Value = defValue;
  param->DefValue = std::move(defValue);
  return Adopt(std::move(param));
}

TCmdParam& TCmdParams::Adopt(std::unique_ptr<TCmdParam> param) {
  if (!param) throw std::invalid_argument("TCmdParams::Adopt: no parameter");
  if (param->FOwner != nullptr && param->FOwner != this)
    throw std::logic_error("TCmdParams::Adopt: the parameter belongs to another list");
  param->FOwner = this;
  FItems.push_back(std::move(param));
  return *FItems.back();
}

TCmdParam& TCmdParams::Items(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  return *FItems[static_cast<size_t>(index)];
}

const TCmdParam& TCmdParams::Items(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return *FItems[static_cast<size_t>(index)];
}

int TCmdParams::IndexOf(const TCmdParam& param) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == &param) return static_cast<int>(i);
  return -1;
}

void TCmdParams::Clear() { FItems.clear(); }

void TCmdParams::SetDefaults() {
  for (auto& p : FItems) p->Value = p->DefValue;
}

std::unique_ptr<TCmdParam> TCmdParams::Extract(const TCmdParam& param) {
  auto it = std::find_if(FItems.begin(), FItems.end(),
                         [&](const std::unique_ptr<TCmdParam>& p) { return p.get() == &param; });
  if (it == FItems.end()) return nullptr;
  std::unique_ptr<TCmdParam> out = std::move(*it);
  FItems.erase(it);
  out->FOwner = nullptr;
  return out;
}

// --- TCommand --------------------------------------------------------------------

TCommandClass TCommand::Class() {
  static const TCommandClassInfo info{L"TCommand", &TCommand::ConstructAs<TCommand>};
  return &info;
}

std::unique_ptr<TCommand> TCommand::Create(TCommandClass cls, std::wstring name, uint8_t code) {
  if (cls == nullptr) cls = Class();
  std::unique_ptr<TCommand> command = cls->Construct();
  command->Code = code;
  command->Name = std::move(name);
  command->AddParams();
  command->AddResultParams();
  return command;
}

TCommand& TCommand::Create(TCommandClass cls, TCommands& owner, std::wstring name, uint8_t code) {
  return owner.Adopt(Create(cls, std::move(name), code));
}

TCmdParam& TCommand::AddInParam(std::wstring name, std::wstring caption, std::wstring defValue,
                                TCmdParamType valueType) {
  return InParams.Add(std::move(name), std::move(caption), valueType, std::move(defValue));
}

TCmdParam& TCommand::AddOutParam(std::wstring name, std::wstring caption, std::wstring defValue,
                                 TCmdParamType valueType) {
  return OutParams.Add(std::move(name), std::move(caption), valueType, std::move(defValue));
}

void TCommand::AddResultParams() {
  AddOutParam(L"CommandResultCode", L"Код ошибки", L"0", ptInteger);
  // The driver fills it in; writing it back would be refused.
  AddOutParam(L"CommandResultDescription", L"Описание ошибки", L"", ptString).ReadOnly = true;
}

int TCommand::Index() const { return FOwner ? FOwner->IndexOf(*this) : -1; }

void TCommand::SetOwner(TCommands& list) {
  if (FOwner == &list) return;
  if (FOwner == nullptr)
    throw std::logic_error("TCommand::SetOwner: a detached command joins a list by Adopt");
  list.Adopt(FOwner->Extract(*this));
}

std::unique_ptr<TCommand> TCommand::Detach() { return FOwner ? FOwner->Extract(*this) : nullptr; }

// --- TCommands -------------------------------------------------------------------

TCommands::~TCommands() = default;

TCommand& TCommands::Adopt(std::unique_ptr<TCommand> command) {
  if (!command) throw std::invalid_argument("TCommands::Adopt: no command");
  if (command->FOwner != nullptr && command->FOwner != this)
    throw std::logic_error("TCommands::Adopt: the command belongs to another list");
  command->FOwner = this;
  FItems.push_back(std::move(command));
  return *FItems.back();
}

TCommand& TCommands::Items(int index) {
  if (index < 0 || index >= Count()) IndexError(index);
  return *FItems[static_cast<size_t>(index)];
}

const TCommand& TCommands::Items(int index) const {
  if (index < 0 || index >= Count()) IndexError(index);
  return *FItems[static_cast<size_t>(index)];
}

int TCommands::IndexOf(const TCommand& command) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == &command) return static_cast<int>(i);
  return -1;
}

void TCommands::Clear() { FItems.clear(); }

TCommand* TCommands::ItemByCode(int code) {
  if (code < 0 || code > 255) return nullptr;
  for (auto& c : FItems)
    if (c->Code == code) return c.get();
  return nullptr;
}

void TCommands::SetDefaults() {
  for (auto& c : FItems) {
    c->InParams.SetDefaults();
    c->OutParams.SetDefaults();
  }
}

std::unique_ptr<TCommand> TCommands::Extract(const TCommand& command) {
  auto it = std::find_if(FItems.begin(), FItems.end(),
                         [&](const std::unique_ptr<TCommand>& c) { return c.get() == &command; });
  if (it == FItems.end()) return nullptr;
  std::unique_ptr<TCommand> out = std::move(*it);
  FItems.erase(it);
  out->FOwner = nullptr;
  return out;
}

void TCommands::SaveParams(TBigIniFile& ini) const {
  for (const auto& c : FItems) {
    const std::wstring section = Format(L"%.2X", static_cast<unsigned>(c->Code));
    ini.WriteString(section, L"Название", c->Name);
    for (int i = 0; i < c->InParams.Count(); ++i)
      ini.WriteString(section, c->InParams.Items(i).Name, c->InParams.Items(i).Value);
    for (int i = 0; i < c->OutParams.Count(); ++i)
      ini.WriteString(section, c->OutParams.Items(i).Name, c->OutParams.Items(i).Value);
  }
}

void TCommands::LoadParams(TBigIniFile& ini) {
  std::vector<std::wstring> sections;
  ini.ReadSections(sections);
  for (const auto& section : sections) {
    // The settings section shares the file; only hex-named sections are ours.
    int32_t number;
    if (!TryParseInt32(L"$" + section, irInteger, number)) continue;
    TCommand* command = ItemByCode(number & 0xFF);
    if (command == nullptr) continue;
    auto load = [&](TCmdParams& params) {
      for (int i = 0; i < params.Count(); ++i) {
        TCmdParam& p = params.Items(i);
        p.Value = ini.ReadString(section, p.Name, p.DefValue);
        if (p.Value.empty()) p.Value = p.DefValue;
      }
    };
    load(command->InParams);
    load(command->OutParams);
  }
}
