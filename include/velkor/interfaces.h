#pragma once
// The engine's six dual interfaces and their enumerations, declared from the
// member lists in interface_members.h.

#include "velkor/automation_types.h"
#include "velkor/guid.h"
#include "velkor/interface_members.h"
#include "velkor/unknown.h"
#include "velkor/variant.h"

#define VELKOR_ENUM_VALUE(name, number) name = number,
#define VELKOR_DECLARE_ENUM(type, values) enum type : INT { values };
VELKOR_ENUMERATIONS(VELKOR_DECLARE_ENUM, VELKOR_ENUM_VALUE)
#undef VELKOR_DECLARE_ENUM
#undef VELKOR_ENUM_VALUE

struct IVNXMotor;

#define VELKOR_DECLARE_MEMBER(kind, dispid, name, parameters) \
  virtual HRESULT VELKOR_MEMBER_NAME(kind, name) parameters = 0;
#define VELKOR_DECLARE_INTERFACE(interface, members) \
  struct interface : IDispatch {                     \
    members(VELKOR_DECLARE_MEMBER)                   \
   protected:                                        \
    ~interface() = default;                          \
  };
VELKOR_INTERFACES(VELKOR_DECLARE_INTERFACE)
#undef VELKOR_DECLARE_INTERFACE
#undef VELKOR_DECLARE_MEMBER

inline constexpr IID IID_IVNXComm = velkor::GuidLiteral("{5A3E71C8-4D2B-11D4-9C1E-0040A1B2C3D4}");
inline constexpr IID IID_IVNXCMotion = velkor::GuidLiteral("{5A3E71C9-4D2B-11D4-9C1E-0040A1B2C3D4}");
inline constexpr IID IID_IVNXPath = velkor::GuidLiteral("{6F2C8A31-7D05-4B9E-9A14-E3B6D0C5F782}");
inline constexpr IID IID_IVNXMotor = velkor::GuidLiteral("{7C41D2E5-93AB-4F10-8B6C-2D5E9A0F1B37}");
inline constexpr IID IID_IVNXScan = velkor::GuidLiteral("{3E9A0B14-6C2D-4E71-A5F8-91B0C7D2E6A4}");
inline constexpr IID IID_IVNXErrors = velkor::GuidLiteral("{9B4E1D76-2A8F-4C35-B0D9-47E1F6A3C528}");

inline constexpr CLSID CLSID_VNXHost = velkor::GuidLiteral("{5A3E71CA-4D2B-11D4-9C1E-0040A1B2C3D4}");
inline constexpr CLSID CLSID_VNXScan = velkor::GuidLiteral("{0D7B5E92-1F4C-4A83-B26E-5C8F3A9D0E17}");
inline constexpr CLSID CLSID_VNXMotor = velkor::GuidLiteral("{2A6D9F40-8E13-4D57-9C2B-F05A7E4B1D93}");
inline constexpr GUID LIBID_VELKORLib = velkor::GuidLiteral("{5A3E71C0-4D2B-11D4-9C1E-0040A1B2C3D4}");
