#pragma once
// The status code a settings call throws, for tables of expected codes.

#include <cstdint>

#include "settings/settings_exception.h"

namespace settings_test {

// The code of the settings::Exception that f throws; 0 when it returns.
template <class F>
int32_t codeOf(F&& f) {
    try {
        f();
    } catch (const settings::Exception& e) {
        return e.code();
    }
    return 0;
}

}  // namespace settings_test
