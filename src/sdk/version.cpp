// The library's version query, the one export that takes no handle.
#include "ZelCnvSdk.h"
#include "sdk/version.h"

static_assert(ZELCNV_DLL_VERSION ==
                  (ZELCNV_VERSION_MAJOR << 16 | ZELCNV_VERSION_MINOR << 8 | ZELCNV_VERSION_PATCH),
              "the version query and the version resource say the same");

extern "C" ZELCNV_API int ZELCNV_CALL ZelCam_GetDllVersion(void) {
  return ZELCNV_DLL_VERSION;
}
