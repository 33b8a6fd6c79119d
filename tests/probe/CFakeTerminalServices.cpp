#include "tests/probe/CFakeTerminalServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {
CFakeTerminalServices* g_active = nullptr;
constexpr SIZE_T kPage = 4096;
}

CFakeTerminalServices::CFakeTerminalServices(testing_support::CProcAddressHook& hooks)
    : m_moduleHandle("kernel32.dll", "GetModuleHandleA", reinterpret_cast<const void*>(&FakeGetModuleHandleA)),
      m_loadLibrary("kernel32.dll", "LoadLibraryExW", reinterpret_cast<const void*>(&FakeLoadLibraryExW))
{
    hooks.Override("VerSetConditionMask", reinterpret_cast<const void*>(&FakeVerSetConditionMask));
    hooks.Override("VerifyVersionInfoA", reinterpret_cast<const void*>(&FakeVerifyVersionInfoA));
    hooks.Override("WTSQuerySessionInformationA", reinterpret_cast<const void*>(&FakeQuery));
    hooks.Override("WTSFreeMemory", reinterpret_cast<const void*>(&FakeFree));
    g_active = this;
}

CFakeTerminalServices::~CFakeTerminalServices()
{
    g_active = nullptr;
}

ULONGLONG WINAPI CFakeTerminalServices::FakeVerSetConditionMask(ULONGLONG mask, DWORD type, BYTE condition)
{
    g_active->conditionCall =
        std::to_string(mask) + "," + std::to_string(type) + "," + std::to_string(condition);
    return kConditionMask;
}

BOOL WINAPI CFakeTerminalServices::FakeVerifyVersionInfoA(OSVERSIONINFOEXA* version, DWORD typeMask,
                                                          DWORDLONG conditions)
{
    g_active->verifyCall = std::to_string(version->dwOSVersionInfoSize) + "," +
                           std::to_string(version->wSuiteMask) + "," + std::to_string(typeMask) + "," +
                           std::to_string(conditions);
    return g_active->verifyResult;
}

HMODULE WINAPI CFakeTerminalServices::FakeGetModuleHandleA(LPCSTR name)
{
    CFakeTerminalServices& self = *g_active;
    const std::string asked = name ? name : "<null>";
    self.modulesAsked.push_back(asked);
    if (std::find(self.modulesMissing.begin(), self.modulesMissing.end(), asked) != self.modulesMissing.end()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return self.m_moduleHandle.Original<decltype(&GetModuleHandleA)>()(name);
}

HMODULE WINAPI CFakeTerminalServices::FakeLoadLibraryExW(LPCWSTR path, HANDLE file, DWORD flags)
{
    CFakeTerminalServices& self = *g_active;
    self.loaded.emplace_back(path);
    if (self.loadFails) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return self.m_loadLibrary.Original<decltype(&LoadLibraryExW)>()(path, file, flags);
}

BOOL WINAPI CFakeTerminalServices::FakeQuery(HANDLE server, DWORD session, DWORD infoClass, LPSTR* answer,
                                             DWORD* bytes)
{
    CFakeTerminalServices& self = *g_active;
    self.queries += std::to_string(infoClass) + "@" + std::to_string(reinterpret_cast<ULONG_PTR>(server)) + "/" +
                    std::to_string(session) + ";";
    const bool protocolClass = infoClass == 16;
    if ((protocolClass && self.protocolQueryFails) || (!protocolClass && self.stateQueryFails)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Sized exactly as the system sizes each answer, unless told otherwise,
    // and ending where a no-access page starts: a read past it faults.
    const std::optional<DWORD> shorter = protocolClass ? self.protocolBytes : self.stateBytes;
    const DWORD size = shorter ? *shorter : protocolClass ? sizeof(USHORT) : sizeof(DWORD);
    auto* pages = static_cast<BYTE*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD previous = 0;
    VirtualProtect(pages + kPage, kPage, PAGE_NOACCESS, &previous);
    BYTE* data = pages + kPage - size;
    if (protocolClass)
        std::memcpy(data, &self.protocol, std::min<DWORD>(size, sizeof(USHORT)));
    else
        std::memcpy(data, &self.state, std::min<DWORD>(size, sizeof(DWORD)));
    self.m_answers.push_back(data);
    ++self.answersLive;
    *answer = reinterpret_cast<LPSTR>(data);
    *bytes = size;
    return TRUE;
}

void WINAPI CFakeTerminalServices::FakeFree(void* answer)
{
    CFakeTerminalServices& self = *g_active;
    auto found = std::find(self.m_answers.begin(), self.m_answers.end(), answer);
    if (found == self.m_answers.end()) {
        ADD_FAILURE() << "WTSFreeMemory of memory that is no live answer";
        return;
    }
    self.m_answers.erase(found);
    --self.answersLive;
    // The byte before an answer, even an empty one, lies in its first page.
    MEMORY_BASIC_INFORMATION region = {};
    VirtualQuery(static_cast<BYTE*>(answer) - 1, &region, sizeof(region));
    VirtualFree(region.AllocationBase, 0, MEM_RELEASE);
}
