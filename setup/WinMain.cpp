#include "setup/CInstaller.h"
#include "setup/CSafeDllSearch.h"
#include "setup/CSetupModule.h"

// Libraries bound at first use come from the system directory. Defined here,
// in the executable itself (declared extern "C" by delayimp.h): from a library
// the runtime's own empty hook would be chosen.
PfnDliHook __pfnDliNotifyHook2 = CSafeDllSearch::OnDelayLoad;

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLineTail, int)
{
    // First of all: nothing may be loaded from the folder Setup was started from.
    CSafeDllSearch::Restrict();
    g_Module.Init(instance);
    DWORD exitCode = 0;
    {
        CInstaller installer;
        installer.Install(commandLineTail, exitCode);
    }
    g_Module.Term();
    return static_cast<int>(exitCode);
}
