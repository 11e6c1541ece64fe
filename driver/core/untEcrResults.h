#pragma once
// Result codes of the virtual cash register and of the control, with the
// Russian texts the user reads in ResultCodeDescription.
#include <cstdint>
#include <string>

namespace ecr {

// Codes the control itself reports (negative: nothing reached the device).
constexpr int32_t kOk = 0;
constexpr int32_t kNoLink = -1;            // the device does not answer
constexpr int32_t kNotEnabled = -2;        // DeviceEnabled is false
constexpr int32_t kDeviceTimeout = -3;     // the device took longer than Timeout
constexpr int32_t kNoAnswer = -4;          // no answer to a sent request within Timeout
constexpr int32_t kCommandNotFound = -5;   // GetCommand: no such CommandID
constexpr int32_t kNoCommand = -6;         // ParseCommand before a successful GetCommand
constexpr int32_t kBadFrame = -7;          // a received frame that cannot be decoded
constexpr int32_t kBadAddress = -8;        // an address outside 0..255
constexpr int32_t kBadCommandCode = -9;    // a command code outside 0..255
constexpr int32_t kNetworkDown = -10;      // the bus cannot be reached
constexpr int32_t kFrameTooLong = -11;     // a parameter or frame beyond the format's limits
constexpr int32_t kBadValue = -12;         // a parameter value that does not convert to its property's type
constexpr int32_t kBadScenario = -13;      // the desks' scenario file cannot be read or parsed

// Codes the device answers with.
constexpr int32_t kUnknownCommand = 1;
constexpr int32_t kBadDevice = 2;
constexpr int32_t kBadBlock = 3;
constexpr int32_t kBadFlag = 4;
constexpr int32_t kBadDate = 5;
constexpr int32_t kBadTime = 6;
constexpr int32_t kBadParam = 7;
constexpr int32_t kBadRegister = 129;     // beyond the last register: the end of a walk
constexpr int32_t kBadTable = 130;        // beyond the last table: the end of a walk
constexpr int32_t kBadRow = 131;
constexpr int32_t kBadField = 132;
constexpr int32_t kValueOutOfRange = 133;
constexpr int32_t kValueTooLong = 134;
constexpr int32_t kValueNotNumber = 135;

struct TResultInfo {
  int32_t Code;
  const wchar_t* Text;
};

// Every code above with its text, in the order of the README table.
const TResultInfo* ResultTable(size_t& count);
// The text of a code; a code the table does not know (one a fault was set up
// with, say) reads "Неизвестная ошибка".
std::wstring ResultText(int32_t code);

}  // namespace ecr
