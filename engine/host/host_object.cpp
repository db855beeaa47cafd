#include "engine/host/host_object.h"

#include "engine/host/configuration.h"
#include "engine/core/log.h"
#include "engine/motion/path_state.h"

namespace velkor::engine {

CVNXHost::CVNXHost() {
  ApplyConfiguration(ReadStoredConfiguration(), *link_);
  link_->UseMotorConnections(&motors_);
  log::Write(log::kComm, "********** IVNXHost Object created.");
}

// A VNXMotor may keep the link alive beyond the host; it must not look into
// the motor list that goes with the host.
CVNXHost::~CVNXHost() { link_->UseMotorConnections(nullptr); }

HRESULT CVNXHost::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IVNXComm) {
    *object = static_cast<IVNXComm*>(this);
  } else if (iid == IID_IVNXCMotion) {
    *object = static_cast<IVNXCMotion*>(this);
  } else if (iid == IID_IVNXPath) {
    *object = static_cast<IVNXPath*>(this);
  } else if (iid == IID_ISupportErrorInfo) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

HRESULT CVNXHost::InterfaceSupportsErrorInfo(REFIID iid) {
  return iid == IID_IVNXComm || iid == IID_IVNXCMotion || iid == IID_IVNXPath ? S_OK : S_FALSE;
}

}  // namespace velkor::engine
