#pragma once
// Which launcher this is and which runtime version it carries.

// "kessa" in the runtime launcher (the default), "vindel" in the
// development-kit launcher.
const char* GetProductKind();
// Set once by the program before its main flow runs; null is ignored.
void SetProductKind(const char* kind);
// The build-time runtime version, "major.minor.micro_update".
const char* GetCurrentRuntimeVersion();
