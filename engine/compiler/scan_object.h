#pragma once
// VNXScan: the compiler object, with its error list.

#include <string>
#include <vector>

#include "engine/core/not_implemented.h"
#include "engine/core/reference_count.h"

namespace velkor::engine {

class CVNXScan final : public NotYetImplemented<IVNXScan>,
                       public NotYetImplemented<IVNXErrors>,
                       public ISupportErrorInfo {
 public:
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return references_.Increment(); }
  ULONG Release() override { return references_.Decrement(this); }
  HRESULT InterfaceSupportsErrorInfo(REFIID iid) override;

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

  struct Diagnostic {
    std::string description;
    LONG code;
    LONG line;    // zero-based, or -1
    LONG column;  // zero-based, or -1
  };

 private:
  // The record under the cursor; error 33 past the end.
  const Diagnostic& Current() const;

  friend class ReferenceCount<CVNXScan>;
  ~CVNXScan() = default;
  ReferenceCount<CVNXScan> references_;
  LONG maxErrors_ = 50;
  LONG maxWarnings_ = 50;
  LONG errorCount_ = 0;
  LONG warningCount_ = 0;
  std::vector<Diagnostic> records_;  // in the order the diagnostics arose
  LONG cursor_ = 0;
};

}  // namespace velkor::engine
