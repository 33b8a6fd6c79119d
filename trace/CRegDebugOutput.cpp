#include "trace/CRegDebugOutput.h"

#include "trace/CDebugOptions.h"

bool CRegDebugOutput::Initialize() noexcept
{
    if (m_bInitialized)
        return true;
    ovLib::CCriticalSection::CLock lock(m_csLock);
    if (!lock)
        return false;
    if (m_bLoading || m_bInitialized)
        return true;

    m_bLoading = 1;
    bool result = false;
    {
        ovQvl::CDebugOptions options;
        result = options.Load() && ApplyOptions(options) && FillDefaults();
    }
    m_bLoading = 0;
    m_bInitialized = 1;
    return result;
}

bool CRegDebugOutput::ApplyOptions(const ovQvl::CDebugOptions& options) noexcept
{
    const ovQvl::CDebugOptions::CDebugOutputGroup& group = options.DebugOutput;
    // Configured first, so that the load of a first use cannot overwrite these.
    Initialize();
    const bool processIdChanged = m_Switches.AppendProcessIdToFile != group.AppendProcessIdToFile;
    m_nDebugType = static_cast<int>(group.DebugType);
    m_Switches = group;
    if (processIdChanged)
        ReopenFile();

    bool result = true;
    if (!group.Directory.IsEmpty())
        result = SetDirectory(group.Directory);

    if (group.ExclusiveModules && !group.Modules.empty())
        m_nDebugType = 0;
    for (const auto& module : group.Modules) {
        if (module.first.CompareNoCase(m_strModuleName) == 0) {
            m_nDebugType = module.second ? static_cast<int>(group.DebugType) : 0;
            break;
        }
    }
    return result;
}
