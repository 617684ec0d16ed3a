#include "platform/link_trust.h"

#include <windows.h>

void RefuseUntrustedLinks() {
  // Looked up, not imported: Windows 7 has no mitigation policies at all,
  // and the program must still start there.
  using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
  const auto setPolicy = reinterpret_cast<SetPolicy>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessMitigationPolicy")));
  if (setPolicy == nullptr) return;
  PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
  policy.EnforceRedirectionTrust = 1;
  // A Windows without the policy refuses the request; the run goes on as
  // before, relying on the install tree being the administrators' alone.
  setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}
