// JSON helpers of the stand-in plugins: parsing requests and writing answers.
#pragma once

#include <json/json.h>

#include <cstdint>
#include <string>

namespace standin {

// Parses length bytes of text into *out. False, with a short reason, when the
// text is empty, does not parse or its root is not an object.
bool ParseRequest(const char* text, uint32_t length, Json::Value* out, std::string* reason);

// One-line UTF-8 JSON text of value.
std::string WriteCompact(const Json::Value& value);

// True when the request was made by the adapter itself ("adapter": 1).
bool IsAdapterRequest(const Json::Value& request);

// The request's "cmd" as a signed 32-bit number; 0 when missing or not one.
int32_t RequestCmd(const Json::Value& request);

// The answer envelope of a request: "rsp" (the request's "cmd", or -1 when it
// has none, so that it is never 0), "sno" (copied when present), "description"
// (the request's plus "Rsp"), "result", and an empty "param" object. A result
// other than 0 also gets reason as "reason".
Json::Value MakeAnswer(const Json::Value& request, int32_t result, const std::string& reason = "");

// The text member `key` of object, or fallback when it is missing or not a text.
std::string TextMember(const Json::Value& object, const char* key,
                       const std::string& fallback = "");

}  // namespace standin
