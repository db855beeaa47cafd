// The four entry points every in-process server exports.

#include <dlfcn.h>

#include <filesystem>

#include "engine/host/class_factory.h"
#include "engine/host/host_object.h"
#include "engine/core/module.h"
#include "engine/host/registration.h"
#include "engine/compiler/scan_object.h"
#include "platform/registry/registry.h"

#define VELKOR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::filesystem::path ModulePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || !info.dli_fname) return {};
  std::error_code error;
  auto path = std::filesystem::canonical(info.dli_fname, error);
  return error ? std::filesystem::path(info.dli_fname) : path;
}

template <class Object>
HRESULT HandOutFactory(REFIID iid, void** object) {
  auto* factory = velkor::engine::MakeObject<velkor::engine::ClassFactory<Object>>();
  if (!factory) return E_OUTOFMEMORY;
  HRESULT status = factory->QueryInterface(iid, object);
  factory->Release();
  return status;
}

}  // namespace

VELKOR_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (clsid == CLSID_VNXHost) return HandOutFactory<velkor::engine::CVNXHost>(iid, object);
  if (clsid == CLSID_VNXScan) return HandOutFactory<velkor::engine::CVNXScan>(iid, object);
  return CLASS_E_CLASSNOTAVAILABLE;
}

VELKOR_EXPORT HRESULT DllCanUnloadNow() { return velkor::engine::module::References() == 0 ? S_OK : S_FALSE; }

VELKOR_EXPORT HRESULT DllRegisterServer() {
  const std::filesystem::path module = ModulePath();
  if (module.empty()) return SELFREG_E_CLASS;
  const std::string root(velkor::registry::kClassesRoot);
  bool written = velkor::registry::Edit(velkor::registry::Hive::CurrentUser, [&](velkor::registry::HiveContents& hive) {
    velkor::engine::AddServerKeys(hive, root, module);
    velkor::engine::AddTypeLibraryKeys(hive, root, module);
    return true;
  });
  return written ? S_OK : SELFREG_E_CLASS;
}

// The type library's registration stays, as the platform's unregistration
// leaves it.
VELKOR_EXPORT HRESULT DllUnregisterServer() {
  const std::string root(velkor::registry::kClassesRoot);
  bool written = velkor::registry::Edit(velkor::registry::Hive::CurrentUser, [&](velkor::registry::HiveContents& hive) {
    velkor::engine::RemoveServerKeys(hive, root);
    return true;
  });
  return written ? S_OK : SELFREG_E_CLASS;
}
