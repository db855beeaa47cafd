#pragma once
// The dispatch tables of the six interfaces, expanded from the member lists.

#include "velkor/dispatch.h"
#include "velkor/interfaces.h"

namespace velkor {

template <class Interface>
struct InterfaceTable;

#define VELKOR_TABLE_ENTRY(kind, dispid, name, parameters)                                          \
  dispatch::Member{dispid, dispatch::MemberKind::kind, #name, #parameters,                          \
                   &dispatch::Invoke<&Interface::VELKOR_MEMBER_NAME(kind, name)>},
#define VELKOR_DEFINE_TABLE(interface, memberList)                          \
  template <>                                                            \
  struct InterfaceTable<interface> {                                     \
    using Interface = interface;                                         \
    static constexpr std::string_view name = #interface;                 \
    static constexpr const IID& iid = IID_##interface;                   \
    static constexpr dispatch::Member members_[] = {memberList(VELKOR_TABLE_ENTRY)}; \
    static constexpr std::span<const dispatch::Member> members{members_}; \
  };
VELKOR_INTERFACES(VELKOR_DEFINE_TABLE)
#undef VELKOR_DEFINE_TABLE
#undef VELKOR_TABLE_ENTRY

// IDispatch for one of the six interfaces.
template <class Interface>
using Dispatchable = dispatch::DispatchImpl<Interface, InterfaceTable<Interface>::members_>;

}  // namespace velkor
