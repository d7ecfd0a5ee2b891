#pragma once
// Build settings of the runtime this launcher carries and of the product-code
// families of the runtime packages. Every version text of the build lives here.

namespace ProductVersions {

// Runtime versions below this one are not handled at all.
constexpr const char kOldestSupportedVersion[] = "1.4.2";
// From this version up to kNewFamilyVersion, the older family's product code
// begins with the bitness.
constexpr const char kBitnessPrefixVersion[] = "1.6.0";
// From this version on, the newer product-code family is used.
constexpr const char kNewFamilyVersion[] = "1.6.0_10";

// The runtime version this launcher installs (major.minor.micro_update), its
// build number, and its family (major.minor).
constexpr const char kCurrentVersion[] = "1.8.0_25";
constexpr int kCurrentBuild = 7;
constexpr const char kFamilyVersion[] = "1.8";

}  // namespace ProductVersions

// The names the removal code uses.
constexpr const char* OldestSupportedVersion = ProductVersions::kOldestSupportedVersion;
constexpr const char* BitnessPrefixVersion = ProductVersions::kBitnessPrefixVersion;
constexpr const char* NewFamilyVersion = ProductVersions::kNewFamilyVersion;
