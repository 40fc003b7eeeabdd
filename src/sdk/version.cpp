// The library's version query, the one export that takes no handle.
#include "ZelCnvSdk.h"

extern "C" ZELCNV_API int ZELCNV_CALL ZelCam_GetDllVersion(void) {
  return ZELCNV_DLL_VERSION;
}
