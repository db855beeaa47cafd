#pragma once
// The engine's type library: its identity, its classes and which interfaces
// each class offers. Registration and the shipped description both use it.

#include <span>
#include <string_view>

#include "velkor/interfaces.h"

namespace velkor::type_library {

inline constexpr std::string_view kName = "VELKORLib";
inline constexpr const GUID& kId = LIBID_VELKORLib;
inline constexpr int kMajorVersion = 2;
inline constexpr int kMinorVersion = 0;
inline constexpr LCID kLocale = 0x409;
inline constexpr std::string_view kHelpString = "Velkor 2.0 Type Library";
inline constexpr std::string_view kDescriptionFile = "Velkor.tlb.json";

struct ClassInterface {
  std::string_view name;
  const IID& iid;
  bool isDefault;
};

struct ClassDescription {
  std::string_view name;
  const CLSID& clsid;
  std::string_view progId;
  std::string_view versionIndependentProgId;
  std::string_view description;
  bool creatable;       // has a class factory and is registered
  bool fullRegistration;  // CurVer, Programmable and TypeLib entries too
  std::span<const ClassInterface> interfaces;
};

inline constexpr ClassInterface kHostInterfaces[] = {
    {"IVNXComm", IID_IVNXComm, true}, {"IVNXCMotion", IID_IVNXCMotion, false}, {"IVNXPath", IID_IVNXPath, false}};
inline constexpr ClassInterface kScanInterfaces[] = {{"IVNXScan", IID_IVNXScan, true},
                                                     {"IVNXErrors", IID_IVNXErrors, false}};
inline constexpr ClassInterface kMotorInterfaces[] = {{"IVNXMotor", IID_IVNXMotor, true}};

inline constexpr ClassDescription kClasses[] = {
    {"VNXHost", CLSID_VNXHost, "VNXEngine.VNXHost.1", "VNXEngine.VNXHost", "VNXHost Class", true, true,
     kHostInterfaces},
    {"VNXScan", CLSID_VNXScan, "VNXEngine.VNXScan.1", "VNXEngine.VNXScan", "VNXScan Class", true, false,
     kScanInterfaces},
    {"VNXMotor", CLSID_VNXMotor, "VNXEngine.Motor.1", "VNXEngine.Motor", "Motor Class", false, false,
     kMotorInterfaces},
};

}  // namespace velkor::type_library
