// A stand-in for a system library, planted beside the program: if any process loads it, it
// leaves NAME.loaded next to itself.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    WCHAR path[MAX_PATH + 8];
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        lstrcatW(path, L".loaded");
        const HANDLE marker =
            CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (marker != INVALID_HANDLE_VALUE)
            CloseHandle(marker);
    }
    return TRUE;
}
