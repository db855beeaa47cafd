#include <gtest/gtest.h>

#include <thread>

#include "velkor/automation.h"

using velkor::ComPtr;

namespace {
void Install(const char16_t* description) {
  ComPtr<ICreateErrorInfo> creator;
  ASSERT_EQ(CreateErrorInfo(creator.Out()), S_OK);
  std::u16string text(description);
  creator->SetDescription(text.data());
  creator->SetHelpContext(0x00030018);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(creator.As(IID_IErrorInfo, info), S_OK);
  SetErrorInfo(0, info.get());
}
}  // namespace

TEST(ErrorInfo, GetTakesTheInstalledObjectOnce) {
  Install(u"Motor(3):Buffer overflow!");
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
  velkor::Bstr description;
  info->GetDescription(description.Out());
  EXPECT_EQ(description.Utf8(), "Motor(3):Buffer overflow!");
  DWORD context = 0;
  info->GetHelpContext(&context);
  EXPECT_EQ(context, 0x00030018u);
  ComPtr<IErrorInfo> again;
  EXPECT_EQ(GetErrorInfo(0, again.Out()), S_FALSE);
  EXPECT_FALSE(again);
}

TEST(ErrorInfo, EachThreadHasItsOwnSlot) {
  Install(u"main thread");
  std::thread other([] {
    ComPtr<IErrorInfo> info;
    EXPECT_EQ(GetErrorInfo(0, info.Out()), S_FALSE);
    Install(u"other thread");  // released when the thread ends
  });
  other.join();
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.Out()), S_OK);
  velkor::Bstr description;
  info->GetDescription(description.Out());
  EXPECT_EQ(description.Utf8(), "main thread");
}

TEST(ErrorInfo, SettingNullClearsAndInterfacesAreQueried) {
  Install(u"x");
  SetErrorInfo(0, nullptr);
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(GetErrorInfo(0, info.Out()), S_FALSE);

  ComPtr<ICreateErrorInfo> creator;
  CreateErrorInfo(creator.Out());
  ComPtr<IUnknown> unknown;
  EXPECT_EQ(creator.As(IID_IUnknown, unknown), S_OK);
  ComPtr<IDispatch> none;
  EXPECT_EQ(creator.As(IID_IDispatch, none), E_NOINTERFACE);
  EXPECT_EQ(creator->QueryInterface(IID_IErrorInfo, nullptr), E_POINTER);
}
