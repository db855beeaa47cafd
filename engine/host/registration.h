#pragma once
// The library's identity towards the class registry.

#include <filesystem>
#include <span>

#include "platform/automation/class_registrar.h"
#include "velkor/type_library.h"

namespace velkor::engine {

// What registration writes for a class of the type library.
automation::ClassRegistration RegistrationOf(const type_library::ClassDescription& description);

// The interfaces the type library registers.
std::span<const automation::InterfaceRegistration> RegisteredInterfaces();

// Adds (or removes) the entries of the creatable classes; `root` as in
// class_registrar.h.
void AddServerKeys(registry::HiveContents& hive, std::string_view root, const std::filesystem::path& module);
void RemoveServerKeys(registry::HiveContents& hive, std::string_view root);
void AddTypeLibraryKeys(registry::HiveContents& hive, std::string_view root, const std::filesystem::path& module);

}  // namespace velkor::engine
