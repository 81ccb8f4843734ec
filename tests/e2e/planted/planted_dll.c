/* A DLL planted beside cantivo.exe under the name of one the program loads. Loaded into a
   process, it leaves "<its own path>.planted" beside itself, so the test sees that the
   program took code from its own folder. Its exports (named at link time by a .def file) are
   stubs that fail, enough for a loader to bind an import to them. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 16];
        DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatW(path, L".planted");
            HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
        }
    }
    return TRUE;
}

int Stub(void) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return 0;
}
