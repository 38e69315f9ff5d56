// The table of forwarding requests in progress, keyed by the host's serial
// number: a request is in it from the start of its command to the end.
//
// Thread-safety: guarded by the table's own mutex; any thread may register or
// count. The table and its mutex are never destroyed, since a command may
// still run while the process ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct ForwardRequest;

class ForwardRequestTable {
 public:
  // One request in progress, as the table keeps it.
  struct Entry {
    int32_t cmd = 0;
    std::string description;
  };

  // Keeps the request (by its jsSno, with its "cmd" and "description") in
  // the table while it lives.
  class Registration {
   public:
    explicit Registration(const ForwardRequest& request);
    ~Registration();
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

   private:
    int32_t sno_;
  };

  // The number of requests in the table.
  static size_t Size();
};
