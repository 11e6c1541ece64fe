// The driver control through COM: registration, access by name with
// automation coercion, errors, events and their thread, calls from a worker,
// and the control's settings in the registry and its settings dialog.
#include <gtest/gtest.h>
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <chrono>
#include <cwctype>
#include <functional>
#include <thread>
#include <vector>

#include "../../driver/win/fmuDrvProps.h"
#include "Driver.h"
#include "PloverDrv_h.h"
#include "TopWindows.h"
#include "test_ComHelpers.h"
#include "untComDriver.h"
#include "untEcrControl.h"
#include "untError.h"
#include "untFile.h"
#include "untText.h"
#include "win/ScopedCom.h"

namespace {

std::wstring RegText(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof buf;
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS) return L"<none>";
  return buf;
}

class ComTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(FCom.Result()));
    ASSERT_EQ(RegisterDriver(), S_OK);
  }

  // A control in a known state, whatever the user saved in the registry.
  std::unique_ptr<TDriver> NewDriver() {
    auto d = CreateComDriver();
    d->SetProperty(L"BusKind", TVariant::FromInt(0));
    d->SetProperty(L"VirtualEcr", TVariant::FromBool(true));
    d->SetProperty(L"VirtualDesk", TVariant::FromBool(false));
    d->SetProperty(L"FaultMethod", TVariant::FromStr(L""));
    d->SetProperty(L"FaultEvery", TVariant::FromInt(0));
    d->SetProperty(L"LinkLatency", TVariant::FromInt(0));
    d->SetProperty(L"DeviceNotAnswering", TVariant::FromBool(false));
    d->SetProperty(L"Timeout", TVariant::FromInt(1000));
    d->SetProperty(L"SrcAddress", TVariant::FromInt(1));
    d->set_DeviceEnabled(true);
    return d;
  }

  TComInit FCom;
};

TEST_F(ComTest, RegistrationWritesClassProgIdAndTypeLibraryAndRemovesThem) {
  CLSID clsid{};
  ASSERT_EQ(CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_PloverDriver));
  ASSERT_EQ(CLSIDFromProgID(L"PloverDrv.PloverDriver.1", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_PloverDriver));
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, L"PloverDrv.PloverDriver\\CurVer", nullptr), L"PloverDrv.PloverDriver.1");

  wchar_t clsidText[40];
  StringFromGUID2(CLSID_PloverDriver, clsidText, 40);
  std::wstring server = std::wstring(L"CLSID\\") + clsidText + L"\\InprocServer32";
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, server.c_str(), L"ThreadingModel"), L"Both");
  EXPECT_TRUE(SameText(RegText(HKEY_CLASSES_ROOT, server.c_str(), nullptr), DriverDllPath()));

  TComPtr<ITypeLib> lib;
  EXPECT_EQ(LoadRegTypeLib(LIBID_PloverDrv, 1, 0, 0, lib.Put()), S_OK);
  lib.Reset();

  ASSERT_EQ(CallDriverExport("DllUnregisterServer"), S_OK);
  EXPECT_TRUE(FAILED(CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid)));
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, server.c_str(), nullptr), L"<none>");
  EXPECT_TRUE(FAILED(LoadRegTypeLib(LIBID_PloverDrv, 1, 0, 0, lib.Put())));
  // Removing twice is harmless; registering again restores everything.
  EXPECT_EQ(CallDriverExport("DllUnregisterServer"), S_OK);
  ASSERT_EQ(RegisterDriver(), S_OK);
  EXPECT_EQ(CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid), S_OK);
}

TEST_F(ComTest, ClassObjectRefusesAggregationAndForeignClasses) {
  TComPtr<IClassFactory> factory;
  ASSERT_EQ(CoGetClassObject(CLSID_PloverDriver, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                             factory.PutVoid()),
            S_OK);
  TComPtr<IUnknown> outer;
  ASSERT_EQ(CoCreateInstance(CLSID_PloverDriver, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, outer.PutVoid()), S_OK);
  TComPtr<IUnknown> inner;
  EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, inner.PutVoid()), CLASS_E_NOAGGREGATION);

  auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(DriverModule(), "DllGetClassObject")));
  ASSERT_NE(getClassObject, nullptr);
  TComPtr<IClassFactory> other;
  EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, other.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(ComTest, ObjectOffersDualInterfaceEventsErrorInfoAndFreeThreadedMarshaler) {
  TComPtr<IPloverDriver4> drv;
  ASSERT_EQ(CoCreateInstance(CLSID_PloverDriver, nullptr, CLSCTX_INPROC_SERVER, IID_IPloverDriver4, drv.PutVoid()),
            S_OK);
  TComPtr<IConnectionPointContainer> cpc;
  EXPECT_EQ(drv.QueryTo(IID_IConnectionPointContainer, cpc.PutVoid()), S_OK);
  TComPtr<ISupportErrorInfo> sei;
  ASSERT_EQ(drv.QueryTo(IID_ISupportErrorInfo, sei.PutVoid()), S_OK);
  EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IPloverDriver4), S_OK);
  TComPtr<IMarshal> marshal;
  ASSERT_EQ(drv.QueryTo(IID_IMarshal, marshal.PutVoid()), S_OK);
  CLSID unmarshal{};
  ASSERT_EQ(marshal->GetUnmarshalClass(IID_IPloverDriver4, drv.Get(), MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL,
                                       &unmarshal),
            S_OK);
  // The free-threaded marshaler's class: apartments in this process share the object.
  const CLSID kFreeThreadedMarshaler = {0x0000033A, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
  EXPECT_TRUE(IsEqualCLSID(unmarshal, kFreeThreadedMarshaler));

  // The type information comes from the DLL itself and names every member.
  TComPtr<ITypeInfo> info;
  ASSERT_EQ(drv->GetTypeInfo(0, 0, info.Put()), S_OK);
  size_t count = 0;
  const TMemberInfo* members = MemberTable(count);
  for (size_t i = 0; i < count; ++i) {
    LPOLESTR name = const_cast<LPOLESTR>(members[i].Name);
    MEMBERID id = 0;
    ASSERT_EQ(info->GetIDsOfNames(&name, 1, &id), S_OK) << WideToUtf8(members[i].Name);
    EXPECT_EQ(id, members[i].DispId) << WideToUtf8(members[i].Name);
  }

  // The vtable side: typed values, and an error with its description.
  ASSERT_EQ(drv->put_Timeout(750), S_OK);
  LONG timeout = 0;
  ASSERT_EQ(drv->get_Timeout(&timeout), S_OK);
  EXPECT_EQ(timeout, 750);
  CY cy;
  cy.int64 = 123456;
  ASSERT_EQ(drv->put_Summ(cy), S_OK);
  cy.int64 = 0;
  ASSERT_EQ(drv->get_Summ(&cy), S_OK);
  EXPECT_EQ(cy.int64, 123456);
  TBstr version;
  ASSERT_EQ(drv->get_DriverVersion(version.Put()), S_OK);
  EXPECT_EQ(drv->get_Timeout(nullptr), E_POINTER);
}

