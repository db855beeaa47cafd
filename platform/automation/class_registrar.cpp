#include "platform/automation/class_registrar.h"

#include <cstdio>

#include "velkor/guid.h"

namespace velkor::automation {

namespace {
std::string Under(std::string_view root, std::string_view key) {
  if (root.empty()) return std::string(key);
  std::string path(root);
  path += '\\';
  path += key;
  return path;
}
}  // namespace

void AddClassKeys(registry::HiveContents& hive, std::string_view root, const ClassRegistration& entry,
                  std::string_view modulePath) {
  const std::string clsid = FormatGuid(entry.clsid);
  const std::string description(entry.description);

  const std::string versioned = Under(root, entry.progId);
  hive.Set(versioned, "", description);
  hive.Set(versioned + "\\CLSID", "", clsid);

  const std::string independent = Under(root, entry.versionIndependentProgId);
  hive.Set(independent, "", description);
  hive.Set(independent + "\\CLSID", "", clsid);
  if (entry.currentVersion) hive.Set(independent + "\\CurVer", "", std::string(entry.progId));

  // The class key is replaced whole, so no stale subkey of an older
  // registration survives.
  const std::string classKey = Under(root, "CLSID\\" + clsid);
  hive.DeleteKeyTree(classKey);
  hive.Set(classKey, "", description);
  hive.Set(classKey + "\\ProgID", "", std::string(entry.progId));
  hive.Set(classKey + "\\VersionIndependentProgID", "", std::string(entry.versionIndependentProgId));
  if (entry.programmable) hive.CreateKey(classKey + "\\Programmable");
  hive.Set(classKey + "\\InprocServer32", "", std::string(modulePath));
  hive.Set(classKey + "\\InprocServer32", "ThreadingModel", std::string(entry.threadingModel));
  if (entry.typeLibrary) hive.Set(classKey + "\\TypeLib", "", FormatGuid(*entry.typeLibrary));
}

void RemoveClassKeys(registry::HiveContents& hive, std::string_view root, const ClassRegistration& entry) {
  hive.DeleteKeyTree(Under(root, entry.progId));
  hive.DeleteKeyTree(Under(root, entry.versionIndependentProgId));
  hive.DeleteKeyTree(Under(root, "CLSID\\" + FormatGuid(entry.clsid)));
}

void AddTypeLibraryKeys(registry::HiveContents& hive, std::string_view root, const TypeLibraryRegistration& entry) {
  char version[32];
  std::snprintf(version, sizeof version, "%d.%d", entry.majorVersion, entry.minorVersion);
  const std::string library = FormatGuid(entry.id);
  const std::string key = Under(root, "TypeLib\\" + library + "\\" + version);
  hive.DeleteKeyTree(key);
  hive.Set(key, "", std::string(entry.helpString));
  hive.Set(key + "\\FLAGS", "", std::string("0"));
  hive.Set(key + "\\HELPDIR", "", entry.helpFolder);
  hive.Set(key + "\\0\\linux", "", entry.descriptionPath);
  for (const InterfaceRegistration& interface : entry.interfaces) {
    const std::string interfaceKey = Under(root, "Interface\\" + FormatGuid(interface.iid));
    hive.DeleteKeyTree(interfaceKey);
    hive.Set(interfaceKey, "", std::string(interface.name));
    hive.Set(interfaceKey + "\\TypeLib", "", library);
    hive.Set(interfaceKey + "\\TypeLib", "Version", std::string(version));
  }
}

}  // namespace velkor::automation
