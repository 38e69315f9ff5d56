#include "adapter/src/forward/ForwardRequestTable.h"

#include <map>
#include <mutex>
#include <utility>

#include "adapter/src/forward/ForwardRequest.h"

namespace {

struct Table {
  std::mutex mutex;
  std::map<int32_t, ForwardRequestTable::Entry> entries;  // guarded by mutex
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
  std::lock_guard<std::mutex> lock(table.mutex);
  table.entries[sno_] = std::move(entry);
}

ForwardRequestTable::Registration::~Registration() {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.entries.erase(sno_);
}

size_t ForwardRequestTable::Size() {
  Table& table = TheTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  return table.entries.size();
}
