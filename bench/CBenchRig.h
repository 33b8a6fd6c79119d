#pragma once
#include "tests/support/CTestFolder.h"
#include "tools/winrun/CEnvironmentBlock.h"
#include "tools/winrun/CWineAppVersion.h"

#include <string>

// What the measurements that start programs share: the programs built beside
// the driver (laid out by bench/CMakeLists.txt), a folder of the run's own
// whose "tmp" is Setup's temporary folder, and Wine reporting NT 6.0 to Setup.
class CBenchRig {
public:
    enum class Setup {
        NoOpPayload,            // both slots: the no-op payload of the companion's size
        Payload64MiB,           // slot 145, the one a 64-bit Setup runs: 64 MiB
        Payload64MiBPageAligned // the same, linked with 4 KiB file alignment
    };
    enum class Payload { CompanionSize, Size64MiB };

    CBenchRig();

    const std::wstring& Folder() const noexcept { return m_folder.Path(); }
    const std::wstring& TempFolder() const noexcept { return m_strTempFolder; }
    // The build's copy of a payload, bytes as embedded in the Setup variants.
    std::wstring PayloadSource(Payload payload) const;

    std::wstring SetupPath(Setup setup) const;
    std::wstring LauncherPath() const;
    // NSIS's bootstrapper with the no-op payload, or with an empty one.
    std::wstring PeerPath(bool withPayload) const;
    // The copy in Setup's temporary folder, next to where Setup writes its own.
    std::wstring PayloadPath(Payload payload) const;

    // Setup with an empty tail; the launcher and the payload alone run the
    // copy in the temporary folder.
    std::wstring SetupCommand(Setup setup) const;
    std::wstring LauncherCommand(Payload payload) const;
    std::wstring DirectCommand(Payload payload) const;
    std::wstring PeerCommand() const;

    // This process's environment with Setup's temporary folder as TMP and TEMP.
    winRun::CEnvironmentBlock Environment() const;

private:
    std::wstring m_strDriverFolder;
    testing_support::CTestFolder m_folder;
    std::wstring m_strTempFolder;
    winRun::CWineAppVersion m_ntSix;
};
