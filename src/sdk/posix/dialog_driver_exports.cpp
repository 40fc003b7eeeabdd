// Linux: the driver an application installs to run the settings dialogs in memory.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ZelCnvPosix.h"
#include "platform/posix/memory_dialog.h"

using zelcnv::platform::MemoryControl;
using zelcnv::platform::MemoryDialog;

namespace {

struct InstalledDriver {
  ZelCnvDialogDriver driver;
  void* context;
};

// A dialog that starts copies what it is given, so every installation stays valid for as long as
// a dialog may still run with it.
InstalledDriver* Keep(ZelCnvDialogDriver driver, void* context) {
  static std::mutex mutex;
  static auto* kept = new std::vector<std::unique_ptr<InstalledDriver>>;
  std::lock_guard lock(mutex);
  kept->push_back(std::make_unique<InstalledDriver>(InstalledDriver{driver, context}));
  return kept->back().get();
}

void RunDriver(void* dialog, int templateId, void* context) {
  const auto* installed = static_cast<const InstalledDriver*>(context);
  installed->driver(static_cast<ZelCnvDialog*>(dialog), templateId, installed->context);
}

MemoryDialog* Dialog(ZelCnvDialog* dialog) {
  return reinterpret_cast<MemoryDialog*>(dialog);
}

// A control nobody has touched is as its template leaves it.
const MemoryControl& Find(ZelCnvDialog* dialog, int control) {
  static const MemoryControl untouched;
  const MemoryControl* found = Dialog(dialog)->Find(control);
  return found != nullptr ? *found : untouched;
}

int CopyText(const std::string& text, char* buffer, int size) {
  if (buffer != nullptr && size > 0) {
    const size_t copied = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
  }
  return static_cast<int>(text.size());
}

}  // namespace

extern "C" {

ZELCNV_API void ZELCNV_CALL ZelCnv_SetDialogDriver(ZelCnvDialogDriver driver, void* context) {
  try {
    if (driver == nullptr) return zelcnv::platform::SetDialogDriver(nullptr, nullptr);
    zelcnv::platform::SetDialogDriver(&RunDriver, Keep(driver, context));
  } catch (...) {
    zelcnv::platform::SetDialogDriver(nullptr, nullptr);
  }
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetText(ZelCnvDialog* dialog, int control, char* buffer,
                                                int size) {
  return dialog != nullptr ? CopyText(Find(dialog, control).text, buffer, size) : -1;
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogIsEnabled(ZelCnvDialog* dialog, int control) {
  if (dialog == nullptr) return -1;
  return Find(dialog, control).enabled ? 1 : 0;
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetItemCount(ZelCnvDialog* dialog, int control) {
  return dialog != nullptr ? static_cast<int>(Find(dialog, control).items.size()) : 0;
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetItemText(ZelCnvDialog* dialog, int control, int index,
                                                    char* buffer, int size) {
  if (dialog == nullptr) return -1;
  const std::vector<std::string>& items = Find(dialog, control).items;
  if (index < 0 || index >= static_cast<int>(items.size())) return -1;
  return CopyText(items[static_cast<size_t>(index)], buffer, size);
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetSelection(ZelCnvDialog* dialog, int control) {
  return dialog != nullptr ? Find(dialog, control).selection : -1;
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogGetPosition(ZelCnvDialog* dialog, int control,
                                                    int* position) {
  if (dialog == nullptr) return 0;
  if (position != nullptr) *position = Find(dialog, control).position;
  return 1;
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogType(ZelCnvDialog* dialog, int control, const char* text) {
  try {
    return dialog != nullptr && Dialog(dialog)->Type(control, text != nullptr ? text : "") ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogChoose(ZelCnvDialog* dialog, int control, int index) {
  try {
    return dialog != nullptr && Dialog(dialog)->Choose(control, index) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogSlide(ZelCnvDialog* dialog, int control, int position) {
  try {
    return dialog != nullptr && Dialog(dialog)->Slide(control, position) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogSpin(ZelCnvDialog* dialog, int control, int steps) {
  try {
    return dialog != nullptr && Dialog(dialog)->Spin(control, steps) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ZELCNV_API int ZELCNV_CALL ZelCnv_DialogClick(ZelCnvDialog* dialog, int control) {
  try {
    return dialog != nullptr && Dialog(dialog)->Click(control) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
