// Runs one host request for the adapter's own commands in this process, with
// the native dialogs, and prints the reply on standard output. Used by
// scripts/dialogs-e2e.sh, which answers the dialog from outside.
//
//   dialogs_e2e_driver '<request JSON>' [log folder]
// Exit status: 0 when a reply came, 1 on a usage error, 2 when no reply came.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "adapter/src/service/ImAdapterCmd.h"
#include "log/AdapterLog.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s '<request JSON>' [log folder]\n", argv[0]);
    return 1;
  }
  if (argc == 3) AdapterLogOpen(4, 10, argv[2], "im_adapter.log");
  ImAdapterCmd::Instance().ProcessRecvMsg(argv[1]);
  char* reply = ImAdapterCmd::Instance().Queues().TakeOutboundFor(std::chrono::seconds(5));
  AdapterLogClose();
  if (reply == nullptr) {
    std::fprintf(stderr, "no reply\n");
    return 2;
  }
  std::fputs(reply, stdout);
  std::free(reply);
  return 0;
}
