#include "untReceiptMonitor.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "untError.h"
#include "untFloat.h"
#include "untText.h"

namespace {

constexpr uint64_t kMaxPositive = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());

[[noreturn]] void SumOverflow() { throw Exception(L"Сумма вне диапазона денежных значений"); }

// An unsigned 128-bit number, enough for a 17-digit mantissa times a 64-bit
// price; written out in halves so that no compiler extension is needed.
struct TWide {
  uint64_t Hi = 0;
  uint64_t Lo = 0;
};

TWide Multiply(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & 0xFFFFFFFFu, a1 = a >> 32, b0 = b & 0xFFFFFFFFu, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t mid = (p00 >> 32) + (p01 & 0xFFFFFFFFu) + (p10 & 0xFFFFFFFFu);
  return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xFFFFFFFFu)};
}

// Divides by 10 in place; returns the remainder.
unsigned DivideBy10(TWide& v) {
  uint64_t limbs[4] = {v.Hi >> 32, v.Hi & 0xFFFFFFFFu, v.Lo >> 32, v.Lo & 0xFFFFFFFFu};
  uint64_t rest = 0;
  for (auto& limb : limbs) {
    const uint64_t cur = (rest << 32) | limb;
    limb = cur / 10;
    rest = cur % 10;
  }
  v.Hi = (limbs[0] << 32) | limbs[1];
  v.Lo = (limbs[2] << 32) | limbs[3];
  return static_cast<unsigned>(rest);
}

// The shortest decimal of a finite, non-zero double as digits x 10^exponent,
// the digits without trailing zeros (at most 17 of them).
void ShortestDecimal(double value, uint64_t& digits, int& exponent) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(value));
  digits = 0;
  exponent = 0;
  int fraction = 0;       // digits seen after the point
  int droppedZeros = 0;   // zeros held back until a non-zero digit follows
  bool afterPoint = false;
  const char* p = buf;
  for (; p != end && *p != 'e'; ++p) {
    if (*p == '.') {
      afterPoint = true;
      continue;
    }
    const int d = *p - '0';
    if (afterPoint) ++fraction;
    if (d == 0 && digits != 0) {
      ++droppedZeros;
      continue;
    }
    if (d == 0) continue;  // leading zeros
    for (; droppedZeros > 0; --droppedZeros) digits *= 10;
    digits = digits * 10 + static_cast<uint64_t>(d);
  }
  int e = 0;
  if (p != end) std::from_chars(p + 1 + (p[1] == '+' ? 1 : 0), end, e);
  exponent = e - fraction + droppedZeros;
}

int64_t CheckedAdd(int64_t a, int64_t b) {
  if ((b > 0 && a > std::numeric_limits<int64_t>::max() - b) || (b < 0 && a < std::numeric_limits<int64_t>::min() - b))
    SumOverflow();
  return a + b;
}

int64_t CheckedSub(int64_t a, int64_t b) {
  if ((b < 0 && a > std::numeric_limits<int64_t>::max() + b) || (b > 0 && a < std::numeric_limits<int64_t>::min() + b))
    SumOverflow();
  return a - b;
}

}  // namespace

int64_t SaleAmount(double quantity, int64_t price) {
  if (!std::isfinite(quantity))
    throw Exception(L"Количество продажи не является числом: " + FloatToStr(quantity, L'.'));
  if (quantity == 0 || price == 0) return 0;
  const bool negative = (quantity < 0) != (price < 0);
  const uint64_t limit = negative ? kMaxPositive + 1 : kMaxPositive;
  const uint64_t priceMagnitude = price < 0 ? 0 - static_cast<uint64_t>(price) : static_cast<uint64_t>(price);

  uint64_t digits;
  int exponent;
  ShortestDecimal(quantity, digits, exponent);
  TWide product = Multiply(digits, priceMagnitude);

  uint64_t magnitude;
  if (exponent >= 0) {
    if (product.Hi != 0) SumOverflow();
    magnitude = product.Lo;
    for (int i = 0; i < exponent; ++i) {
      if (magnitude > limit / 10) SumOverflow();
      magnitude *= 10;
    }
  } else {
    // The digits below the ten-thousandth decide the rounding: the first of
    // them against 5, the ones after it only whether any is not 0.
    bool belowFirst = false;
    unsigned first = 0;
    for (int i = exponent; i < 0; ++i) {
      const unsigned digit = DivideBy10(product);
      if (i + 1 < 0)
        belowFirst = belowFirst || digit != 0;
      else
        first = digit;
    }
    if (product.Hi != 0) SumOverflow();
    magnitude = product.Lo;
    if (first > 5 || (first == 5 && (belowFirst || (magnitude & 1) != 0))) ++magnitude;
  }
  if (magnitude > limit) SumOverflow();
  return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

std::wstring CurrencyText(int64_t tenThousandths) {
  // Every amount up to 15 significant digits reads back exactly from the
  // nearest double, so the general form shows the exact sum.
  return FloatToStr(static_cast<double>(tenThousandths) / 10000.0, L'.');
}

TReceiptMonitor::TReceiptMonitor(std::function<void()> refresh) : FRefresh(std::move(refresh)) {}

void TReceiptMonitor::DriverCommand(TDriver& d, int32_t commandId) {
  if (!d.FetchCommand(commandId)) return;
  if (d.get_CommandType() != 0) return;
  switch (d.get_CommandCode()) {
    case 0x80: Sale(d); break;
    case 0x90: Closing(); break;
    case 0x91: Cancellation(); break;
    default: break;
  }
  // The answer carries whatever values the driver holds.
  d.set_WaitAnswer(false);
  d.SendAnswer();
}

void TReceiptMonitor::Sale(TDriver& d) {
  const bool repeated = d.get_CommandRepeated();
  const int64_t sale = SaleAmount(d.get_Quantity(), d.get_Price());
  // Worked out aside and stored at the end, so an overflow changes nothing.
  int64_t sum = ReceiptSum;
  // A repeat means the requester never got our answer: its sale replaces the
  // one counted for the first attempt.
  if (repeated) sum = CheckedSub(sum, LastSale);
  if (ReceiptClosed) sum = 0;
  sum = CheckedAdd(sum, sale);
  ReceiptClosed = false;
  LastSale = sale;
  ReceiptSum = sum;
  if (FRefresh) FRefresh();
}

void TReceiptMonitor::Closing() {
  if (ReceiptCount == std::numeric_limits<int32_t>::max()) SumOverflow();
  const int64_t total = CheckedAdd(TotalSum, ReceiptSum);
  ++ReceiptCount;
  TotalSum = total;
  ReceiptClosed = true;
  if (FRefresh) FRefresh();
}

void TReceiptMonitor::Cancellation() {
  // Nothing is open after a closing: the closed receipt stays on show.
  if (ReceiptClosed) return;
  // The cancelled receipt's sales are gone, and no repeat can take one back.
  ReceiptSum = 0;
  LastSale = 0;
  if (FRefresh) FRefresh();
}

void TReceiptMonitor::ResetSums() {
  ReceiptSum = 0;
  ReceiptCount = 0;
  TotalSum = 0;
}

TReceiptTexts TReceiptMonitor::Texts() const {
  return {CurrencyText(TotalSum), IntToStr(ReceiptCount), CurrencyText(ReceiptSum)};
}
