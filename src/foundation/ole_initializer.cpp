#include "foundation/ole_initializer.h"

#include <windows.h>
#include <ole2.h>

#include "foundation/logger.h"
#include "foundation/system_error_text.h"
#include "foundation/tstrings.h"

OleInitializer::OleInitializer() {
    const HRESULT hr = OleInitialize(nullptr);
    // S_FALSE: already initialised on this thread; it still needs its
    // matching OleUninitialize.
    initialized_ = SUCCEEDED(hr);
    if (!initialized_)
        TDS_LOG_WARNING("OleInitializer::OleInitializer", "OleInitialize failed with %s",
                        formatComError(hr).c_str());
}

OleInitializer::~OleInitializer() {
    if (initialized_)
        OleUninitialize();
}
