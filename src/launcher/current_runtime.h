#pragma once
// The runtime this launcher carries, as the same-version checks compare it.

#include "launcher/product_version.h"
#include "sample_packages.h"

// major.minor.micro_update
constexpr const char* kCurrentRuntimeVersion = kRuntimeVersion;
constexpr int kCurrentRuntimeBuild = TDS_SAMPLE_RUNTIME_BUILD_NUMBER;
// major.minor: installed families below it make the install a family upgrade.
constexpr const char kCurrentFamilyVersion[] = TDS_SAMPLE_RUNTIME_FAMILY_VERSION;