TEST_F(ComTest, DriverVersionIsTheFileVersionOfTheDll) {
  auto d = NewDriver();
  std::wstring v = d->get_DriverVersion();
  int parts = 1;
  for (wchar_t c : v) {
    if (c == L'.')
      ++parts;
    else
      EXPECT_TRUE(std::iswdigit(c)) << WideToUtf8(v);
  }
  EXPECT_EQ(parts, 4) << WideToUtf8(v);
  // The version resource of the DLL says what the build says.
  EXPECT_EQ(v, TEcrControl::Create()->Get(dispid::DriverVersion).Str());
}

struct TCoercionCase {
  const wchar_t* Name;
  TVariant Put;
  TVariant Expected;
};

TEST_F(ComTest, PropertyPutCoercesAsAutomationDoes) {
  auto d = NewDriver();
  const TCoercionCase cases[] = {
      {L"OperatorNumber", TVariant::FromStr(L"123"), TVariant::FromInt(123)},
      {L"operatornumber", TVariant::FromStr(L" 7"), TVariant::FromInt(7)},
      {L"RestRegister", TVariant::FromDouble(12.6), TVariant::FromInt(13)},
      {L"RegisterNumber", TVariant::FromDouble(2.5), TVariant::FromInt(2)},  // banker's rounding
      {L"RegisterNumber", TVariant::FromDouble(3.5), TVariant::FromInt(4)},
      {L"CashRegister", TVariant::FromDouble(12.3456), TVariant::FromCurrency(123456)},
      {L"Summ", TVariant::FromDouble(1.23456), TVariant::FromCurrency(12346)},
      {L"Summ", TVariant::FromStr(L"15"), TVariant::FromCurrency(150000)},
      {L"Price", TVariant::FromInt(-3), TVariant::FromCurrency(-30000)},
      {L"Quantity", TVariant::FromInt(3), TVariant::FromDouble(3)},
      {L"ECRDate", TVariant::FromDate(45000.0), TVariant::FromDate(45000.0)},
      {L"ECRTime", TVariant::FromDouble(0.5), TVariant::FromDate(0.5)},
      {L"WaitAnswer", TVariant::FromInt(1), TVariant::FromBool(true)},
      {L"WaitAnswer", TVariant::FromStr(L"0"), TVariant::FromBool(false)},
      {L"TableName", TVariant::FromInt(42), TVariant::FromStr(L"42")},
      {L"FieldValue", TVariant::FromStr(L"Касса №1"), TVariant::FromStr(L"Касса №1")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Name));
    ASSERT_NO_THROW(d->SetProperty(c.Name, c.Put));
    TVariant got = d->GetProperty(c.Name);
    EXPECT_EQ(static_cast<int>(got.Type()), static_cast<int>(c.Expected.Type()));
    EXPECT_TRUE(got == c.Expected);
  }
}

struct TErrorCase {
  const wchar_t* Name;
  bool Put;
  TVariant Value;
  int32_t Code;
  const wchar_t* HexCode;
};

