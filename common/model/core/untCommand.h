#pragma once
// Protocol commands as objects: a code, a display name and two ordered lists
// of parameters that map driver properties. Values are kept as the text the
// user edits and are converted only when they cross to the driver.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "untVariant.h"

class TBigIniFile;

// One byte; codes beyond ptDouble are handled as ptString.
enum TCmdParamType : uint8_t {
  ptInteger = 0,
  ptString = 1,
  ptHexData = 2,
  ptDate = 3,
  ptTime = 4,
  ptCurrency = 5,
  ptDouble = 6,
};

// Hex digits are "0".."9" and "A".."F" only; any other character separates,
// and a lone digit before a separator (or the end) is a byte of its own.
std::string HexTextToBytes(std::string_view text);
std::string HexTextToBytes(std::wstring_view text);  // characters beyond ASCII separate
// Two upper-case digits and a blank per byte ("01 FF ").
std::wstring BytesToHexText(std::string_view bytes);

class TCmdParams;

class TCmdParam {
 public:
  std::wstring Value;
  std::wstring DefValue;
  bool ReadOnly = false;
  std::wstring Caption;
  std::wstring Name;  // the driver property
  TCmdParamType ValueType = ptInteger;

  TCmdParams* Owner() const { return FOwner; }
  // Moves the parameter to the end of another list, which then owns it.
  void SetOwner(TCmdParams& list);
  // Takes the parameter out of its list; the caller owns it afterwards.
  [[nodiscard]] std::unique_ptr<TCmdParam> Detach();

  // EConvertError when the text is not a value of the type.
  TVariant GetAsVariant() const;
  // EOleError (type mismatch, overflow) when the value does not fit the type.
  void SetAsVariant(const TVariant& value);

 private:
  friend class TCmdParams;
  TCmdParam() = default;
  TCmdParams* FOwner = nullptr;
};

class TCmdParams {
 public:
  TCmdParams() = default;
  TCmdParams(const TCmdParams&) = delete;
  TCmdParams& operator=(const TCmdParams&) = delete;
  ~TCmdParams();

  // Appended; Value is the default, ReadOnly false.
  TCmdParam& Add(std::wstring name, std::wstring caption, TCmdParamType valueType,
                 std::wstring defValue);
  // Joins a detached parameter at the end.
  TCmdParam& Adopt(std::unique_ptr<TCmdParam> param);

  int Count() const { return static_cast<int>(FItems.size()); }
  TCmdParam& Items(int index);
  const TCmdParam& Items(int index) const;
  int IndexOf(const TCmdParam& param) const;
  void Clear();
  void SetDefaults();

 private:
  friend class TCmdParam;
  std::unique_ptr<TCmdParam> Extract(const TCmdParam& param);
  std::vector<std::unique_ptr<TCmdParam>> FItems;
};

class TCommand;
class TCommands;

// A command class: its name and how a bare instance is made. Only
// TCommand::Create makes instances, so every command comes out with its
// parameters added.
struct TCommandClassInfo {
  const wchar_t* ClassName;
  std::unique_ptr<TCommand> (*Construct)();
};
using TCommandClass = const TCommandClassInfo*;

class TCommand {
 public:
  uint8_t Code = 0;
  std::wstring Name;
  TCmdParams InParams;
  TCmdParams OutParams;  // always ends with CommandResultCode, CommandResultDescription

  // An instance of cls (TCommand itself when cls is null) with its own
  // parameters, then the two result outputs; the first form appends it to owner.
  static TCommand& Create(TCommandClass cls, TCommands& owner, std::wstring name, uint8_t code);
  static std::unique_ptr<TCommand> Create(TCommandClass cls, std::wstring name, uint8_t code);

  static TCommandClass Class();
  virtual TCommandClass ClassType() const { return Class(); }

  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;
  virtual ~TCommand() = default;

  TCmdParam& AddInParam(std::wstring name, std::wstring caption, std::wstring defValue,
                        TCmdParamType valueType);
  TCmdParam& AddOutParam(std::wstring name, std::wstring caption, std::wstring defValue,
                         TCmdParamType valueType);

  TCommands* Owner() const { return FOwner; }
  int Index() const;  // -1 without an owner
  void SetOwner(TCommands& list);
  [[nodiscard]] std::unique_ptr<TCommand> Detach();

 protected:
  TCommand() = default;
  // The class's own inputs and outputs, in catalogue order.
  virtual void AddParams() {}

  template <class T>
  static std::unique_ptr<TCommand> ConstructAs() {
    return std::unique_ptr<TCommand>(new T());
  }

 private:
  friend class TCommands;
  void AddResultParams();
  TCommands* FOwner = nullptr;
};

class TCommands {
 public:
  TCommands() = default;
  TCommands(const TCommands&) = delete;
  TCommands& operator=(const TCommands&) = delete;
  ~TCommands();

  TCommand& Adopt(std::unique_ptr<TCommand> command);
  int Count() const { return static_cast<int>(FItems.size()); }
  TCommand& Items(int index);
  const TCommand& Items(int index) const;
  int IndexOf(const TCommand& command) const;
  void Clear();
  // First in list order; nullptr for an unknown code or one outside 0..255.
  TCommand* ItemByCode(int code);
  void SetDefaults();

  // One section per command, named by its code in two hex digits.
  void SaveParams(TBigIniFile& ini) const;
  // Sections that are not hex numbers, codes without a command and unknown
  // keys are ignored; a missing or empty value gives the default.
  void LoadParams(TBigIniFile& ini);

 private:
  friend class TCommand;
  std::unique_ptr<TCommand> Extract(const TCommand& command);
  std::vector<std::unique_ptr<TCommand>> FItems;
};
