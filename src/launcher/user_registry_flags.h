#pragma once
// Per-user flags: the first-install cancel mark and the pending retry.

// True when HKCU "Software\TolvaSoft\FIUCancel" existed; it is deleted.
bool TakeFIUCancel();
// True when HKCU "...\CurrentVersion\RunOnce" value "TolvaInstallRetry"
// exists and does not contain "KessaRunOnce.exe".
bool IsRunOnceRetryPending();
