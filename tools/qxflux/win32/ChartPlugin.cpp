// The sample application's chart plug-in: a component that the installer registers after an
// update. It has nothing to record, so registering and unregistering it always succeed.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer() { return S_OK; }

extern "C" __declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer() { return S_OK; }
