// The kernel-mode headers as every source of the driver includes them, and the few helpers all of
// them share: pool blocks and IRP completion.
#pragma once

// mingw-w64's intrinsics header and its DDK both define these two functions. C accepts the second
// definition, C++ does not, so the intrinsics header is told to leave them to the DDK.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntddk.h>

#include <stddef.h>
#include <stdint.h>

namespace zqvdsim {

// Marks the driver's pool blocks ("ZQVD" in a pool dump).
inline constexpr ULONG kPoolTag = 'Z' | 'Q' << 8 | 'V' << 16 | 'D' << 24;

inline void* AllocatePool(POOL_TYPE type, size_t size) {
  return ExAllocatePoolWithTag(type, size, kPoolTag);
}

inline void FreePool(void* block) {
  if (block != nullptr) ExFreePoolWithTag(block, kPoolTag);
}

inline NTSTATUS CompleteIrp(PIRP irp, NTSTATUS status, ULONG_PTR information) {
  irp->IoStatus.Status = status;
  irp->IoStatus.Information = information;
  IoCompleteRequest(irp, IO_NO_INCREMENT);
  return status;
}

// The first field of every device extension of the driver, telling the two kinds apart.
enum class DeviceKind : uint32_t {
  kControl = 0x4C544343,    // "CCTL"
  kConverter = 0x56445143,  // "CQDV"
};

}  // namespace zqvdsim
