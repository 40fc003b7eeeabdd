/* Linked by lld-link against the MSVC import library alone (no C runtime): the program starts,
 * calls into ZelCnvSdk.dll and exits 0 when the DLL answers with its version. */
__declspec(dllimport) int __cdecl ZelCam_GetDllVersion(void);
__declspec(dllimport) int __cdecl ZelCam_Release(int handle);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

void __cdecl Start(void) {
  ExitProcess(ZelCam_GetDllVersion() == 263444 && ZelCam_Release(12345) == 0 ? 0 : 1);
}
