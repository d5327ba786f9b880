#include <windows.h>

// The agent does its start-up when the VM calls it, not at load.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
