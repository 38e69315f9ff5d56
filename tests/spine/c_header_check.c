/* The public headers compile as plain C. */
#include "im_adapter/im_adapter.h"
#include "im_adapter/im_plugin.h"

int im_adapter_c_header_check(void) {
  char* msg = 0;
  IMAdapterServiceCallbackFn cb = 0;
  (void)cb;
  if (IMAdapterSendMsgExportTimeout(&msg, 0)) IMAdapterFreeMsg(msg);
  return 0;
}
