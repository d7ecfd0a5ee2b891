#pragma once
// The runtime this launcher carries, as the build's package defines it.

#include "sample_packages.h"

// major.minor.micro_update
constexpr const char kCurrentRuntimeVersion[] = TDS_SAMPLE_RUNTIME_VERSION;
constexpr int kCurrentRuntimeBuild = TDS_SAMPLE_RUNTIME_BUILD_NUMBER;
// major.minor
constexpr const char kCurrentFamilyVersion[] = TDS_SAMPLE_RUNTIME_FAMILY_VERSION;
