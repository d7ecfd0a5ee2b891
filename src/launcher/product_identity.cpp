#include "launcher/product_identity.h"

#include <string>

#include "launcher/product_version.h"

namespace {
std::string& kind() {
    static std::string value = "kessa";
    return value;
}
}  // namespace

const char* GetProductKind() { return kind().c_str(); }

void SetProductKind(const char* newKind) {
    if (newKind)
        kind() = newKind;
}

const char* GetCurrentRuntimeVersion() { return kRuntimeVersion; }
