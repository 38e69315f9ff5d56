// JSON text helpers shared by the dispatcher, the callback hub and the
// request waiters: parsing, the one text form of every JSON the adapter
// writes, and the un-escaping of the writer's \u escapes.
#pragma once

#include <json/json.h>

#include <string>

// Parses text with JsonCpp's CharReaderBuilder at its default settings.
// 0 on success; −1 when text is null or empty, does not parse, or its root is
// neither an object nor an array (out is then unspecified). Never throws.
int ParseJsonText(const char* text, Json::Value& out);
int ParseJsonText(const std::string& text, Json::Value& out);

// The text form of every JSON the adapter sends: toStyledString (members
// sorted by name, tab indentation, trailing newline) passed through
// convertUnicodeEscapes. Never throws.
std::string StyledJsonText(const Json::Value& value);

// One line of compact JSON (no indentation, no final newline) passed through
// convertUnicodeEscapes: the form embedded in message bodies. Never throws.
std::string CompactJsonText(const Json::Value& value);

// Turns the writer's \uXXXX escapes for U+0100..U+D7FF (except U+2060) back
// into UTF-8 and keeps every other escape as it stands. A malformed escape
// returns the input unchanged with an error line. Never throws.
std::string convertUnicodeEscapes(const std::string& input);

// Helpers for reading members without exceptions.
// The member `key` of an object; nullptr when absent or when v is no object.
const Json::Value* FindMember(const Json::Value& v, const char* key);
// v[key] when it is a string, else "" (also when v is not an object).
std::string TextMember(const Json::Value& v, const char* key);
// True, with the text in *out, when v[key] is a string; false (*out
// untouched) otherwise. For members whose absence differs from "".
bool ReadTextMember(const Json::Value& v, const char* key, std::string* out);
// True when v is an integral JSON number that fits a signed 32-bit integer
// (a whole-valued real included).
bool IsInt32(const Json::Value& v);
// True when v holds an unsigned 32-bit integer (a whole, non-negative number
// that fits).
bool IsUInt32(const Json::Value& v);
