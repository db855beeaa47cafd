#include "velkor/dispatch.h"

#include "velkor/com_ptr.h"

namespace velkor::dispatch {

namespace {
char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameName(std::string_view ascii, std::u16string_view name) {
  if (ascii.size() != name.size()) return false;
  for (std::size_t i = 0; i < ascii.size(); ++i)
    if (Lower(static_cast<char16_t>(ascii[i])) != Lower(name[i])) return false;
  return true;
}
}  // namespace

const Member* FindMember(std::span<const Member> members, DISPID dispid, WORD flags) {
  const Member* get = nullptr;
  const Member* method = nullptr;
  const Member* put = nullptr;
  for (const Member& member : members) {
    if (member.dispid != dispid) continue;
    switch (member.kind) {
      case MemberKind::propget: get = &member; break;
      case MemberKind::method: method = &member; break;
      case MemberKind::propput: put = &member; break;
    }
  }
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return put;
  if ((flags & DISPATCH_PROPERTYGET) && get) return get;
  if ((flags & DISPATCH_METHOD) && method) return method;
  // Scripts often call a property get as a method and the other way round.
  if (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) return get ? get : method;
  return nullptr;
}

const Member* FindMemberByName(std::span<const Member> members, std::u16string_view name) {
  for (const Member& member : members)
    if (SameName(member.name, name)) return &member;
  return nullptr;
}

void FillExceptionInfo(HRESULT status, EXCEPINFO* exception) {
  *exception = EXCEPINFO{};
  exception->scode = status;
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Out()) != S_OK || !info) return;
  info->GetSource(&exception->bstrSource);
  info->GetDescription(&exception->bstrDescription);
  info->GetHelpFile(&exception->bstrHelpFile);
  info->GetHelpContext(&exception->dwHelpContext);
}

}  // namespace velkor::dispatch
