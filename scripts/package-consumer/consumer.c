/* Prints the version the headers name, then takes from the empty outbound
 * queue: that loads the library (and the plugins beside it) and calls it. */
#include <stdio.h>

#include "im_adapter/im_adapter.h"
#include "im_adapter/version.h"

int main(void) {
  char* msg = NULL;
  if (IMAdapterSendMsgExportTimeout(&msg, 10) || msg != NULL) {
    fprintf(stderr, "consumer: the outbound queue of a fresh library is not empty\n");
    return 1;
  }
  printf("consumer built against im_adapter %s\n", IM_ADAPTER_VERSION);
  return 0;
}
