// The engine as its clients see it: registered with the command-line client,
// created by ProgID through the runtime, failing with error information.

#include <gtest/gtest.h>
#include <dlfcn.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>

#include "tests/support/client_process.h"
#include "tests/support/engine_failure.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/interfaces.h"
#include "velkor/window.h"

using velkor::ComPtr;
using velkor::testing::ReadFile;
using velkor::testing::BinaryFolder;
using velkor::testing::ScopedEnvironment;
using velkor::testing::TakeFailure;

namespace {

class ServerTest : public ::testing::Test {
 protected:
  velkor::testing::TemporaryRegistry registry_;
};

}  // namespace

TEST_F(ServerTest, RegisteredClassesAreCreatedByProgIdAndFailWithErrorInformation) {
  // Take away the registration-free way, so that only the registry can find it.
  ScopedEnvironment noFallback("VELKOR_LIBRARY", (registry_.folder() / "missing.so").string());
  CLSID clsid;
  EXPECT_EQ(velkor::ClassIdFromText("VNXEngine.VNXHost", &clsid), CO_E_CLASSSTRING);

  auto run = velkor::testing::RunClient("register --library " + (BinaryFolder() / "libvelkor.so").string());
  ASSERT_EQ(run.status, 0) << run.output;
  const std::string hive = ReadFile(registry_.UserFile());
  EXPECT_NE(hive.find("[HKEY_CURRENT_USER\\Software\\Classes\\CLSID\\{5A3E71CA-4D2B-11D4-9C1E-0040A1B2C3D4}\\InprocServer32]"),
            std::string::npos)
      << hive;
  EXPECT_NE(hive.find("\"ThreadingModel\"=\"both\""), std::string::npos);
  EXPECT_NE(hive.find("[HKEY_CURRENT_USER\\Software\\Classes\\VNXEngine.VNXHost\\CurVer]"), std::string::npos);
  EXPECT_EQ(hive.find("VNXEngine.VNXScan\\CurVer"), std::string::npos) << "VNXScan has no CurVer";
  EXPECT_EQ(hive.find("VNXEngine.Motor"), std::string::npos) << "VNXMotor is not registered";
  const std::string typeLibrary = "[HKEY_CURRENT_USER\\Software\\Classes\\TypeLib\\{5A3E71C0-4D2B-11D4-9C1E-0040A1B2C3D4}\\2.0\\0\\linux]\n@=\"" +
                                  (std::filesystem::canonical(BinaryFolder()) / "Velkor.tlb.json").string() + "\"";
  EXPECT_NE(hive.find(typeLibrary), std::string::npos) << "the description is registered where it ships";

  ComPtr<IVNXComm> host;
  ASSERT_EQ(velkor::CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid()), S_OK);
  LONG version = 0;
  EXPECT_EQ(host->get_EngineVersion(&version), S_OK);
  EXPECT_EQ(version, 0x02010102);

  // Log the compiler object's failures, then provoke one.
  velkor::Bstr logName((registry_.folder() / "engine.log").string());
  ASSERT_EQ(host->put_LogFileName(logName.get()), S_OK);
  ASSERT_EQ(host->put_LogFlags(8), S_OK);
  ComPtr<IVNXErrors> errors;
  ASSERT_EQ(velkor::CreateObject("VNXEngine.VNXScan.1", IID_IVNXErrors, errors.OutVoid()), S_OK);
  EXPECT_EQ(errors->GoNext(), E_FAIL);
  auto failure = TakeFailure();
  EXPECT_EQ(failure.description, "No more errors/warnings!");
  EXPECT_EQ(failure.helpContext, 33u);
  EXPECT_EQ(failure.iid, IID_IVNXErrors);
  EXPECT_TRUE(std::regex_match(ReadFile(registry_.folder() / "engine.log"),
                               std::regex(R"(\d\d:\d\d:\d\d\.\d{3} \*\*\*\*\*\* Exception:No more errors/warnings!\n\n)")));
  host->put_LogFlags(0);
  host->put_LogFileName(nullptr);

  errors.Reset();
  host.Reset();
  run = velkor::testing::RunClient("unregister --library " + (BinaryFolder() / "libvelkor.so").string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(velkor::ClassIdFromText("VNXEngine.VNXHost", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(CoCreateInstance(CLSID_VNXHost, nullptr, CLSCTX_INPROC_SERVER, IID_IVNXComm, host.OutVoid()),
            REGDB_E_CLASSNOTREG);
}

TEST_F(ServerTest, UnregisteredClassesAreFoundBesideTheProgram) {
  // No registration at all: the library and its manifest beside the test.
  ComPtr<IVNXComm> host;
  ASSERT_EQ(velkor::CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid()), S_OK);
  ComPtr<IVNXPath> path;
  EXPECT_EQ(host.As(IID_IVNXPath, path), S_OK);
  ComPtr<IVNXScan> notOffered;
  EXPECT_EQ(host.As(IID_IVNXScan, notOffered), E_NOINTERFACE);
  ComPtr<ISupportErrorInfo> support;
  ASSERT_EQ(host.As(IID_ISupportErrorInfo, support), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXCMotion), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IVNXMotor), S_FALSE);

  CLSID clsid;
  EXPECT_EQ(velkor::ClassIdFromText("VNXEngine.Motor", &clsid), CO_E_CLASSSTRING) << "not creatable";
  ComPtr<IUnknown> motor;
  EXPECT_EQ(CoCreateInstance(CLSID_VNXMotor, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, motor.OutVoid()),
            REGDB_E_CLASSNOTREG);
}

