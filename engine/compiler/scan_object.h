#pragma once
// VNXScan: compiles motor programs and lets the caller walk the diagnostics
// of the last run.

#include "engine/compiler/compiler.h"
#include "engine/core/guard.h"
#include "engine/core/reference_count.h"
#include "velkor/interface_tables.h"

namespace velkor::engine {

class CVNXScan final : public Dispatchable<IVNXScan>,
                       public Dispatchable<IVNXErrors>,
                       public ISupportErrorInfo {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.Increment(); }
  ULONG Release() override { return references_.Decrement(this); }
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

  // IVNXScan: one compile run each; every run replaces the last one's results.
  HRESULT Scan(BSTR program) override;
  HRESULT ScanFile(BSTR fileName) override;
  HRESULT MakeVQX(BSTR fileName, LONG* written) override;
  HRESULT MakeVQX2(BSTR fileName, BSTR imageFileName, LONG* written) override;

  // IVNXErrors: walking the diagnostics of the last run.
  HRESULT get_NoOfWarnings(LONG* count) override;
  HRESULT get_NoOfErrors(LONG* count) override;
  HRESULT get_MaxErrors(LONG* count) override;
  HRESULT put_MaxErrors(LONG count) override;
  HRESULT get_MaxWarnings(LONG* count) override;
  HRESULT put_MaxWarnings(LONG count) override;
  HRESULT GoFirst() override;
  HRESULT GoNext() override;
  HRESULT get_Description(BSTR* text) override;
  HRESULT get_Code(LONG* code) override;
  HRESULT get_Line(LONG* line) override;
  HRESULT get_Column(LONG* column) override;
  HRESULT get_IsWarning(LONG* isWarning) override;

 private:
  // The record under the cursor; error 33 past the end.
  const compiler::Diagnostic& Current() const;
  LONG MakeImage(BSTR fileName, BSTR imageFileName);

  friend class ReferenceCount<CVNXScan>;
  ~CVNXScan() = default;
  ReferenceCount<CVNXScan> references_;
  compiler::Compiler compiler_;
  LONG cursor_ = 0;
};

}  // namespace velkor::engine
