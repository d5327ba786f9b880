#include <windows.h>

// The natives bind to the VM in JNI_OnLoad, not at load.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
