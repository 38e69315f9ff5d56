#include "adapter/src/content/ImAdapterMediaToken.h"

#include <cstdint>
#include <cstring>

#include "util/Utils.h"

namespace {

constexpr char kTokenBegin[] = "/:um_begin{";
constexpr char kTokenEnd[] = "}/:um_end";
constexpr char kSecureTokenBegin[] = "/:um_begin{https://";

// Writes every part followed by the separator, then drops the last
// character: empty parts are kept and an empty list gives "".
std::string Join(const std::vector<std::string>& parts, char separator) {
  std::string out;
  for (const std::string& part : parts) {
    out += part;
    out += separator;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

// ";md5:<digest>" of the entry's file, or "" without a path or a digest.
std::string DigestAttribute(const FileListItem& item) {
  if (item.file_path.empty()) return "";
  const std::string digest = util::FileMd5Hex(item.file_path);
  return digest.empty() ? "" : ";md5:" + digest;
}

std::string SignedDecimal(uint32_t value) {
  return std::to_string(static_cast<int32_t>(value));
}

std::string WrapToken(const std::vector<std::string>& fields) {
  return kTokenBegin + Join(fields, '|') + kTokenEnd;
}

// Finds the next token with an https address at or after `from`. Keeps the
// next end marker and the next line end found so far, so that a long run of
// unclosed token starts is still scanned once.
class SecureTokenScanner {
 public:
  explicit SecureTokenScanner(const std::string& text) : text_(text) {}

  // True and [*begin, *end) set for the next token at or after `from`.
  bool Next(size_t from, size_t* begin, size_t* end) {
    const size_t startLength = std::strlen(kSecureTokenBegin);
    for (size_t at = text_.find(kSecureTokenBegin, from); at != std::string::npos;
         at = text_.find(kSecureTokenBegin, at + 1)) {
      const size_t addressBegin = at + startLength;
      const size_t close = nextEnd_.At(addressBegin, [this](size_t p) {
        return text_.find(kTokenEnd, p);
      });
      if (close == std::string::npos) return false;
      const size_t lineEnd = nextLineEnd_.At(addressBegin, [this](size_t p) {
        return text_.find_first_of("\r\n", p);
      });
      if (lineEnd < close) continue;
      *begin = at;
      *end = close + std::strlen(kTokenEnd);
      return true;
    }
    return false;
  }

 private:
  // The position of the next occurrence of something, searched again only
  // when the asked position has passed it; npos means none is left.
  struct CachedSearch {
    bool valid = false;
    size_t position = std::string::npos;

    template <typename Search>
    size_t At(size_t from, Search search) {
      if (!valid || (position != std::string::npos && position < from)) {
        position = search(from);
        valid = true;
      }
      return position;
    }
  };

  const std::string& text_;
  CachedSearch nextEnd_;
  CachedSearch nextLineEnd_;
};

}  // namespace

std::string BuildMediaToken(const FileListItem& item) {
  const bool image = item.file_type == "Img";
  const std::string geometry = Join(
      {image ? item.width : "", image ? item.height : "", item.um_plain_access_code}, ';');
  std::string attributes = "isOriginalImg: 0" + DigestAttribute(item) + ";emotionId:" +
                           item.emotionId + ";objectId:" + item.objectId + ";cdnUrl:" +
                           item.cdnUrl;
  if (item.expire != 0) attributes += ";expire:1";
  return WrapToken({item.um_url, item.file_type, std::to_string(item.file_size), item.file_name,
                    SignedDecimal(item.duration), geometry, attributes});
}

std::string BuildPictureToken(const std::vector<FileListItem>& items) {
  const FileListItem empty;
  const FileListItem& first = items.size() > 0 ? items[0] : empty;
  const FileListItem& second = items.size() > 1 ? items[1] : empty;
  const std::string geometry = Join({first.width, first.height, first.um_plain_access_code}, ';');
  std::string attributes = "isOriginalImg:0" + DigestAttribute(first);
  if (first.expire != 0) attributes += ";expire:1";
  const std::string secondImage =
      Join({second.um_url, second.width, second.height, second.um_plain_access_code}, ';');
  return WrapToken({first.um_url, first.file_type, std::to_string(first.file_size),
                    first.file_name, SignedDecimal(first.duration), geometry, attributes,
                    "solidType:0", secondImage});
}

std::string ExtractMediaUrl(const std::string& text) {
  std::string rest = text;
  const size_t begin = rest.find(kTokenBegin);
  if (begin != std::string::npos) rest.erase(0, begin + std::strlen(kTokenBegin));
  const size_t bar = rest.find('|');
  if (bar != std::string::npos) rest.erase(bar);
  return rest;
}

std::string ExtractFileIdFromUrl(const std::string& text) {
  const size_t at = text.rfind("/f/");
  return at == std::string::npos ? text : text.substr(at + 3);
}

// Each matched token is replaced where it stands, in one pass, rather than
// every copy of its text searched again per match: a later copy is matched
// in its turn, so the text comes out the same without a search per match.
bool ReplaceContentPic(std::string& text, const std::string& token) {
  if (text.find("/:um_begin") == std::string::npos) return false;
  SecureTokenScanner scanner(text);
  std::string out;
  size_t copied = 0;
  size_t begin = 0;
  size_t end = 0;
  bool matched = false;
  while (scanner.Next(copied, &begin, &end)) {
    out.append(text, copied, begin - copied);
    out += token;
    copied = end;
    matched = true;
  }
  if (!matched) return true;
  out.append(text, copied, std::string::npos);
  text.swap(out);
  return true;
}