TEST_F(ComTest, FailuresRaiseOleErrorsThatNameTheStatus) {
  auto d = NewDriver();
  const TErrorCase cases[] = {
      {L"NoSuchProperty", false, {}, static_cast<int32_t>(DISP_E_UNKNOWNNAME), L"80020006"},
      {L"NoSuchProperty", true, TVariant::FromInt(1), static_cast<int32_t>(DISP_E_UNKNOWNNAME), L"80020006"},
      {L"", false, {}, static_cast<int32_t>(DISP_E_UNKNOWNNAME), L"80020006"},
      {L"OperatorNumber", true, TVariant::FromStr(L"abc"), static_cast<int32_t>(DISP_E_TYPEMISMATCH), L"80020005"},
      {L"OperatorNumber", true, TVariant::FromDouble(1e12), static_cast<int32_t>(DISP_E_OVERFLOW), L"8002000A"},
      {L"ResultCode", true, TVariant::FromInt(5), static_cast<int32_t>(DISP_E_MEMBERNOTFOUND), L"80020003"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(WideToUtf8(c.Name));
    try {
      if (c.Put)
        d->SetProperty(c.Name, c.Value);
      else
        d->GetProperty(c.Name);
      ADD_FAILURE() << "no error";
    } catch (const EOleError& e) {
      EXPECT_EQ(e.ErrorCode, c.Code);
      EXPECT_NE(e.Message().find(L"Ошибка OLE"), std::wstring::npos) << WideToUtf8(e.Message());
      EXPECT_NE(e.Message().find(c.HexCode), std::wstring::npos) << WideToUtf8(e.Message());
    }
  }
  // Getting a method as a property runs it; putting it does not exist.
  EXPECT_THROW(d->PutById(dispid::CheckConnection, TVariant::FromInt(1)), EOleError);
  EXPECT_THROW(d->GetById(99999), EOleError);
}

struct TSampleCall {
  const wchar_t* Method;
  std::vector<std::pair<const wchar_t*, int32_t>> Inputs;
  std::vector<const wchar_t*> Outputs;
};

// The control behind COM answers as the core it wraps does, when called
// directly: the same result codes, descriptions and outputs.
TEST_F(ComTest, MethodsByNameAnswerAsTheCoreDoes) {
  auto d = NewDriver();
  auto core = TEcrControl::Create();
  core->Put(dispid::DeviceEnabled, TVariant::FromBool(true));
  const TSampleCall calls[] = {
      {L"GetECRStatus", {}, {L"OperatorNumber", L"ECRSoftVersion", L"ECRSoftBuild", L"ECRSoftDate", L"DocumentNumber",
                             L"ECRFlags", L"ECRModeDescription", L"ECRAdvancedModeDescription", L"ECRPortNumber"}},
      {L"GetFlagName", {{L"FlagNumber", 3}}, {L"FlagName"}},
      {L"GetFMStatus", {}, {L"FMSoftVersion", L"SerialNumber", L"INN", L"SessionNumber", L"EKLZNumber"}},
      {L"RequestDump", {{L"DeviceNumber", 1}, {L"DataBlockNumber", 0}}, {L"DataBlockCount", L"DataBlock"}},
      {L"GetCashRegister", {{L"RegisterNumber", 5}}, {L"CashRegister"}},
      {L"GetCashRegister", {{L"RegisterNumber", 100000}}, {}},
      {L"GetOperationRegister", {{L"RegisterNumber", 2}}, {L"OperationRegister"}},
      {L"GetRestRegister", {{L"RegisterNumber", 1}}, {L"RestRegister"}},
      {L"GetTableStruct", {{L"TableNumber", 1}}, {L"TableName", L"RowCount", L"FieldCount"}},
      {L"GetTableStruct", {{L"TableNumber", 1000}}, {}},
      {L"GetFieldStruct", {{L"TableNumber", 1}, {L"FieldNumber", 1}},
       {L"FieldName", L"FieldType", L"FieldSize", L"FieldMinValue", L"FieldMaxValue"}},
      {L"ReadTable", {{L"TableNumber", 1}, {L"RowNumber", 1}, {L"FieldNumber", 1}}, {L"FieldValue"}},
      {L"CheckConnection", {}, {}},
  };
  for (const auto& c : calls) {
    SCOPED_TRACE(WideToUtf8(c.Method));
    for (const auto& [name, value] : c.Inputs) {
      d->SetProperty(name, TVariant::FromInt(value));
      core->Put(FindMemberByName(name)->DispId, TVariant::FromInt(value));
    }
    const TMemberInfo* method = FindMemberByName(c.Method);
    ASSERT_NE(method, nullptr);
    EXPECT_EQ(d->CallById(d->GetDispID(c.Method)), core->Call(method->DispId));
    EXPECT_EQ(d->get_ResultCode(), core->Get(dispid::ResultCode).Int());
    EXPECT_EQ(d->get_ResultCodeDescription(), core->Get(dispid::ResultCodeDescription).Str());
    for (const wchar_t* name : c.Outputs) {
      SCOPED_TRACE(WideToUtf8(name));
      EXPECT_TRUE(d->GetProperty(name) == core->Get(FindMemberByName(name)->DispId));
    }
  }
  // The ends of the register and table walks.
  d->set_RegisterNumber(100000);
  EXPECT_EQ(d->GetCashRegister(), 129);
  d->set_TableNumber(1000);
  d->GetTableStruct();
  EXPECT_EQ(d->get_ResultCode(), 130);
  EXPECT_FALSE(d->get_ResultCodeDescription().empty());
}

// What a worker of the driver test program does: calls the one control from
// its own thread while the window thread goes on calling it.
TEST_F(ComTest, WorkerThreadAndWindowThreadCallTheControlTogether) {
  auto d = NewDriver();
  TDriver* drv = d.get();
  constexpr int kRounds = 300;
  std::atomic<int> workerErrors{0};
  std::thread worker([&] {
    TComInit com(COINIT_MULTITHREADED);
    for (int i = 0; i < kRounds; ++i) {
      try {
        drv->SetProperty(L"TableNumber", TVariant::FromInt(i));
        if (drv->GetProperty(L"TableNumber").Int() != i) ++workerErrors;
        drv->set_RegisterNumber(1);
        drv->GetRestRegister();
      } catch (...) {
        ++workerErrors;
      }
    }
  });
  int mainErrors = 0;
  for (int i = 0; i < kRounds; ++i) {
    drv->SetProperty(L"FlagNumber", TVariant::FromInt(i % 16));
    if (drv->GetProperty(L"FlagNumber").Int() != i % 16) ++mainErrors;
    drv->CheckConnection();
  }
  worker.join();
  EXPECT_EQ(workerErrors.load(), 0);
  EXPECT_EQ(mainErrors, 0);
}

TEST_F(ComTest, OnCommandArrivesOnTheCreatingThread) {
  auto d = NewDriver();
  std::vector<int32_t> ids;
  std::vector<DWORD> threads;
  std::vector<int32_t> codes;
  d->OnCommand = [&](TPloverDriver& sender, int32_t id) {
    ids.push_back(id);
    threads.push_back(GetCurrentThreadId());
    sender.set_CommandID(id);
    if (sender.GetCommand() == 0 && sender.ParseCommand() == 0) codes.push_back(sender.get_CommandCode());
  };
  // One request from this thread, one from a worker: both are heard here.
  ASSERT_EQ(d->SendDeskRequest(), 0);
  std::thread worker([&] {
    TComInit com(COINIT_MULTITHREADED);
    d->SendDeskRequest();
  });
  worker.join();
  ASSERT_TRUE(PumpUntil([&] { return ids.size() >= 2; }));
  for (DWORD t : threads) EXPECT_EQ(t, GetCurrentThreadId());
  EXPECT_EQ(codes.size(), ids.size());
  EXPECT_NE(ids[0], ids[1]);
}

// A sink of another apartment: counts the events it hears and the thread
// they run on.
class TCountingSink final : public IDispatch {
 public:
  std::atomic<int> Heard{0};
  std::atomic<DWORD> Thread{0};
  std::atomic<DWORD> ReleasedOn{0};  // thread of the last Release

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IPloverDriverEvents) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++FRefs; }
  STDMETHODIMP_(ULONG) Release() override {  // lives on the test's stack
    ReleasedOn = GetCurrentThreadId();
    return --FRefs;
  }
  ULONG Refs() const { return FRefs; }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    if (id == 1) {
      Thread = GetCurrentThreadId();
      ++Heard;
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> FRefs{1};
};

