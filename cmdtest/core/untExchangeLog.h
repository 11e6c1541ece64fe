#pragma once
// The history of one session's exchanges: every command sent, received and
// answered, with its time to the millisecond, addresses, result, how long it
// took and its frame, newest last. It can be saved as tab-separated text for
// a support case. The oldest rows go once it holds its maximum, so a repeat
// left running overnight cannot take all memory; the log says how many went.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>

#include "untDateTime.h"

enum class TExchangeDirection { Sent, Received, Answered };

struct TExchangeRow {
  TDateTime Time = 0;
  TExchangeDirection Direction = TExchangeDirection::Sent;
  int32_t Code = -1;  // -1: the command could not be fetched
  std::wstring Name;  // the catalogue's, empty for a code it lacks
  int32_t SrcAddress = 0, DstAddress = 0;
  int32_t Result = 0;
  std::wstring ResultText;
  int64_t Microseconds = 0;  // the driver calls of the exchange
  std::string Frame;         // CommandCadrHex, ASCII
};

class TExchangeLog {
 public:
  static constexpr size_t kMaxRows = 100000;
  explicit TExchangeLog(size_t maxRows = kMaxRows) : FMaxRows(maxRows) {}

  void Add(TExchangeRow row);
  void Clear();
  size_t Count() const { return FRows.size(); }
  const TExchangeRow& Row(size_t index) const { return FRows[index]; }
  // Rows that went to make room since the last Clear.
  uint64_t Dropped() const { return FDropped; }

  // After every change (the history window follows it).
  std::function<void()> OnChange;

 private:
  size_t FMaxRows;
  std::deque<TExchangeRow> FRows;
  uint64_t FDropped = 0;
};

// Columns of the history; row 0 of the window holds the headers.
inline constexpr int kExchangeColumns = 9;
std::wstring ExchangeHeader(int col);
// The window shows the time of day; the saved file the date too.
std::wstring ExchangeCell(const TExchangeRow& row, int col, bool withDate = false);
// Milliseconds with three decimals, "." as separator: 0.012, 1500.000.
std::wstring MillisecondsText(int64_t microseconds);
// "Записей: 12", and how many older ones went.
std::wstring ExchangeLogStatus(const TExchangeLog& log);
// The whole history as the file holds it: a header line, then one line a
// row, fields separated by tabs, lines ending in CR LF, in the system's code page.
std::string ExchangeLogText(const TExchangeLog& log);
