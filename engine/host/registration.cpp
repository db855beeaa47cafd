#include "engine/host/registration.h"

namespace velkor::engine {

automation::ClassRegistration RegistrationOf(const type_library::ClassDescription& description) {
  return automation::ClassRegistration{
      description.clsid,
      description.description,
      description.progId,
      description.versionIndependentProgId,
      "both",
      description.fullRegistration,
      description.fullRegistration,
      description.fullRegistration ? &type_library::kId : nullptr,
  };
}

std::span<const automation::InterfaceRegistration> RegisteredInterfaces() {
  static const automation::InterfaceRegistration interfaces[] = {
#define VELKOR_INTERFACE_REGISTRATION(interface, members) {IID_##interface, #interface},
      VELKOR_INTERFACES(VELKOR_INTERFACE_REGISTRATION)
#undef VELKOR_INTERFACE_REGISTRATION
  };
  return interfaces;
}

void AddServerKeys(registry::HiveContents& hive, std::string_view root, const std::filesystem::path& module) {
  for (const auto& description : type_library::kClasses)
    if (description.creatable) automation::AddClassKeys(hive, root, RegistrationOf(description), module.string());
}

void RemoveServerKeys(registry::HiveContents& hive, std::string_view root) {
  for (const auto& description : type_library::kClasses)
    if (description.creatable) automation::RemoveClassKeys(hive, root, RegistrationOf(description));
}

void AddTypeLibraryKeys(registry::HiveContents& hive, std::string_view root, const std::filesystem::path& module) {
  const std::filesystem::path folder = module.parent_path();
  automation::AddTypeLibraryKeys(
      hive, root,
      automation::TypeLibraryRegistration{type_library::kId, type_library::kMajorVersion,
                                          type_library::kMinorVersion, type_library::kHelpString,
                                          (folder / type_library::kDescriptionFile).string(), folder.string(),
                                          RegisteredInterfaces()});
}

}  // namespace velkor::engine