HRESULT CallByName(IDispatch* control, const wchar_t* name) {
  DISPID id = 0;
  LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = control->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  if (FAILED(hr)) return hr;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  return control->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr);
}

// The window thread's own sinks are called directly; a sink advised from a
// thread of another apartment is reached through its proxy, in its apartment,
// and hears nothing once it has unadvised.
TEST_F(ComTest, SinkOfAnotherApartmentHearsEventsThroughItsProxyUntilItUnadvises) {
  auto d = NewDriver();
  int ownHeard = 0;
  d->OnCommand = [&](TPloverDriver&, int32_t) { ++ownHeard; };
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid), S_OK);
  TComPtr<IDispatch> control;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.PutVoid()), S_OK);
  IStream* stream = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, control.Get(), &stream), S_OK);

  TCountingSink sink;
  std::atomic<int> step{0};  // 1: advised, 2: unadvise now, 3: unadvised
  std::atomic<bool> ok{true};
  std::thread worker([&] {
    TComInit com(COINIT_MULTITHREADED);
    TComPtr<IDispatch> remote;
    TComPtr<IConnectionPointContainer> container;
    TComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
    if (FAILED(CoGetInterfaceAndReleaseStream(stream, IID_IDispatch, remote.PutVoid())) ||
        FAILED(remote.QueryTo(IID_IConnectionPointContainer, container.PutVoid())) ||
        FAILED(container->FindConnectionPoint(DIID_IPloverDriverEvents, point.Put())) ||
        FAILED(point->Advise(&sink, &cookie)) || cookie == 0) {
      ok = false;
      step = 3;
      return;
    }
    step = 1;
    while (step != 2) Sleep(1);
    if (point->Unadvise(cookie) != S_OK || point->Unadvise(cookie) != CONNECT_E_NOCONNECTION) ok = false;
    step = 3;
  });
  ASSERT_TRUE(PumpUntil([&] { return step != 0; }));
  ASSERT_EQ(CallByName(control.Get(), L"SendDeskRequest"), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return sink.Heard > 0 && ownHeard > 0; }));
  EXPECT_NE(sink.Thread.load(), GetCurrentThreadId());
  step = 2;
  ASSERT_TRUE(PumpUntil([&] { return step == 3; }));
  worker.join();
  EXPECT_TRUE(ok.load());

  const int before = sink.Heard, ownBefore = ownHeard;
  ASSERT_EQ(CallByName(control.Get(), L"SendDeskRequest"), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return ownHeard > ownBefore; }));
  EXPECT_EQ(sink.Heard.load(), before);
}

