#pragma once
// Register reading: the three kinds of registers (cash, operation, rest), the
// sets that collect them, and the reader whose worker walks a kind from
// register 0 up to the first number the driver refuses.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Driver.h"
#include "untReader.h"

class TECRRegisters;

// One register read: its number and value.
class TECRRegister {
 public:
  // Joins the owner's list (at its end) when one is given.
  TECRRegister(TECRRegisters* owner, int32_t number);
  virtual ~TECRRegister();
  TECRRegister(const TECRRegister&) = delete;
  TECRRegister& operator=(const TECRRegister&) = delete;

  int32_t Number;
  TECRRegisters* Owner() const { return FOwner; }
  // Leaves the current set, joins the new one at its end.
  void SetOwner(TECRRegisters* owner);
  virtual std::wstring GetValueText() const = 0;

 private:
  friend class TECRRegisters;
  TECRRegisters* FOwner = nullptr;
};

class TCashRegister : public TECRRegister {
 public:
  TCashRegister(TECRRegisters* owner, int32_t number, int64_t value);
  int64_t Value;  // ten-thousandths
  std::wstring GetValueText() const override;
};

class TOptnRegister : public TECRRegister {
 public:
  TOptnRegister(TECRRegisters* owner, int32_t number, uint16_t value);
  uint16_t Value;
  std::wstring GetValueText() const override;
};

class TRestRegister : public TECRRegister {
 public:
  TRestRegister(TECRRegisters* owner, int32_t number, double value);
  double Value;  // the register's integer, unscaled
  std::wstring GetValueText() const override;
};

// The registers of one kind read so far. The reader's worker appends while
// the window reads lines, so the list is guarded.
class TECRRegisters {
 public:
  virtual ~TECRRegisters();
  TECRRegisters(const TECRRegisters&) = delete;
  TECRRegisters& operator=(const TECRRegisters&) = delete;

  int Count() const;
  TECRRegister* Items(int index) const;
  // Destroys the entries, always the first one, until none is left.
  void Clear();
  // "%.2d: %s" of the entry at index.
  std::wstring LineAt(int index) const;

  virtual std::wstring GetName() const = 0;
  // Sets RegisterNumber, calls the kind's method and, on success, appends the
  // value; returns the method's result code.
  virtual int32_t ReadRegister(TDriver& driver, int32_t number) = 0;

 protected:
  TECRRegisters() = default;

 private:
  friend class TECRRegister;
  void Insert(TECRRegister* entry);
  void Remove(TECRRegister* entry);
  mutable std::mutex FLock;
  // Made with the first entry and gone with the last.
  std::unique_ptr<std::vector<TECRRegister*>> FList;
};

class TCashRegisters : public TECRRegisters {
 public:
  std::wstring GetName() const override { return L"Денежные регистры"; }
  int32_t ReadRegister(TDriver& driver, int32_t number) override;
};

class TOptnRegisters : public TECRRegisters {
 public:
  std::wstring GetName() const override { return L"Операционные регистры"; }
  int32_t ReadRegister(TDriver& driver, int32_t number) override;
};

class TRestRegisters : public TECRRegisters {
 public:
  std::wstring GetName() const override { return L"Регистры остатков"; }
  int32_t ReadRegister(TDriver& driver, int32_t number) override;
};

// The kinds in the order of the page's list; nullptr outside 0..2.
std::unique_ptr<TECRRegisters> CreateRegisters(int kind);

class TRegReader;

// The worker of one reading: its body is the reader's Run.
class TWorkThread : public TWorkerThread {
 public:
  TWorkThread(TWorkerHost& host, TRegReader& reader);
  ~TWorkThread() override;

 protected:
  void Execute() override;

 private:
  TRegReader& FReader;
};

class TRegReader : public TReader {
 public:
  // The driver and the lock of its sequences belong to the caller.
  TRegReader(TDriver& driver, std::recursive_mutex& driverLock, TWorkerHost& host)
      : TReader(driver, driverLock, host) {}
  ~TRegReader() override;

  // Clears the set and starts a worker reading it. OnStart comes after the
  // first register was read, OnProgress with each entry's position.
  void Start(TECRRegisters& registers);

  // The outcome of the last run: 0, or E_FAIL with ErrorText.
  int32_t ErrorCode() const { return FErrorCode; }
  const std::wstring& ErrorText() const { return FErrorText; }
  TECRRegisters* Registers() const { return FRegisters; }

  // The worker's body (public for the worker; the reading itself).
  void Run(const std::function<bool()>& stopRequested);

 private:
  TECRRegisters* FRegisters = nullptr;
  int32_t FErrorCode = 0;
  std::wstring FErrorText;
};

// What a register walk ends with when the driver refuses a number that is
// beyond the last register.
inline constexpr int32_t kNoMoreRegisters = 129;
