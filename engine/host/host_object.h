#pragma once
// VNXHost: the automation object through which a client reaches the motors.
// Its three interfaces are implemented in host_comm.cpp, host_motion.cpp and
// host_path.cpp; this file holds what they share.

#include "engine/host/not_implemented.h"
#include "engine/core/reference_count.h"
#include "engine/link/host_link.h"

namespace velkor::engine {

class CVNXHost final : public NotYetImplemented<IVNXComm>,
                       public NotYetImplemented<IVNXCMotion>,
                       public NotYetImplemented<IVNXPath>,
                       public ISupportErrorInfo {
 public:
  CVNXHost();

  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.Increment(); }
  ULONG Release() override { return references_.Decrement(this); }
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

  // IVNXComm: configuration.
  HRESULT get_TxMaxRetry(LONG* count) override;
  HRESULT put_TxMaxRetry(LONG count) override;
  HRESULT get_TxTimeoutMul(LONG* milliseconds) override;
  HRESULT put_TxTimeoutMul(LONG milliseconds) override;
  HRESULT get_TxTimeoutConst(LONG* milliseconds) override;
  HRESULT put_TxTimeoutConst(LONG milliseconds) override;
  HRESULT get_EchoTimeoutMul(LONG* milliseconds) override;
  HRESULT put_EchoTimeoutMul(LONG milliseconds) override;
  HRESULT get_EchoTimeoutConst(LONG* milliseconds) override;
  HRESULT put_EchoTimeoutConst(LONG milliseconds) override;
  HRESULT get_LogFlags(LONG* flags) override;
  HRESULT put_LogFlags(LONG flags) override;
  HRESULT get_LogFileName(BSTR* fileName) override;
  HRESULT put_LogFileName(BSTR fileName) override;
  HRESULT InitializeNotification(LONG window, LONG message) override;
  HRESULT get_EngineVersion(LONG* version) override;

 private:
  friend class ReferenceCount<CVNXHost>;
  ~CVNXHost();

  ReferenceCount<CVNXHost> references_;
  HostLink link_;
};

}  // namespace velkor::engine
