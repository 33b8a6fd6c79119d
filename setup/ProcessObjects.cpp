// The process-wide objects, defined in one translation unit so that they are
// built in exactly this order before wWinMain and destroyed in reverse after it.
#include "ovlib/CProcessHeapAllocator.h"
#include "ovlib/CStringManager.h"
#include "setup/CSetupModule.h"
#include "trace/CRegDebugOutput.h"

namespace ovLib {
CProcessHeapAllocator g_ProcessHeapAllocator;
CStringManager g_StringManager(g_ProcessHeapAllocator);
} // namespace ovLib

CSetupModule g_Module;

// Built before every object that may report a failure.
CRegDebugOutput g_DebugOutput(L"Setup");
