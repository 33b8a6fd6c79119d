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
    Assign(m_nDebugType, group.DebugType);
    Assign(m_bOutputToDebugger, group.OutputToDebugger);
    Assign(m_bOutputToFile, group.OutputToFile);
    const bool processIdChanged = m_bAppendProcessIdToFile != group.AppendProcessIdToFile;
    Assign(m_bAppendProcessIdToFile, group.AppendProcessIdToFile);
    if (processIdChanged)
        ReopenFile();
    Assign(m_bPrependThreadId, group.PrependThreadId);
    Assign(m_bPrependProcessId, group.PrependProcessId);
    Assign(m_bPrependDateTime, group.PrependDateTime);
    Assign(m_bPrependModuleName, group.PrependModuleName);
    Assign(m_bPrependType, group.PrependType);
    Assign(m_bAppendNewLine, group.AppendNewLine);

    bool result = true;
    if (!group.Directory.IsEmpty())
        result = SetDirectory(group.Directory);

    if (group.ExclusiveModules && !group.Modules.empty())
        Assign(m_nDebugType, 0);
    for (const auto& module : group.Modules) {
        if (module.first.CompareNoCase(m_strModuleName) == 0) {
            Assign(m_nDebugType, module.second ? group.DebugType : 0);
            break;
        }
    }
    return result;
}
