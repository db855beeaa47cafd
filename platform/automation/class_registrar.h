#pragma once
// What an in-process server writes under the classes root when it registers,
// kept in one place so that registration, unregistration and the shipped
// registration-free manifest cannot drift apart.

#include <span>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"
#include "velkor/automation_types.h"

namespace velkor::automation {

struct ClassRegistration {
  CLSID clsid;
  std::string_view description;               // "VNXHost Class"
  std::string_view progId;                    // "VNXEngine.VNXHost.1"
  std::string_view versionIndependentProgId;  // "VNXEngine.VNXHost"
  std::string_view threadingModel;            // "both"
  bool currentVersion;                        // CurVer under the version-independent ProgID
  bool programmable;                          // the empty "Programmable" key
  const GUID* typeLibrary;                    // TypeLib key, or none
};

struct InterfaceRegistration {
  IID iid;
  std::string_view name;
};

struct TypeLibraryRegistration {
  GUID id;
  int majorVersion;
  int minorVersion;
  std::string_view helpString;
  std::string descriptionPath;  // the machine-readable description file
  std::string helpFolder;
  std::span<const InterfaceRegistration> interfaces;
};

// `root` is the key that stands for the classes root in `hive`
// ("Software\\Classes" in a user hive, "" in a manifest).
void AddClassKeys(registry::HiveContents& hive, std::string_view root, const ClassRegistration& entry,
                  std::string_view modulePath);
void RemoveClassKeys(registry::HiveContents& hive, std::string_view root, const ClassRegistration& entry);
void AddTypeLibraryKeys(registry::HiveContents& hive, std::string_view root, const TypeLibraryRegistration& entry);

// The root name a manifest file uses for its sections.
inline constexpr std::string_view kManifestRootName = "HKEY_CLASSES_ROOT";

}  // namespace velkor::automation
