#include "untDump.h"

#include <algorithm>

#include "untDriverResult.h"
#include "untError.h"
#include "untInteger.h"
#include "untText.h"

std::wstring GetDeviceName(int32_t deviceNumber) {
  switch (deviceNumber) {
    case 1: return L"Накопитель ФП";
    case 2: return L"Часы";
    case 3: return L"Энергонезависимая память";
    case 4: return L"Процессор ФП";
    case 5: return L"Память программ ККМ";
    case 6: return L"Оперативная память ККМ";
    default: return L"Неизвестное устройство";
  }
}

std::wstring FormatElapsed(uint64_t ms) {
  const auto minutes = static_cast<unsigned>((ms / 60000) % 60);
  const auto seconds = static_cast<unsigned>((ms / 1000) % 60);
  const auto millis = static_cast<unsigned>(ms % 1000);
  return Format(L"%.2u.%.2u.%.3u", minutes, seconds, millis);
}

int32_t GetBlockCount(TDriver& d, int32_t deviceNumber) {
  d.set_DeviceEnabled(true);
  CheckDriverResult(d, d.get_ResultCode());
  d.set_DeviceNumber(deviceNumber);
  d.set_DataBlockNumber(0);
  CheckDriverResult(d, d.RequestDump());
  return d.get_DataBlockCount();
}

TDumpRange PrepareParams(TDriver& driver, int32_t deviceNumber, bool wholeDump, const std::wstring& startText,
                         const std::wstring& endText) {
  TDumpRange r;
  r.Params.DeviceNumber = deviceNumber;
  const int32_t count = GetBlockCount(driver, deviceNumber);
  if (wholeDump) {
    r.Params.StartBlock = 0;
    r.Params.EndBlock = count;
    r.BlockCount = count;
    return r;
  }
  const int32_t start = ParseInt32(startText, irInteger);
  // The range takes both its numbers, so its end can be the last block at most.
  const int32_t end = std::min(ParseInt32(endText, irInteger), count - 1);
  if (start > end)
    throw Exception(Format(L"Начальный номер блока (%d)\r\nне может превышать конечный (%d).", start, end));
  r.Params.StartBlock = start;
  r.Params.EndBlock = end + 1;
  r.BlockCount = end - start + 1;
  return r;
}

// ---------------------------------------------------------------- worker

TDumpThread::TDumpThread(TWorkerHost& host, TDumpReader& reader, const TDumpParams& params)
    : TWorkerThread(host),
      FReader(reader),
      FDeviceNumber(params.DeviceNumber),
      FEndBlock(params.EndBlock),
      FStartBlock(params.StartBlock) {
  Start();
}

TDumpThread::~TDumpThread() {
  Terminate();
  WaitFor();
}

void TDumpThread::Execute() {
  try {
    auto apartment = Host().EnterThread();
    ReadBlocks();
  } catch (const std::exception& e) {
    FErrorText = ExceptionText(e);
    ShowError();
  } catch (...) {
    FErrorText = L"Неизвестная ошибка";
    ShowError();
  }
  if (FReader.OnComplete) FReader.OnComplete();
}

void TDumpThread::ShowError() {
  if (!FReader.OnShowError) return;
  const std::wstring text = FErrorText;
  Synchronize([&] { FReader.OnShowError(text); });
}

void TDumpThread::ReadBlocks() {
  TDriver& d = FReader.FDriver;
  {
    std::lock_guard lock(FReader.FDriverLock);
    d.set_DeviceEnabled(true);
    d.set_DeviceNumber(FDeviceNumber);
    if (d.get_ResultCode() != 0) FErrorText = DriverText(d.get_ResultCodeDescription());
  }
  if (!FErrorText.empty()) {
    ShowError();
    return;
  }
  int32_t block = FStartBlock;
  if (FReader.OnStart) FReader.OnStart();
  while (block < FEndBlock) {
    if (Terminated()) return;
    int32_t rc;
    std::string bytes;
    std::wstring failure;
    {
      std::lock_guard lock(FReader.FDriverLock);
      d.set_DataBlockNumber(block);
      rc = d.RequestDump();
      if (rc == 0)
        bytes = WideToAnsi(d.get_DataBlock());
      else
        failure = DriverText(d.get_ResultCodeDescription());
    }
    if (rc != 0) {
      // The question waits on the window thread without the driver lock, so
      // the window can go on using the driver meanwhile.
      const std::wstring question = Format(L"%ls. Продолжить ?", failure.c_str());
      bool again = false;
      if (!FReader.OnAskContinue || !Synchronize([&] { again = FReader.OnAskContinue(question); }) || !again)
        Terminate();
      continue;  // the same block again, unless stopped
    }
    ++block;
    FReader.Append(bytes);
    if (FReader.OnProgress) FReader.OnProgress(block - FStartBlock);
  }
}

// ---------------------------------------------------------------- reader

TDumpReader::~TDumpReader() { Stop(); }

void TDumpReader::Start(const TDumpParams& params) {
  Stop();
  {
    std::lock_guard lock(FDataLock);
    FData.clear();
  }
  FParams = params;
  SetWorker(std::make_unique<TDumpThread>(FHost, *this, params));
}

std::string TDumpReader::Data() const {
  std::lock_guard lock(FDataLock);
  return FData;
}

size_t TDumpReader::DataSize() const {
  std::lock_guard lock(FDataLock);
  return FData.size();
}

void TDumpReader::Append(const std::string& bytes) {
  std::lock_guard lock(FDataLock);
  FData += bytes;
}
