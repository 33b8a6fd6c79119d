#include "setup/CInstaller.h"
#include "setup/CSetupModule.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLineTail, int)
{
    g_Module.Init(instance);
    DWORD exitCode = 0;
    {
        CInstaller installer;
        installer.Install(commandLineTail, exitCode);
    }
    g_Module.Term();
    return static_cast<int>(exitCode);
}
