/* Loads ZelCnvSdk.dll as an application would and resolves every export its .def file lists. */
#include <stdio.h>
#include <string.h>
#include <windows.h>

typedef int(__cdecl* VersionQuery)(void);

int main(int argc, char** argv) {
  HMODULE dll = LoadLibraryA("ZelCnvSdk.dll");
  if (dll == NULL) {
    printf("LoadLibrary failed: %lu\n", (unsigned long)GetLastError());
    return 1;
  }
  VersionQuery version = (VersionQuery)(void (*)(void))GetProcAddress(dll, "ZelCam_GetDllVersion");
  if (version == NULL || version() != 263444) {
    printf("ZelCam_GetDllVersion missing or wrong\n");
    return 1;
  }
  int resolved = 0, missing = 0;
  FILE* def = argc > 1 ? fopen(argv[1], "r") : NULL;
  if (def != NULL) {
    char line[256];
    int inExports = 0;
    while (fgets(line, sizeof line, def) != NULL) {
      char name[128];
      if (sscanf(line, " %127s", name) != 1) continue;
      if (strcmp(name, "EXPORTS") == 0) {
        inExports = 1;
        continue;
      }
      if (!inExports || name[0] == ';') continue;
      if (GetProcAddress(dll, name) != NULL) {
        ++resolved;
      } else {
        printf("missing export %s\n", name);
        ++missing;
      }
    }
    fclose(def);
  }
  FreeLibrary(dll);
  if (missing != 0) return 1;
  printf("%d exports resolved\n", resolved);
  return 0;
}
