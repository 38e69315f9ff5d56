// Host request texts into the command dispatcher. The first piece of the
// input is the request; every further piece is one plugin answer or dialog
// outcome (fuzz/support/ScriptedPlugins.h). In every piece "$DIR" names the
// scratch folder and "$B64(" … ")B64$" stands for the Base64 of its content.
// The request runs on the calling thread, as on the service thread; nothing
// may crash, hang or leak whatever the request and the answers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adapter/src/service/ImAdapterCmd.h"
#include "fuzz/support/AdapterHarness.h"
#include "fuzz/support/ScriptedPlugins.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::AdapterHarness& harness = fuzz::AdapterHarness::Instance();
  std::vector<std::string> pieces = fuzz::SplitPieces(data, size);
  for (std::string& piece : pieces) {
    piece = fuzz::ExpandBase64Marks(fuzz::Substitute(piece, "$DIR", harness.Dir()));
  }
  const std::string request = pieces.front();
  pieces.erase(pieces.begin());
  harness.Begin(std::move(pieces));
  ImAdapterCmd::Instance().ProcessRecvMsg(request.c_str());
  harness.End();
  return 0;
}
