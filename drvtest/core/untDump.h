#pragma once
// Dump reading: the devices, the parameters of a reading, and the reader
// whose worker requests the blocks one by one and keeps their bytes.
//
// A dump file is the blocks' bytes in increasing block number, nothing
// else: each block is the driver's DataBlock text taken to 8-bit characters
// in the system code page, one byte per character.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "Driver.h"
#include "untReader.h"

struct TDumpParams {
  int32_t DeviceNumber = 0;
  int32_t EndBlock = 0;    // the first block not read
  int32_t StartBlock = 0;  // the first block read
};

inline constexpr int kDumpDeviceCount = 6;
// "Накопитель ФП" ... "Оперативная память ККМ" for 1..6, "Неизвестное
// устройство" for any other number.
std::wstring GetDeviceName(int32_t deviceNumber);

// "nn.ss.zzz": minutes (hours are not shown), seconds, milliseconds.
std::wstring FormatElapsed(uint64_t milliseconds);

// The device's block count, asked for with block 0 (DeviceEnabled and
// RequestDump checked): what every reading starts with.
int32_t GetBlockCount(TDriver& driver, int32_t deviceNumber);

// What the page starts a reading with: the parameters and the number of
// blocks the progress counts to. A range includes both its numbers; the end
// is limited to the device's last block, and a start above it is refused
// with the page's two-line message. Texts that are not integers raise the
// conversion error.
struct TDumpRange {
  TDumpParams Params;
  int32_t BlockCount = 0;
};
TDumpRange PrepareParams(TDriver& driver, int32_t deviceNumber, bool wholeDump, const std::wstring& startText,
                         const std::wstring& endText);

class TDumpReader;

class TDumpThread : public TWorkerThread {
 public:
  TDumpThread(TWorkerHost& host, TDumpReader& reader, const TDumpParams& params);
  ~TDumpThread() override;
  const std::wstring& ErrorText() const { return FErrorText; }

 protected:
  void Execute() override;

 private:
  void ReadBlocks();
  void ShowError();
  TDumpReader& FReader;
  const int32_t FDeviceNumber, FEndBlock, FStartBlock;
  std::wstring FErrorText;
};

class TDumpReader : public TReader {
 public:
  // The driver and the lock of its sequences belong to the caller.
  TDumpReader(TDriver& driver, std::recursive_mutex& driverLock, TWorkerHost& host)
      : TReader(driver, driverLock, host) {}
  ~TDumpReader() override;

  // Clears the data and starts a worker on the parameters.
  void Start(const TDumpParams& params);
  const TDumpParams& Params() const { return FParams; }

  // The bytes read so far, copied under the lock the worker appends under:
  // whole blocks only, also while a reading runs.
  std::string Data() const;
  size_t DataSize() const;

  // Run on the window thread while the worker waits: the question after a
  // failed block (true: try the block again), and an error box.
  std::function<bool(const std::wstring& question)> OnAskContinue;
  std::function<void(const std::wstring& text)> OnShowError;

 private:
  friend class TDumpThread;
  void Append(const std::string& bytes);
  TDumpParams FParams;
  mutable std::mutex FDataLock;
  std::string FData;
};
