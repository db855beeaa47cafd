#pragma once
// Until a later version of the engine provides them, the members of an
// interface answer E_NOTIMPL with error information naming the member. An
// object derives from this for its interface and overrides what it has.

#include "engine/core/guard.h"
#include "velkor/interface_tables.h"

namespace velkor::engine {

template <class Interface>
class NotYetImplemented;

#define VELKOR_NOT_IMPLEMENTED_MEMBER(kind, dispid, member, parameters)                       \
  HRESULT VELKOR_MEMBER_NAME(kind, member) parameters override {                              \
    return NotImplemented(InterfaceTable<Interface>::iid, InterfaceTable<Interface>::name,   \
                          VELKOR_NOT_IMPLEMENTED_NAME_##kind(#member));                       \
  }
#define VELKOR_NOT_IMPLEMENTED_NAME_method(text) text
#define VELKOR_NOT_IMPLEMENTED_NAME_propget(text) "get " text
#define VELKOR_NOT_IMPLEMENTED_NAME_propput(text) "put " text
// The generated members take their arguments without looking at them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define VELKOR_NOT_IMPLEMENTED_INTERFACE(interface, memberList)           \
  template <>                                                             \
  class NotYetImplemented<interface> : public Dispatchable<interface> {   \
   public:                                                                \
    using Interface = interface;                                          \
    memberList(VELKOR_NOT_IMPLEMENTED_MEMBER)                             \
  };
VELKOR_INTERFACES(VELKOR_NOT_IMPLEMENTED_INTERFACE)
#undef VELKOR_NOT_IMPLEMENTED_INTERFACE
#undef VELKOR_NOT_IMPLEMENTED_MEMBER
#pragma GCC diagnostic pop

}  // namespace velkor::engine
