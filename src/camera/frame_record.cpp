// The process's frame records: handed out to camera objects and, once returned, reused oldest
// first. Memory stays bounded by the most camera objects alive at once.
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

FrameInfo* AcquireFrameRecord() {
  Records& pool = Pool();
  {
    std::lock_guard lock(pool.mutex);
    if (!pool.returned.empty()) {
      FrameInfo* record = pool.returned.front();
      pool.returned.pop_front();
      return record;
    }
  }
  return new (std::nothrow) FrameInfo{sizeof(FrameInfo), 0, 0, 0, 0, nullptr};
}

void ReturnFrameRecord(FrameInfo* record) {
  if (record == nullptr) return;
  Records& pool = Pool();
  std::lock_guard lock(pool.mutex);
  try {
    pool.returned.push_back(record);
  } catch (const std::bad_alloc&) {
    // Out of memory: the record stays where it is, readable and unused.
  }
}

}  // namespace zelcnv::camera
