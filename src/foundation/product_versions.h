#pragma once
// Build settings of the product-code families of the runtime packages. The
// version of the runtime a launcher carries comes from its package
// (launcher/product_version.h).

namespace ProductVersions {

// Runtime versions below this one are not handled at all.
constexpr const char kOldestSupportedVersion[] = "1.4.2";
// From this version up to kNewFamilyVersion, the older family's product code
// begins with the bitness.
constexpr const char kBitnessPrefixVersion[] = "1.6.0";
// From this version on, the newer product-code family is used.
constexpr const char kNewFamilyVersion[] = "1.6.0_10";

}  // namespace ProductVersions

// The names the removal code uses.
constexpr const char* OldestSupportedVersion = ProductVersions::kOldestSupportedVersion;
constexpr const char* BitnessPrefixVersion = ProductVersions::kBitnessPrefixVersion;
constexpr const char* NewFamilyVersion = ProductVersions::kNewFamilyVersion;