// The last reference to the control may be dropped on any thread (it is
// free-threaded); sinks of the window thread are then still released there,
// in their own apartment, and so is one unadvised from another thread.
TEST_F(ComTest, SinksOfTheWindowThreadAreReleasedThereWhateverThreadLetsGo) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"PloverDrv.PloverDriver", &clsid), S_OK);
  IDispatch* control = nullptr;
  ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(&control)),
            S_OK);
  TComPtr<IConnectionPointContainer> container;
  TComPtr<IConnectionPoint> point;
  ASSERT_EQ(control->QueryInterface(IID_IConnectionPointContainer, container.PutVoid()), S_OK);
  ASSERT_EQ(container->FindConnectionPoint(DIID_IPloverDriverEvents, point.Put()), S_OK);
  TCountingSink kept, unadvised;
  DWORD keptCookie = 0, unadvisedCookie = 0;
  ASSERT_EQ(point->Advise(&kept, &keptCookie), S_OK);
  ASSERT_EQ(point->Advise(&unadvised, &unadvisedCookie), S_OK);
  EXPECT_NE(keptCookie, unadvisedCookie);
  IConnectionPoint* rawPoint = point.Detach();
  container.Reset();

  std::atomic<bool> done{false};
  std::thread worker([&] {
    TComInit com(COINIT_MULTITHREADED);
    rawPoint->Unadvise(unadvisedCookie);
    rawPoint->Release();
    control->Release();  // the last reference: the control goes on this thread
    done = true;
  });
  ASSERT_TRUE(PumpUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_TRUE(PumpUntil([&] { return kept.Refs() == 1 && unadvised.Refs() == 1; }));
  EXPECT_EQ(kept.ReleasedOn.load(), GetCurrentThreadId());
  EXPECT_EQ(unadvised.ReleasedOn.load(), GetCurrentThreadId());
}

TEST_F(ComTest, ErrorEscapingAnEventHandlerGoesToTheErrorHandler) {
  auto d = NewDriver();
  std::vector<std::wstring> reported;
  SetComEventErrorHandler([&](const std::exception& e) { reported.push_back(ExceptionText(e)); });
  d->OnCommand = [](TPloverDriver&, int32_t) { throw Exception(L"Обработчик не справился"); };
  ASSERT_EQ(d->SendDeskRequest(), 0);
  EXPECT_TRUE(PumpUntil([&] { return !reported.empty(); }));
  SetComEventErrorHandler(nullptr);
  ASSERT_FALSE(reported.empty());
  EXPECT_EQ(reported[0], L"Обработчик не справился");
}

// A station at address 99 on a thread of its own, the other end of a link:
// each request that reaches it runs React there (with the control, its
// received command already fetched and parsed), until the station goes.
class TStationThread {
 public:
  explicit TStationThread(std::function<std::unique_ptr<TDriver>()> make,
                          std::function<void(TDriver&)> react)
      : FThread([this, make = std::move(make), react = std::move(react)] {
          TComInit com(COINIT_APARTMENTTHREADED);
          auto d = make();
          d->SetProperty(L"SrcAddress", TVariant::FromInt(99));
          d->OnCommand = [&](TPloverDriver&, int32_t id) {
            d->set_CommandID(id);
            if (d->GetCommand() == 0 && d->ParseCommand() == 0 && d->get_CommandType() == 0) react(*d);
          };
          Ready = true;
          PumpUntil([this] { return Stop.load(); }, 60000);
        }) {}
  ~TStationThread() {
    Stop = true;
    FThread.join();
  }
  std::atomic<bool> Ready{false}, Stop{false};

 private:
  std::thread FThread;
};

// Sends a request for 11h from the station to the control at address 40.
void SendRequestTo40(TDriver& d, bool answer = false) {
  d.set_CommandType(answer ? 1 : 0);
  d.set_CommandCode(0x11);
  d.set_CommandSrcAddress(99);
  d.set_CommandDstAddress(40);
  d.set_WaitAnswer(false);
  d.SendCommand();
}

// A request for the control arrives while its own SendCommand waits for an
// answer. On the window thread (what a program's button does) the event must
// not come inside the call, and must come once the call has returned. The
// other station sends the request on seeing the control's own request, then
// the answer that ends the call: the bus keeps their order, so the request
// arrives inside the call, whatever the timing.
TEST_F(ComTest, NoCommandIsRaisedInsideTheControlsOwnSendCommandOnTheWindowThread) {
  auto a = NewDriver();
  a->SetProperty(L"SrcAddress", TVariant::FromInt(40));
  std::atomic<bool> inside{false};
  std::vector<bool> insideAtEvent;
  a->OnCommand = [&](TPloverDriver&, int32_t) { insideAtEvent.push_back(inside); };
  TStationThread other([this] { return NewDriver(); },
                       [](TDriver& d) {
                         SendRequestTo40(d);
                         SendRequestTo40(d, true);  // the answer, numbered by the request it parsed
                       });
  ASSERT_TRUE(PumpUntil([&] { return other.Ready.load(); }));
  a->set_Timeout(30000);
  a->set_CommandType(0);
  a->set_CommandCode(0x11);
  a->set_CommandSrcAddress(40);
  a->set_CommandDstAddress(99);
  a->set_WaitAnswer(true);
  inside = true;
  EXPECT_EQ(a->SendCommand(), 0) << "answered, so the request came before";
  inside = false;
  EXPECT_TRUE(insideAtEvent.empty()) << "raised during the call";
  EXPECT_TRUE(PumpUntil([&] { return !insideAtEvent.empty(); }, 5000));
  ASSERT_EQ(insideAtEvent.size(), 1u);
  EXPECT_FALSE(insideAtEvent[0]);
}

