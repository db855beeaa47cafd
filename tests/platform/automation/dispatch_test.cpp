// Late-bound calls through a small interface declared the way the engine's
// interfaces are, so that the conversions are exercised for every kind of
// parameter the engine uses.

#include <gtest/gtest.h>

#include <vector>

#include "velkor/automation.h"
#include "velkor/dispatch.h"
#include "velkor/interface_members.h"

#define TEST_MEMBERS(MEMBER)                                                  \
  MEMBER(method, 1, Add, (LONG First, LONG Second, LONG* Sum))                \
  MEMBER(propget, 2, Name, (BSTR* Name))                                      \
  MEMBER(propput, 2, Name, (BSTR Name))                                       \
  MEMBER(propget, 3, Echo, (VARIANT_BOOL* On))                                \
  MEMBER(propput, 3, Echo, (VARIANT_BOOL On))                                 \
  MEMBER(method, 4, Setup, (LONG Average, VNX_OPTIONAL VARIANT Minimum, LONG* Given)) \
  MEMBER(method, 5, Fail, ())                                                 \
  MEMBER(method, 6, StoreByte, (LONG Address, BYTE Value))                    \
  MEMBER(propget, 7, Half, (SHORT* Value))

struct ITest : IDispatch {
#define DECLARE(kind, dispid, name, parameters) virtual HRESULT VELKOR_MEMBER_NAME(kind, name) parameters = 0;
  TEST_MEMBERS(DECLARE)
#undef DECLARE
};

#define ENTRY(kind, dispid, name, parameters) \
  velkor::dispatch::Member{dispid, velkor::dispatch::MemberKind::kind, #name, #parameters, \
                           &velkor::dispatch::Invoke<&ITest::VELKOR_MEMBER_NAME(kind, name)>},
constexpr velkor::dispatch::Member kTestMembers[] = {TEST_MEMBERS(ENTRY)};
#undef ENTRY

class TestObject final : public velkor::dispatch::DispatchImpl<ITest, kTestMembers> {
 public:
  HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG AddRef() override { return 1; }
  ULONG Release() override { return 1; }

  HRESULT Add(LONG first, LONG second, LONG* sum) override {
    *sum = first + second;
    return S_OK;
  }
  HRESULT get_Name(BSTR* name) override {
    *name = velkor::AllocBstr(name_);
    return S_OK;
  }
  HRESULT put_Name(BSTR name) override {
    name_ = velkor::BstrToUtf8(name);
    return S_OK;
  }
  HRESULT get_Echo(VARIANT_BOOL* on) override {
    *on = echo_;
    return S_OK;
  }
  HRESULT put_Echo(VARIANT_BOOL on) override {
    echo_ = on;
    return S_OK;
  }
  HRESULT Setup(LONG, VARIANT minimum, LONG* given) override {
    *given = minimum.vt == VT_ERROR && minimum.scode == DISP_E_PARAMNOTFOUND ? 0 : 1;
    return S_OK;
  }
  HRESULT Fail() override {
    velkor::ComPtr<ICreateErrorInfo> creator;
    CreateErrorInfo(creator.Out());
    std::u16string text = u"Invalid Data!";
    creator->SetDescription(text.data());
    creator->SetHelpContext(19);
    velkor::ComPtr<IErrorInfo> info;
    creator.As(IID_IErrorInfo, info);
    SetErrorInfo(0, info.get());
    return E_FAIL;
  }
  HRESULT StoreByte(LONG, BYTE value) override {
    stored_ = value;
    return S_OK;
  }
  HRESULT get_Half(SHORT* value) override {
    *value = -2;
    return S_OK;
  }

  std::string name_ = "Com1";
  VARIANT_BOOL echo_ = VARIANT_TRUE;
  BYTE stored_ = 0;
};

namespace {

// Arguments are given first to last and passed in reverse, as the platform does.
HRESULT Call(IDispatch& object, DISPID dispid, WORD flags, std::vector<velkor::Variant> arguments,
             VARIANT* result, EXCEPINFO* exception = nullptr) {
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{reversed.data(), (flags & DISPATCH_PROPERTYPUT) ? &put : nullptr,
                        static_cast<UINT>(reversed.size()), (flags & DISPATCH_PROPERTYPUT) ? 1u : 0u};
  return object.Invoke(dispid, GUID_NULL, 0, flags, &parameters, result, exception, nullptr);
}

velkor::Variant Long(LONG value) {
  velkor::Variant v;
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}
velkor::Variant Text(const char* text) {
  velkor::Variant v;
  v.vt = VT_BSTR;
  v.bstrVal = velkor::AllocBstr(text);
  return v;
}

}  // namespace

