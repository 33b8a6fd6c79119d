#pragma once
#include "trace/CDebugOutput.h"

namespace ovQvl {
class CDebugOptions;
}

// The trace object configured from the registry's debug options on first use.
class CRegDebugOutput : public CDebugOutput {
public:
    using CDebugOutput::CDebugOutput;

    // Loads and applies the options once, then fills defaults. A failed load
    // leaves the trace off for good. Trace calls made meanwhile on this thread
    // return at once.
    bool Initialize() noexcept override;
    // Copies the DebugOutput group into the trace and applies the module
    // filter to this object's module name.
    bool ApplyOptions(const ovQvl::CDebugOptions& options) noexcept;

private:
    DWORD m_bLoading = 0;
};

// The process's one trace object, module name "Setup" (setup/ProcessObjects.cpp).
extern CRegDebugOutput g_DebugOutput;
