// The process-wide objects, defined in one translation unit so that they are
// built in exactly this order before wWinMain and destroyed in reverse after it.
#include "ovlib/COSInfo.h"
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

namespace ovLib {

bool g_bOSInfoInitialized = COSInfo::InitializeOSInfo();

// A failure line of the snapshot above configures the trace, which asks
// IsWin64, which uses this table, before its turn in the order above. So the
// table is constant-initialized (checked by the compiler): it is complete,
// empty and usable before any dynamic initialiser runs. Its destructor is
// still registered here, so it is torn down first, while the trace exists.
__constinit CKernel COSInfo::m_Kernel;

} // namespace ovLib
