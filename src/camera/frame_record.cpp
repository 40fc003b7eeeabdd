// The process's frame records: handed out to camera objects a set at a time and, once returned,
// reused oldest first. Memory stays bounded by the most camera objects alive at once.
#include "camera/frame_record.h"

#include <deque>
#include <mutex>
#include <new>

namespace zelcnv::camera {

namespace {

struct Records {
  std::mutex mutex;
  std::deque<FrameInfo*> returned;
};

// Never destroyed: a message read while the process exits may still point at a record.
Records& Pool() {
  static Records* records = new Records;
  return *records;
}

}  // namespace

FrameInfo* AcquireFrameRecords() {
  Records& pool = Pool();
  {
    std::lock_guard lock(pool.mutex);
    if (!pool.returned.empty()) {
      FrameInfo* records = pool.returned.front();
      pool.returned.pop_front();
      return records;
    }
  }
  FrameInfo* records = new (std::nothrow) FrameInfo[kFrameRecords];
  if (records != nullptr) {
    for (int i = 0; i < kFrameRecords; ++i) records[i] = {sizeof(FrameInfo), 0, 0, 0, 0, nullptr};
  }
  return records;
}

void ReturnFrameRecords(FrameInfo* records) {
  if (records == nullptr) return;
  Records& pool = Pool();
  std::lock_guard lock(pool.mutex);
  try {
    pool.returned.push_back(records);
  } catch (const std::bad_alloc&) {
    // Out of memory: the records stay where they are, readable and unused.
  }
}

}  // namespace zelcnv::camera
