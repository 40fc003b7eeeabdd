// The library's one result vocabulary below the exports: the device library, the transport, the
// recorder and the AVI writer all answer with a Status. The camera turns it into the application's
// error numbers and 1 / 0 at its edge; plain yes/no answers are bool.
#pragma once

namespace zelcnv {

enum Status : int {
  kStatusOk = 0,
  // The device library.
  kStatusNoSlots = 1,          // fewer than two ring slots
  kStatusBadHorizontal = 3,    // refused horizontal timing
  kStatusBadVertical = 4,      // refused vertical timing
  kStatusBadRegion = 5,        // a geometry without pixels
  kStatusNoMemory = 7,         // frame memory, an event or a thread could not be had
  kStatusNoDevice = 10,        // the device could not be opened, or there is no handle
  kStatusRequestFailed = 12,   // a request or answer transfer failed or was short
  kStatusNullPointer = 14,     // a missing buffer, frame or slot
  kStatusFrameFailed = 19,     // a frame transfer failed or moved another length
  kStatusAlreadyRunning = 21,  // the transfer thread is already running
  kStatusBadDeviceIndex = 22,  // a device index outside 0..7
  kStatusTransferFailed = 23,  // the driver failed a pipe transfer
  // A stream's poll.
  kStatusNoNewFrame = 30,  // nothing published since the last poll
  kStatusNotRunning = 31,  // the transfer thread is not running
  // Files.
  kStatusOpenFailed = 40,    // the file cannot be created
  kStatusFull = 41,          // the frame would take a 32-bit size past its limit, or the file past
                             // the parts its super index has room for: not added
  kStatusWriteFailed = 42,   // a write failed (disk full, I/O error)
  kStatusThreadFailed = 43,  // a worker thread could not be started
};

}  // namespace zelcnv
