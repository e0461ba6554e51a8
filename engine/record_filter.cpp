#include "engine/record_filter.h"

#include <atomic>

namespace velorin {

namespace {
std::atomic<RecordFilterMaker> installedMaker{nullptr};
}

void SetRecordFilterMaker(RecordFilterMaker maker) { installedMaker.store(maker); }

RecordFilterMaker InstalledRecordFilterMaker() { return installedMaker.load(); }

}  // namespace velorin
