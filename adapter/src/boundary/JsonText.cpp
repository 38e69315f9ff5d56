#include "adapter/src/boundary/JsonText.h"

#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <sstream>

#include "log/AdapterLog.h"
#include "util/ObjectPool.h"

namespace {

const char kConvertFunction[] = "convertUnicodeEscapes";

// The stocks of readers and writers. Never destroyed: a thread may still parse
// while the process exits.
ObjectPool<Json::CharReader>& JsonReaders() {
  static auto* pool = new ObjectPool<Json::CharReader>(
      [] { return std::unique_ptr<Json::CharReader>(Json::CharReaderBuilder().newCharReader()); });
  return *pool;
}

// A writer and the stream it writes into, kept for reuse.
struct PooledWriter {
  explicit PooledWriter(const Json::StreamWriterBuilder& builder)
      : writer(builder.newStreamWriter()) {}
  std::string Write(const Json::Value& value) {
    out.str(std::string());
    out.clear();
    writer->write(value, &out);
    return out.str();
  }
  std::unique_ptr<Json::StreamWriter> writer;
  std::ostringstream out;
};

// Writers at the default settings (styled) and without indentation (one
// line). Never destroyed, like the readers.
ObjectPool<PooledWriter>& StyledWriters() {
  static auto* pool = new ObjectPool<PooledWriter>(
      [] { return std::make_unique<PooledWriter>(Json::StreamWriterBuilder()); });
  return *pool;
}

ObjectPool<PooledWriter>& CompactWriters() {
  static auto* pool = new ObjectPool<PooledWriter>([] {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    return std::make_unique<PooledWriter>(builder);
  });
  return *pool;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  return static_cast<unsigned>(c - 'A' + 10);
}

void AppendUtf8(unsigned code, std::string* out) {
  if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code >> 6)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xE0 | (code >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool IsWholeNumber(const Json::Value& v) {
  if (v.isInt64() || v.isUInt64()) return true;
  if (!v.isDouble()) return false;
  double d = v.asDouble();
  return std::isfinite(d) && d == std::floor(d);
}

// True when the text holds a backslash followed by 'u' or 'U'.
bool HasUnicodeEscape(const std::string& text) {
  for (size_t i = text.find('\\'); i != std::string::npos && i + 1 < text.size();
       i = text.find('\\', i + 1)) {
    if (text[i + 1] == 'u' || text[i + 1] == 'U') return true;
  }
  return false;
}

}  // namespace

int ParseJsonText(const char* text, Json::Value& out) {
  if (text == nullptr || *text == '\0') return -1;
  try {
    // A reader at the default settings from the shared stock: building one per
    // call costs more than parsing a small text.
    ObjectPool<Json::CharReader>::Lease reader = JsonReaders().Take();
    std::string errors;
    const char* end = text + std::strlen(text);
    if (!reader->parse(text, end, &out, &errors)) return -1;
  } catch (const std::exception&) {
    return -1;
  }
  return (out.isObject() || out.isArray()) ? 0 : -1;
}

int ParseJsonText(const std::string& text, Json::Value& out) {
  return ParseJsonText(text.c_str(), out);
}

// The text toStyledString gives (the writer at its default settings, then a
// newline), from a stocked writer and stream instead of a new builder per call.
std::string StyledText(const Json::Value& value) {
  std::string text = StyledWriters().Take()->Write(value);
  text += '\n';
  return text;
}

std::string StyledJsonText(const Json::Value& value) {
  try {
    std::string text = StyledText(value);
    // Without any "\u" the conversion gives the text back unchanged.
    if (!HasUnicodeEscape(text)) return text;
    return convertUnicodeEscapes(text);
  } catch (const std::exception& e) {
    IMLOG(kLogErr, "StyledJsonText", std::string("JSON writer failed: ") + e.what());
    return std::string();
  }
}

std::string CompactJsonText(const Json::Value& value) {
  try {
    std::string text = CompactWriters().Take()->Write(value);
    if (!HasUnicodeEscape(text)) return text;
    return convertUnicodeEscapes(text);
  } catch (const std::exception& e) {
    IMLOG(kLogErr, "CompactJsonText", std::string("JSON writer failed: ") + e.what());
    return std::string();
  }
}

std::string convertUnicodeEscapes(const std::string& input) {
  try {
    std::string out;
    out.reserve(input.size());
    size_t i = 0;
    const size_t n = input.size();
    while (i < n) {
      // Text up to the next backslash is copied as it stands.
      const void* found = std::memchr(input.data() + i, '\\', n - i);
      const size_t next = found ? static_cast<const char*>(found) - input.data() : n;
      out.append(input, i, next - i);
      i = next;
      if (i == n) break;
      if (i + 1 < n && (input[i + 1] == 'u' || input[i + 1] == 'U')) {
        if (n - i < 6 || !IsHexDigit(input[i + 2]) || !IsHexDigit(input[i + 3]) ||
            !IsHexDigit(input[i + 4]) || !IsHexDigit(input[i + 5])) {
          IMLOG(kLogErr, kConvertFunction, "convertUnicodeEscapes error! input = " + input);
          return input;
        }
        unsigned code = (HexValue(input[i + 2]) << 12) | (HexValue(input[i + 3]) << 8) |
                        (HexValue(input[i + 4]) << 4) | HexValue(input[i + 5]);
        if (code > 0xFF && code < 0xD800 && code != 0x2060) {
          AppendUtf8(code, &out);
        } else {
          out += "\\u";
          out.append(input, i + 2, 4);
        }
        i += 6;
      } else if (i + 1 < n && input[i + 1] == '\\') {
        out += "\\\\";
        i += 2;
      } else {
        out.push_back('\\');
        ++i;
      }
    }
    return out;
  } catch (const std::exception& e) {
    IMLOG(kLogErr, kConvertFunction,
          "convertUnicodeEscapes error! input = " + input + ", exception: " + e.what());
    return input;
  }
}

std::string TextMember(const Json::Value& v, const char* key) {
  std::string text;
  ReadTextMember(v, key, &text);
  return text;
}

bool ReadTextMember(const Json::Value& v, const char* key, std::string* out) {
  const Json::Value* member = FindMember(v, key);
  if (member == nullptr || !member->isString()) return false;
  *out = member->asString();
  return true;
}

const Json::Value* FindMember(const Json::Value& v, const char* key) {
  if (!v.isObject()) return nullptr;
  return v.find(key, key + std::strlen(key));
}

bool IsInt32(const Json::Value& v) {
  if (!v.isNumeric() || v.isBool()) return false;
  if (!IsWholeNumber(v)) return false;
  return v.isInt();
}

bool IsUInt32(const Json::Value& v) {
  if (!v.isNumeric() || v.isBool()) return false;
  if (!IsWholeNumber(v)) return false;
  return v.isUInt();
}
