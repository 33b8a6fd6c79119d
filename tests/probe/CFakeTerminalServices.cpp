#include "tests/probe/CFakeTerminalServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {
CFakeTerminalServices* g_active = nullptr;
}

CFakeTerminalServices::CFakeTerminalServices(testing_support::CProcAddressHook& hooks)
    : m_moduleHandle("kernel32.dll", "GetModuleHandleA", reinterpret_cast<const void*>(&FakeGetModuleHandleA)),
      m_loadLibrary("kernel32.dll", "LoadLibraryW", reinterpret_cast<const void*>(&FakeLoadLibraryW))
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

HMODULE WINAPI CFakeTerminalServices::FakeLoadLibraryW(LPCWSTR path)
{
    CFakeTerminalServices& self = *g_active;
    self.loaded.emplace_back(path);
    if (self.loadFails) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return self.m_loadLibrary.Original<decltype(&LoadLibraryW)>()(path);
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
    // Sized exactly as the system sizes each answer.
    const DWORD size = protocolClass ? sizeof(USHORT) : sizeof(DWORD);
    void* data = HeapAlloc(GetProcessHeap(), 0, size);
    if (protocolClass)
        std::memcpy(data, &self.protocol, size);
    else
        std::memcpy(data, &self.state, size);
    self.m_answers.push_back(data);
    ++self.answersLive;
    *answer = static_cast<LPSTR>(data);
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
    HeapFree(GetProcessHeap(), 0, answer);
}
