#include "tests/support/CImportHook.h"

#include <gtest/gtest.h>

#include <cstring>

namespace testing_support {

namespace {

void** FindImportSlot(const char* dll, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; descriptor->Name; ++descriptor) {
        if (_stricmp(reinterpret_cast<const char*>(base + descriptor->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void WriteSlot(void** slot, void* value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    *slot = value;
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
}

CProcAddressHook* g_activeProcHook = nullptr;
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
GetProcAddressFn g_realGetProcAddress = nullptr;

} // namespace

CImportHook::CImportHook(const char* dll, const char* function, const void* replacement)
    : m_slot(FindImportSlot(dll, function))
{
    if (!m_slot) {
        ADD_FAILURE() << "the test program does not import " << dll << "!" << function;
        return;
    }
    m_original = *m_slot;
    WriteSlot(m_slot, const_cast<void*>(replacement));
}

CImportHook::~CImportHook()
{
    if (m_slot)
        WriteSlot(m_slot, m_original);
}

CProcAddressHook::CProcAddressHook()
    : m_hook("kernel32.dll", "GetProcAddress", reinterpret_cast<const void*>(&Hooked))
{
    g_realGetProcAddress = m_hook.Original<GetProcAddressFn>();
    g_activeProcHook = this;
}

CProcAddressHook::~CProcAddressHook()
{
    g_activeProcHook = nullptr;
}

void CProcAddressHook::Override(const char* name, const void* replacement)
{
    m_overrides[name] = replacement;
}

FARPROC WINAPI CProcAddressHook::Hooked(HMODULE module, LPCSTR name)
{
    CProcAddressHook* self = g_activeProcHook;
    const bool byName = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
    if (self && byName) {
        self->m_asked.append(name).append(";");
        auto found = self->m_overrides.find(name);
        if (found != self->m_overrides.end()) {
            if (!found->second)
                SetLastError(ERROR_PROC_NOT_FOUND);
            return reinterpret_cast<FARPROC>(const_cast<void*>(found->second));
        }
    }
    return g_realGetProcAddress(module, name);
}

} // namespace testing_support