// The same with the waiting call on a worker: the control cannot know when
// another thread has got back from it, but it holds the event until its wait
// has ended, so the event comes no earlier than the whole time-out after the
// call began. The other station sends its request on seeing the control's
// own, so it is sent while the control waits.
TEST_F(ComTest, ACommandForAControlWaitingOnAWorkerIsHeldUntilTheWaitEnds) {
  using TClock = std::chrono::steady_clock;
  auto a = NewDriver();
  a->SetProperty(L"SrcAddress", TVariant::FromInt(40));
  constexpr int kTimeoutMs = 1500;
  TClock::time_point callStart{}, callEnd{};
  std::atomic<TClock::rep> sent{0};
  std::vector<TClock::time_point> events;
  a->OnCommand = [&](TPloverDriver&, int32_t) { events.push_back(TClock::now()); };
  TStationThread other([this] { return NewDriver(); },
                       [&](TDriver& d) {
                         SendRequestTo40(d);
                         sent = TClock::now().time_since_epoch().count();
                       });
  ASSERT_TRUE(PumpUntil([&] { return other.Ready.load(); }));

  std::thread worker([&] {
    TComInit com(COINIT_MULTITHREADED);
    a->set_Timeout(kTimeoutMs);
    a->set_CommandType(0);
    a->set_CommandCode(0x11);
    a->set_CommandSrcAddress(40);
    a->set_CommandDstAddress(99);
    a->set_WaitAnswer(true);
    callStart = TClock::now();
    a->SendCommand();
    callEnd = TClock::now();
  });
  EXPECT_TRUE(PumpUntil([&] { return !events.empty(); }, kTimeoutMs + 5000));
  worker.join();
  ASSERT_NE(sent.load(), 0) << "the other station never saw the request";
  ASSERT_LT(TClock::time_point(TClock::duration(sent.load())), callEnd) << "sent after the wait: nothing was tested";
  ASSERT_EQ(events.size(), 1u);
  const auto heldMs = std::chrono::duration_cast<std::chrono::milliseconds>(events[0] - callStart).count();
  EXPECT_GE(heldMs, kTimeoutMs) << "raised while the call was still waiting";
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(callEnd - callStart).count(), kTimeoutMs);
}

using TCanUnload = HRESULT(STDAPICALLTYPE*)();

TCanUnload CanUnloadNow() {
  return reinterpret_cast<TCanUnload>(reinterpret_cast<void*>(GetProcAddress(DriverModule(), "DllCanUnloadNow")));
}

TEST_F(ComTest, ModuleCanUnloadOnceTheLastControlIsReleasedOnAnyThread) {
  ASSERT_NE(CanUnloadNow(), nullptr);
  {
    auto d = NewDriver();
    EXPECT_EQ(CanUnloadNow()(), S_FALSE);
  }
  EXPECT_EQ(CanUnloadNow()(), S_OK);

  // Released by a worker: the hidden window is closed on this thread, which
  // then has to handle its messages.
  auto d = NewDriver();
  d->OnCommand = [](TPloverDriver&, int32_t) {};
  std::thread worker([&] {
    TComInit com(COINIT_MULTITHREADED);
    d.reset();
  });
  worker.join();
  EXPECT_TRUE(PumpUntil([] { return CanUnloadNow()() == S_OK; }));
}

// ---------------------------------------------------------------- settings

// Keeps the user's saved settings out of the way of a test and puts them back.
class TSavedSettings {
 public:
  TSavedSettings() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    FHad = true;
    for (DWORD i = 0;; ++i) {
      wchar_t name[256];
      DWORD nameLen = 256, type = 0, size = 0;
      BYTE data[2048];
      size = sizeof data;
      if (RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
      FValues.push_back({name, type, std::vector<BYTE>(data, data + size)});
    }
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, kPath);
  }
  ~TSavedSettings() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kPath);
    if (!FHad) return;
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return;
    for (const auto& v : FValues)
      RegSetValueExW(key, v.Name.c_str(), 0, v.Type, v.Data.data(), static_cast<DWORD>(v.Data.size()));
    RegCloseKey(key);
  }
  static constexpr const wchar_t* kPath = L"Software\\PloverDrv";

 private:
  struct TValue {
    std::wstring Name;
    DWORD Type;
    std::vector<BYTE> Data;
  };
  bool FHad = false;
  std::vector<TValue> FValues;
};

