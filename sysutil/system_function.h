// Functions of system DLLs that the program finds at run time rather than through its import
// table: ones that older Windows lacks (XP's kernel32 has no GetFirmwareType), and ones of
// DLLs that are costly to load and seldom needed (loaded when first asked for).
#pragma once

#include <windows.h>

namespace korvane {

// `name` in a module already loaded (kernel32, user32): null when this Windows lacks it.
template <typename Fn>
Fn SystemFunction(const wchar_t* module, const char* name) {
    HMODULE loaded = GetModuleHandleW(module);
    return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name)))
                  : nullptr;
}

// `name` in `dll`, which is loaded by this call if it is not yet and then stays loaded for the
// life of the process: null when the DLL or the function is missing.
template <typename Fn>
Fn LoadedSystemFunction(const wchar_t* dll, const char* name) {
    HMODULE loaded = LoadLibraryW(dll);
    return loaded ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loaded, name)))
                  : nullptr;
}

}  // namespace korvane
