// Media tokens: the bracketed references to a picture, file, voice clip or
// emotion inside the text of a message,
//
//   /:um_begin{field 1|field 2|...|field k}/:um_end
//
// with ";"-separated sub-fields and "name:value" attribute pairs. Field values
// are not escaped; a value must not hold "|", ";" or "}/:um_end".
//
// This unit builds tokens from the file entries of a record, takes tokens
// apart and replaces picture tokens. The emoji path rewriting of the HTML form
// of a message lives beside the body parser that uses it and is offered here
// too. All functions are stateless, never throw for bad input (only
// std::bad_alloc can leave) and may be called from any thread.
#pragma once

#include <string>
#include <vector>

#include "adapter/src/content/RecordInfo.h"
#include "common/xml/EmojiPath.h"

// Rewrites emoji <img> tags of an HTML text to the local emoji folder.
using xml::ConvertEmojiPathToLocal;

// The token of one file entry: address, kind, size, name, duration, geometry
// (width;height;access code, width and height only for kind "Img") and the
// attributes "isOriginalImg: 0", ";md5:<digest>" when item.file_path names a
// readable file, ";emotionId:", ";objectId:", ";cdnUrl:" (always, possibly
// empty values) and ";expire:1" when the entry has expired. Reads the file at
// file_path to digest it.
std::string BuildMediaToken(const FileListItem& item);

// The token of a picture given as two entries (the picture and its second
// image): the first entry's address, kind, size, name, duration and
// width;height;code, the attributes "isOriginalImg:0" [";md5:<digest>"]
// [";expire:1"], "solidType:0", and the second entry's
// address;width;height;code. Missing entries count as empty ones.
std::string BuildPictureToken(const std::vector<FileListItem>& items);

// The address field of the first token in text: text after the first
// "/:um_begin{" (when present), cut before the first "|" (when present).
// A text without either comes back unchanged.
std::string ExtractMediaUrl(const std::string& text);

// The part of text after the last "/f/"; text unchanged when it has none.
std::string ExtractFileIdFromUrl(const std::string& text);

// Replaces, in place, every token of text whose address starts with
// "https://" by `token`. A token here is "/:um_begin{https://", the shortest
// run without line ends up to the next "}/:um_end", and that end marker.
// Returns false (text untouched) when text holds no "/:um_begin"; else true,
// also when no token matched. Linear in the text.
bool ReplaceContentPic(std::string& text, const std::string& token);
