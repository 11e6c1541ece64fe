#pragma once
// What the receipt page does with a command from the network: every request
// is answered at once, and the free-price sales (80h) and receipt closings
// (90h) among them are totalled. A receipt cancellation (91h) drops the open
// receipt, so that its sales never reach the next receipt or the total.
// Money is kept in ten-thousandths, so sums are exact however many receipts
// pass.
#include <cstdint>
#include <functional>
#include <string>

#include "untNetHandler.h"

// Quantity x Price in ten-thousandths, rounded to the nearest one, halves to
// the even neighbour. The quantity counts as the shortest decimal that reads
// back as the same double (what the cashier typed: 0.333, not the binary
// fraction next to it), and the product is formed exactly in integers.
// Exception when the quantity is not finite or the amount leaves the
// currency range.
int64_t SaleAmount(double quantity, int64_t price);

// A currency amount in the general number form with "." (24.25, 100, 0).
std::wstring CurrencyText(int64_t tenThousandths);

struct TReceiptTexts {
  std::wstring TotalSum;  // edtTotalSum
  std::wstring RecCount;  // edtRecCount
  std::wstring RecSum;    // edtRecSum
};

class TReceiptMonitor : public TNetCommandHandler {
 public:
  // refresh is called where the page refreshes its display: after a counted
  // sale or closing, before the answer goes out.
  explicit TReceiptMonitor(std::function<void()> refresh = {});

  // Fetch and parse; stop for a command that is not a request; count a sale,
  // a closing or a cancellation; answer, whatever the code, with the values the driver
  // holds. A failed send is not reported. An amount beyond the currency range
  // raises an Exception before anything changes or is sent.
  void DriverCommand(TDriver& driver, int32_t commandId) override;

  // "Сбросить": the current receipt, the count and the total back to 0; the
  // last sale and the closed mark stay, so a repeat still takes its sale back.
  void ResetSums();
  TReceiptTexts Texts() const;

  int64_t ReceiptSum = 0;    // the current receipt
  int32_t ReceiptCount = 0;  // receipts closed
  int64_t LastSale = 0;      // the amount of the last sale
  int64_t TotalSum = 0;      // all closed receipts
  bool ReceiptClosed = false;  // a receipt was closed and no sale has come since

 private:
  void Sale(TDriver& driver);
  void Closing();
  void Cancellation();
  std::function<void()> FRefresh;
};
