#pragma once
// Creating objects of in-process servers by ProgID or class identifier.
//
// A class is looked up in the registry stand-in (per-user classes first, then
// the machine's); its InprocServer32 library is loaded and asked for the class
// factory through its exported DllGetClassObject. A class that is not
// registered is still found without registration, as a manifest allows on the
// platform: in the engine library named by $VELKOR_LIBRARY, else in
// libvelkor.so beside the calling program, through the class list
// "<library>.manifest" that is shipped with it.

#include <string_view>

#include "velkor/automation_types.h"
#include "velkor/unknown.h"

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* reserved, REFIID iid, void** object);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);

namespace velkor {

// The class identifier of a ProgID, or of a "{...}" text.
HRESULT ClassIdFromText(std::string_view progIdOrClassId, CLSID* clsid);

// ClassIdFromText, then CoCreateInstance.
HRESULT CreateObject(std::string_view progIdOrClassId, REFIID iid, void** object);

}  // namespace velkor
