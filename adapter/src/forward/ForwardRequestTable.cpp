#include "adapter/src/forward/ForwardRequestTable.h"

#include <map>
#include <utility>

#include "adapter/src/forward/ForwardRequest.h"
#include "util/Mutex.h"

namespace {

struct Table {
  util::Mutex mutex;
  std::map<int32_t, ForwardRequestTable::Entry> entries GUARDED_BY(mutex);
};

Table& TheTable() {
  // Never destroyed: a command may still run while the process ends.
  static Table* const table = new Table();
  return *table;
}

}  // namespace

ForwardRequestTable::Registration::Registration(const ForwardRequest& request)
    : sno_(request.jsSno) {
  Entry entry;
  entry.cmd = static_cast<int32_t>(request.envelope.cmd);
  entry.description = request.envelope.description;
  Table& table = TheTable();
  util::MutexLock lock(table.mutex);
  table.entries[sno_] = std::move(entry);
}

ForwardRequestTable::Registration::~Registration() {
  Table& table = TheTable();
  util::MutexLock lock(table.mutex);
  table.entries.erase(sno_);
}

size_t ForwardRequestTable::Size() {
  Table& table = TheTable();
  util::MutexLock lock(table.mutex);
  return table.entries.size();
}