DWORD RegDword(const wchar_t* name) {
  DWORD value = 0xFFFFFFFF, size = sizeof value;
  RegGetValueW(HKEY_CURRENT_USER, TSavedSettings::kPath, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

TEST_F(ComTest, NewControlTakesTheSavedSettings) {
  TSavedSettings saved;
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, TSavedSettings::kPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  DWORD timeout = 2345, src = 17, every = 3;
  const wchar_t method[] = L"GetECRStatus";
  RegSetValueExW(key, L"Timeout", 0, REG_DWORD, reinterpret_cast<BYTE*>(&timeout), sizeof timeout);
  RegSetValueExW(key, L"SrcAddress", 0, REG_DWORD, reinterpret_cast<BYTE*>(&src), sizeof src);
  RegSetValueExW(key, L"FaultEvery", 0, REG_DWORD, reinterpret_cast<BYTE*>(&every), sizeof every);
  RegSetValueExW(key, L"FaultMethod", 0, REG_SZ, reinterpret_cast<const BYTE*>(method), sizeof method);
  const wchar_t journal[] = L"C:\\журналы\\обмен.log", allow[] = L"10.0.2.0/24";
  DWORD journalKB = 64;
  RegSetValueExW(key, L"JournalFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(journal), sizeof journal);
  RegSetValueExW(key, L"JournalMaxKB", 0, REG_DWORD, reinterpret_cast<BYTE*>(&journalKB), sizeof journalKB);
  RegSetValueExW(key, L"BusAllow", 0, REG_SZ, reinterpret_cast<const BYTE*>(allow), sizeof allow);
  const wchar_t busFault[] = L"Delay";
  DWORD faultEvery = 4, faultDelay = 250;
  RegSetValueExW(key, L"BusFault", 0, REG_SZ, reinterpret_cast<const BYTE*>(busFault), sizeof busFault);
  RegSetValueExW(key, L"BusFaultEvery", 0, REG_DWORD, reinterpret_cast<BYTE*>(&faultEvery), sizeof faultEvery);
  RegSetValueExW(key, L"BusFaultDelay", 0, REG_DWORD, reinterpret_cast<BYTE*>(&faultDelay), sizeof faultDelay);
  // A value of the wrong kind is ignored: the default stays.
  RegSetValueExW(key, L"DstAddress", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"9"), 4);
  RegCloseKey(key);

  auto d = CreateComDriver();
  EXPECT_EQ(d->get_Timeout(), 2345);
  EXPECT_EQ(d->get_SrcAddress(), 17);
  EXPECT_EQ(d->get_FaultEvery(), 3);
  EXPECT_EQ(d->get_FaultMethod(), L"GetECRStatus");
  EXPECT_EQ(d->get_DstAddress(), TEcrSettings().DstAddress);
  EXPECT_EQ(d->get_JournalFile(), L"C:\\журналы\\обмен.log");
  EXPECT_EQ(d->get_JournalMaxKB(), 64);
  EXPECT_EQ(d->get_BusAllow(), L"10.0.2.0/24");
  EXPECT_EQ(d->get_BusListen(), L"127.0.0.1");
  EXPECT_EQ(d->get_BusHost(), L"");
  EXPECT_EQ(d->get_BusFault(), L"delay");
  EXPECT_EQ(d->get_BusFaultEvery(), 4);
  EXPECT_EQ(d->get_BusFaultDelay(), 250);
}

// Polls `done` from a thread with no windows of its own until it holds or
// the time is up; whether it held.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
  const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    Sleep(5);
  }
  return true;
}

// A dialog of this process with this caption, other than `except`.
HWND WaitDialog(const wchar_t* title, HWND except = nullptr) {
  HWND found = nullptr;
  WaitFor([&] { return (found = DialogOf(GetCurrentProcessId(), title, except)) != nullptr; });
  return found;
}

void Press(HWND dlg, int id) {
  PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
}

std::wstring ItemText(HWND dlg, int id) {
  wchar_t buf[256] = {};
  GetDlgItemTextW(dlg, id, buf, 256);
  return buf;
}

