// The sandbox on Windows: the settings key of the current user, emptied before and after.
#include "store_sandbox.h"

#include "settings/settings_store.h"

#include <windows.h>

namespace zelcnv::settings::testing {

StoreSandbox::StoreSandbox() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
}

StoreSandbox::~StoreSandbox() {
  RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
}

}  // namespace zelcnv::settings::testing
