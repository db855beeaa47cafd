#include "velkor/activation.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>

#include "platform/automation/class_registrar.h"
#include "platform/registry/registry.h"
#include "velkor/bstr.h"
#include "velkor/com_ptr.h"
#include "velkor/guid.h"

namespace {

using velkor::registry::Hive;
using velkor::registry::HiveContents;

using GetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : executable.parent_path();
}

// The engine library used when a class is not registered.
std::filesystem::path FallbackLibrary() {
  if (const char* named = std::getenv("VELKOR_LIBRARY"); named && *named) return named;
  return ExecutableFolder() / "libvelkor.so";
}

std::optional<HiveContents> ReadManifest(const std::filesystem::path& library) {
  std::ifstream file(library.string() + ".manifest", std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return HiveContents::Parse(text.str(), velkor::automation::kManifestRootName);
}

std::optional<std::string> StringOf(const std::optional<velkor::registry::Value>& value) {
  if (!value) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&*value)) return *text;
  return std::nullopt;
}

// A value under the classes root: the user's classes, then the machine's,
// then the manifest of the fallback library. `fromManifest` tells which.
std::optional<std::string> ClassesValue(const std::string& key, std::string_view name, bool* fromManifest) {
  const std::string classesKey = std::string(velkor::registry::kClassesRoot) + "\\" + key;
  for (Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
    if (auto value = StringOf(velkor::registry::ReadHive(hive).Get(classesKey, name))) {
      if (fromManifest) *fromManifest = false;
      return value;
    }
  }
  if (auto manifest = ReadManifest(FallbackLibrary())) {
    if (auto value = StringOf(manifest->Get(key, name))) {
      if (fromManifest) *fromManifest = true;
      return value;
    }
  }
  return std::nullopt;
}

// Libraries stay loaded for the life of the process: objects they made may
// be held anywhere, and the platform's own unloading is advisory too.
HRESULT LoadClassObjectEntry(const std::string& library, GetClassObjectFunction& entry) {
  static std::mutex guard;
  static std::map<std::string, void*> loaded;
  std::lock_guard lock(guard);
  void*& handle = loaded[library];
  if (!handle) handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    loaded.erase(library);
    return CO_E_DLLNOTFOUND;
  }
  entry = reinterpret_cast<GetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
  return entry ? S_OK : CO_E_ERRORINDLL;
}

}  // namespace

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = GUID_NULL;
  if (!progId || !*progId) return CO_E_CLASSSTRING;
  const std::string name = velkor::Utf16ToUtf8(progId);
  auto text = ClassesValue(name + "\\CLSID", "", nullptr);
  if (!text) return CO_E_CLASSSTRING;
  auto parsed = velkor::ParseGuid(*text);
  if (!parsed) return CO_E_CLASSSTRING;
  *clsid = *parsed;
  return S_OK;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if ((context & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;
  bool fromManifest = false;
  auto library = ClassesValue("CLSID\\" + velkor::FormatGuid(clsid) + "\\InprocServer32", "", &fromManifest);
  std::string path;
  if (library && !fromManifest) {
    path = *library;
  } else {
    // Not registered: ask the fallback library itself, which refuses
    // classes it does not serve.
    path = FallbackLibrary().string();
  }
  GetClassObjectFunction entry = nullptr;
  HRESULT status = LoadClassObjectEntry(path, entry);
  if (FAILED(status)) return library ? status : REGDB_E_CLASSNOTREG;
  status = entry(clsid, iid, object);
  if (status == CLASS_E_CLASSNOTAVAILABLE && !library) return REGDB_E_CLASSNOTREG;
  return status;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  velkor::ComPtr<IClassFactory> factory;
  HRESULT status = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, factory.OutVoid());
  if (FAILED(status)) return status;
  return factory->CreateInstance(outer, iid, object);
}

namespace velkor {

HRESULT ClassIdFromText(std::string_view progIdOrClassId, CLSID* clsid) {
  if (!clsid) return E_POINTER;
  if (!progIdOrClassId.empty() && progIdOrClassId.front() == '{') {
    auto parsed = ParseGuid(progIdOrClassId);
    if (!parsed) return CO_E_CLASSSTRING;
    *clsid = *parsed;
    return S_OK;
  }
  std::u16string name = Utf8ToUtf16(progIdOrClassId);
  return CLSIDFromProgID(name.c_str(), clsid);
}

HRESULT CreateObject(std::string_view progIdOrClassId, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  CLSID clsid;
  HRESULT status = ClassIdFromText(progIdOrClassId, &clsid);
  if (FAILED(status)) return status;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
}

}  // namespace velkor
