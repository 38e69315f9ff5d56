// Card reading and writing: any JSON text is read without a crash, and the
// numbers and flags of a card survive writing and reading back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "adapter/src/content/ImAdapterCardJson.h"
#include "adapter/src/boundary/JsonText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Json::Value json;
  if (ParseJsonText(input, json) != 0) return 0;
  CardInfo card;
  ParseContent(json, card);
  const std::string text = BuildCardJson(card);
  Json::Value written;
  if (ParseJsonText(text, written) != 0) std::abort();
  CardInfo back;
  ParseContent(written, back);
  if (back.cardType != card.cardType || back.replyType != card.replyType ||
      back.mergeMessage.level != card.mergeMessage.level || back.isForward != card.isForward) {
    std::abort();
  }
  CardExtInfo ext;
  ext.id = card.replyContent;
  ext.cardtype = card.cardType;
  BuildCardExtJson(ext);
  return 0;
}
