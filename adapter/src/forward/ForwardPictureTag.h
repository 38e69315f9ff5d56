// The search behind replaceFileNameInImgTags: the first img tag of an html
// text whose role is "pic" or "picture", with its src before or after the
// role. It finds what this ECMAScript expression finds, case-insensitively,
// on its first match:
//   (<img\s+((src)|([^>]*\s+src))\s?=\s?["']([^"']*)["'][^>]*\s+role\s?=\s?
//    ["'](pic|picture)["'][^>]*>)|(<img\s+((role)|([^>]*\s+role))\s?=\s?
//    ["'](pic|picture)["']([^>]*\s+src)\s?=\s?["']([^"']*)["'][^>]*>)
// but in time linear in the html, whatever it holds (unclosed tags, quotes
// that never close, thousands of attributes): a regular-expression engine
// backtracks over such text for minutes. Stateless; any thread.
#pragma once

#include <cstddef>
#include <string>

class ForwardPictureTag {
 public:
  struct Span {
    bool found = false;
    size_t begin = 0;  // the "<" of "<img"
    size_t end = 0;    // one past the tag's closing ">"
  };

  // The first picture img tag of html, as the expression above matches it.
  static Span Find(const std::string& html);
};