TEST_F(ServerTest, HostReadsItsConfigurationAndLogsItsCreation) {
  velkor::testing::WriteFile(registry_.UserFile(),
                             "Windows Registry Editor Version 5.00\n\n"
                             "[HKEY_CURRENT_USER\\SOFTWARE\\Trevano\\VNXEngine\\IVNXComm]\n"
                             "\"EchoTimeoutConst\"=dword:00000000\n"
                             "\"TxMaxRetry\"=dword:00000004\n"
                             "\"LogFlags\"=dword:00000001\n"
                             "\"LogFileName\"=\"" +
                                 (registry_.folder() / "host.log").string() + "\"\n");
  ComPtr<IVNXComm> host;
  ASSERT_EQ(velkor::CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid()), S_OK);
  LONG value = 0;
  host->get_EchoTimeoutConst(&value);
  EXPECT_EQ(value, 100);
  host->get_TxMaxRetry(&value);
  EXPECT_EQ(value, 4);
  host->get_TxTimeoutMul(&value);
  EXPECT_EQ(value, -1);
  EXPECT_TRUE(std::regex_match(ReadFile(registry_.folder() / "host.log"),
                               std::regex(R"(\d\d:\d\d:\d\d\.\d{3} \*\*\*\*\*\*\*\*\*\* IVNXHost Object created\.\n)")));

  // Properties last for the object; the registry is never written.
  const std::string before = ReadFile(registry_.UserFile());
  EXPECT_EQ(host->put_TxTimeoutConst(25), S_OK);
  host->get_TxTimeoutConst(&value);
  EXPECT_EQ(value, 25);
  EXPECT_EQ(ReadFile(registry_.UserFile()), before);
  EXPECT_EQ(host->get_TxTimeoutConst(nullptr), E_POINTER);
  host->put_LogFlags(0);
  host->put_LogFileName(nullptr);
}

TEST_F(ServerTest, LateBoundCallsReachTheSameMembers) {
  ComPtr<IDispatch> host;
  ASSERT_EQ(velkor::CreateObject("VNXEngine.VNXHost", IID_IDispatch, host.OutVoid()), S_OK);
  std::u16string name = u"EngineVersion";
  LPOLESTR names[] = {name.data()};
  DISPID dispid = 0;
  ASSERT_EQ(host->GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid), S_OK);
  EXPECT_EQ(dispid, 51);
  velkor::Variant result;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  ASSERT_EQ(host->Invoke(dispid, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 0x02010102);

  velkor::Variant retries;
  retries.vt = VT_BSTR;
  retries.bstrVal = velkor::AllocBstr("6");
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS one{&retries, &put, 1, 1};
  ASSERT_EQ(host->Invoke(40, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &one, nullptr, nullptr, nullptr), S_OK);
  ComPtr<IVNXComm> comm;
  ASSERT_EQ(host.As(IID_IVNXComm, comm), S_OK);
  LONG value = 0;
  comm->get_TxMaxRetry(&value);
  EXPECT_EQ(value, 6);
}

TEST_F(ServerTest, NotificationWindowIsStoredWithoutSendingAnything) {
  int calls = 0;
  velkor::NotificationWindow window([&](std::uint32_t, VNX_WPARAM, VNX_LPARAM) -> VNX_LRESULT {
    ++calls;
    return 1;
  });
  ComPtr<IVNXComm> host;
  ASSERT_EQ(velkor::CreateObject("VNXEngine.VNXHost", IID_IVNXComm, host.OutVoid()), S_OK);
  EXPECT_EQ(host->InitializeNotification(window.Handle(), 0x8001), S_OK);
  EXPECT_EQ(host->InitializeNotification(0, 0), S_OK);
  EXPECT_EQ(calls, 0);
}

TEST(ServerEntryPoints, FactoryCountsAndUnknownClasses) {
  void* library = dlopen((BinaryFolder() / "libvelkor.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto getClassObject = reinterpret_cast<HRESULT (*)(REFCLSID, REFIID, void**)>(dlsym(library, "DllGetClassObject"));
  auto canUnloadNow = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllCanUnloadNow"));
  ASSERT_TRUE(getClassObject && canUnloadNow);
  EXPECT_EQ(dlsym(library, "_ZN6velkor6engine3log5FlagsEv"), nullptr) << "internals stay hidden";

  EXPECT_EQ(canUnloadNow(), S_OK);
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(getClassObject(CLSID_VNXMotor, IID_IClassFactory, factory.OutVoid()), CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(getClassObject(CLSID_VNXScan, IID_IClassFactory, factory.OutVoid()), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "a live factory keeps the library";
  ComPtr<IUnknown> object;
  ComPtr<IUnknown> outer;
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory.get()), IID_IUnknown, object.OutVoid()),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IVNXComm, object.OutVoid()), E_NOINTERFACE);
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IVNXScan, object.OutVoid()), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnloadNow(), S_FALSE) << "so does a live object";
  object.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  EXPECT_EQ(getClassObject(CLSID_VNXHost, IID_IClassFactory, nullptr), E_POINTER);
  dlclose(library);
}
