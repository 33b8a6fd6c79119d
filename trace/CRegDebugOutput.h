#pragma once
#include "trace/CDebugOutput.h"

// The trace object configured from the registry.
class CRegDebugOutput : public CDebugOutput {
public:
    using CDebugOutput::CDebugOutput;
};

// The process's one trace object, module name "Setup" (setup/ProcessObjects.cpp).
extern CRegDebugOutput g_DebugOutput;