TEST(Dispatch, NamesResolveWithoutRegardToCase) {
  TestObject object;
  std::u16string name = u"add";
  LPOLESTR names[] = {name.data()};
  DISPID dispid = 0;
  EXPECT_EQ(object.GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid), S_OK);
  EXPECT_EQ(dispid, 1);
  std::u16string unknown = u"Subtract";
  names[0] = unknown.data();
  EXPECT_EQ(object.GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(dispid, DISPID_UNKNOWN);
}

TEST(Dispatch, ConvertsArgumentsAndResults) {
  TestObject object;
  velkor::Variant result;
  ASSERT_EQ(Call(object, 1, DISPATCH_METHOD, {Long(40), Text("2")}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I4);
  EXPECT_EQ(result.lVal, 42);

  ASSERT_EQ(Call(object, 2, DISPATCH_PROPERTYPUT, {Text("COM7")}, nullptr), S_OK);
  ASSERT_EQ(Call(object, 2, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  EXPECT_EQ(velkor::BstrToUtf8(result.bstrVal), "COM7");

  ASSERT_EQ(Call(object, 3, DISPATCH_PROPERTYPUT, {Long(0)}, nullptr), S_OK);
  ASSERT_EQ(Call(object, 3, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_BOOL) << "a boolean stays a boolean, not a 16-bit number";
  EXPECT_EQ(result.boolVal, VARIANT_FALSE);
  ASSERT_EQ(Call(object, 7, DISPATCH_PROPERTYGET, {}, &result), S_OK);
  EXPECT_EQ(result.vt, VT_I2);

  velkor::Variant yes;
  yes.vt = VT_BOOL;
  yes.boolVal = VARIANT_TRUE;
  ASSERT_EQ(Call(object, 6, DISPATCH_METHOD, {Long(32000), yes}, nullptr), S_OK);
  EXPECT_EQ(object.stored_, 1) << "a script's True is one in an 8-bit flag";
}

TEST(Dispatch, OptionalArgumentsMayBeLeftOut) {
  TestObject object;
  velkor::Variant result;
  ASSERT_EQ(Call(object, 4, DISPATCH_METHOD, {Long(8)}, &result), S_OK);
  EXPECT_EQ(result.lVal, 0);
  ASSERT_EQ(Call(object, 4, DISPATCH_METHOD, {Long(8), Long(2)}, &result), S_OK);
  EXPECT_EQ(result.lVal, 1);
}

TEST(Dispatch, RefusesBadCallsWithThePlatformsStatus) {
  TestObject object;
  velkor::Variant result;
  EXPECT_EQ(Call(object, 1, DISPATCH_METHOD, {Long(1)}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(object, 1, DISPATCH_METHOD, {Long(1), Long(2), Long(3)}, &result), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(Call(object, 1, DISPATCH_METHOD, {Long(1), Text("two")}, &result), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(Call(object, 6, DISPATCH_METHOD, {Long(1), Long(256)}, &result), DISP_E_OVERFLOW);
  EXPECT_EQ(Call(object, 99, DISPATCH_METHOD, {}, &result), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Call(object, 1, DISPATCH_PROPERTYPUT, {Long(1)}, &result), DISP_E_MEMBERNOTFOUND)
      << "a method has no put";
}

TEST(Dispatch, FailureCarriesTheErrorInformation) {
  TestObject object;
  EXCEPINFO exception{};
  EXPECT_EQ(Call(object, 5, DISPATCH_METHOD, {}, nullptr, &exception), DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, E_FAIL);
  EXPECT_EQ(velkor::BstrToUtf8(exception.bstrDescription), "Invalid Data!");
  EXPECT_EQ(exception.dwHelpContext, 19u);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  // Without an exception record the member's own status comes back.
  EXPECT_EQ(Call(object, 5, DISPATCH_METHOD, {}, nullptr), E_FAIL);
}