TEST_F(ComTest, SettingsDialogShowsAppliesAndSavesTheSettings) {
  TSavedSettings saved;
  const std::wstring journal = TestBinDir() + L"settings-journal.log";
  DeleteFileW(journal.c_str());
  const std::wstring scenario = TestBinDir() + L"settings-scenario.txt";
  WriteWholeFile(scenario, "92h\r\n");
  auto d = NewDriver();
  d->set_Timeout(1500);
  int commands = 0;
  d->OnCommand = [&](TPloverDriver&, int32_t) { ++commands; };

  std::atomic<bool> ok{true};
  std::wstring shownTimeout, shownBus, shownFault;
  std::thread user([&] {
    HWND dlg = WaitDialog(kDrvPropsTitle);
    if (!dlg) {
      ok = false;
      return;
    }
    shownTimeout = ItemText(dlg, idTimeout);
    shownBus = ItemText(dlg, idBusKind);
    shownFault = ItemText(dlg, idBusFault);
    SendDlgItemMessageW(dlg, idBusFault, CB_SETCURSEL, 2, 0);
    SetDlgItemTextW(dlg, idBusFaultEvery, L"5");
    SetDlgItemTextW(dlg, idBusFaultDelay, L"1500");
    SetDlgItemTextW(dlg, idTimeout, L"4321");
    SetDlgItemTextW(dlg, idFaultMethod, L"GetFMStatus");
    SetDlgItemTextW(dlg, idJournalFile, journal.c_str());
    SetDlgItemTextW(dlg, idJournalMaxKB, L"512");
    SetDlgItemTextW(dlg, idBusHost, L" 192.168.1.10 ");
    SetDlgItemTextW(dlg, idBusListen, L"");
    SetDlgItemTextW(dlg, idBusAllow, L"192.168.1.20, 10.0.2.0/24");
    SendDlgItemMessageW(dlg, idDeviceNotAnswering, BM_SETCHECK, BST_CHECKED, 0);
    SetDlgItemTextW(dlg, idDeskScenario, scenario.c_str());
    SetDlgItemTextW(dlg, idDeskCount, L"2");
    SetDlgItemTextW(dlg, idDeskFirstAddress, L"20");
    SendDlgItemMessageW(dlg, idDeskReplayPace, CB_SETCURSEL, 1, 0);
    Press(dlg, idDeskRequest);
    Press(dlg, IDOK);
  });
  EXPECT_EQ(d->ShowProperties(), 0);
  user.join();
  ASSERT_TRUE(ok.load());
  EXPECT_EQ(shownTimeout, L"1500");
  EXPECT_EQ(shownBus, L"Внутри процесса");
  EXPECT_EQ(shownFault, L"нет");
  EXPECT_EQ(d->get_BusFault(), L"duplicate");
  EXPECT_EQ(d->get_BusFaultEvery(), 5);
  EXPECT_EQ(d->get_BusFaultDelay(), 1500);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, TSavedSettings::kPath, L"BusFault"), L"duplicate");
  EXPECT_EQ(RegDword(L"BusFaultEvery"), 5u);
  EXPECT_EQ(d->get_Timeout(), 4321);
  EXPECT_EQ(d->get_FaultMethod(), L"GetFMStatus");
  EXPECT_TRUE(d->get_DeviceNotAnswering());
  EXPECT_EQ(RegDword(L"Timeout"), 4321u);
  EXPECT_EQ(RegDword(L"DeviceNotAnswering"), 1u);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, TSavedSettings::kPath, L"FaultMethod"), L"GetFMStatus");
  // Addresses without the blanks around them; an empty listening address is
  // the closed default.
  EXPECT_EQ(d->get_BusHost(), L"192.168.1.10");
  EXPECT_EQ(d->get_BusListen(), L"127.0.0.1");
  EXPECT_EQ(d->get_BusAllow(), L"192.168.1.20, 10.0.2.0/24");
  EXPECT_EQ(d->get_JournalMaxKB(), 512);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, TSavedSettings::kPath, L"BusAllow"), L"192.168.1.20, 10.0.2.0/24");
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, TSavedSettings::kPath, L"JournalFile"), journal);
  EXPECT_EQ(RegDword(L"JournalMaxKB"), 512u);
  EXPECT_EQ(d->get_DeskScenario(), scenario);
  EXPECT_EQ(d->get_DeskCount(), 2);
  EXPECT_EQ(d->get_DeskFirstAddress(), 20);
  EXPECT_EQ(d->get_DeskReplayPace(), 1);
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, TSavedSettings::kPath, L"DeskScenario"), scenario);
  EXPECT_EQ(RegDword(L"DeskCount"), 2u);
  EXPECT_EQ(RegDword(L"DeskFirstAddress"), 20u);
  EXPECT_EQ(RegDword(L"DeskReplayPace"), 1u);

  // The desk's request was raised while the dialog ran its own message loop.
  EXPECT_TRUE(PumpUntil([&] { return commands > 0; }));
  // The journal is on at once: this control's calls are in it once it goes.
  d->set_CommandID(999999);
  EXPECT_EQ(d->GetCommand(), -5);
  d.reset();
  std::string text = ReadWholeFile(journal);
  EXPECT_EQ(text.rfind("\xEF\xBB\xBF", 0), 0u);
  EXPECT_NE(text.find("GetCommand(CommandID=999999) = -5 ("), std::string::npos) << text;
  DeleteFileW(journal.c_str());
}

TEST_F(ComTest, SettingsDialogRefusesAWrongNumberAndCancelKeepsEverything) {
  TSavedSettings saved;
  const std::wstring scenario = TestBinDir() + L"wrong-scenario.txt";
  WriteWholeFile(scenario, "92h\r\n80h Prise=1\r\n");
  auto d = NewDriver();
  d->set_Timeout(1500);
  // Each wrong value is refused with a message; Cancel then keeps everything.
  const std::pair<WORD, const wchar_t*> wrong[] = {
      {idBusPort, L"0"},
      {idBusFaultDelay, L"60001"},
      {idBusHost, L"hub.local"},
      {idBusAllow, L"192.168.1.20; 10.0.2.0/33"},
      {idJournalFile, L"Z:\\нет такой папки\\обмен.log"},
      {idDeskScenario, scenario.c_str()},
      {idDeskCount, L"0"},
      {idDeskFirstAddress, L"256"},
  };
  for (const auto& [id, text] : wrong) {
    std::atomic<bool> sawError{false};
    std::thread user([&, id = id, text = text] {
      HWND dlg = WaitDialog(kDrvPropsTitle);
      if (!dlg) return;
      SetDlgItemTextW(dlg, idTimeout, L"999");
      SetDlgItemTextW(dlg, id, text);
      Press(dlg, IDOK);
      if (HWND box = WaitDialog(kDrvPropsTitle, dlg)) {
        sawError = true;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        // Cancel once the error box has gone and the dialog takes input again.
        WaitFor([&] { return !IsWindow(box) && IsWindowEnabled(dlg); }, 10000);
      }
      Press(dlg, IDCANCEL);
    });
    EXPECT_EQ(d->ShowProperties(), 0);
    user.join();
    EXPECT_TRUE(sawError.load()) << id;
    EXPECT_EQ(d->get_Timeout(), 1500);
    EXPECT_EQ(RegDword(L"Timeout"), 0xFFFFFFFFu);
  }
}

}  // namespace
