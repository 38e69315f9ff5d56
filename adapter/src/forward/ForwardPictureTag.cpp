#include "adapter/src/forward/ForwardPictureTag.h"

#include <cctype>

namespace {

constexpr size_t kNone = std::string::npos;

// How the search reads the expression: every tag that can match starts with
// "<img" and a blank, and the part of it before the src value (first form)
// or before the src (second form) holds no ">" ("[^>]*"). So a start can only
// use the attributes between it and the next ">", its segment, and a later
// start of the same segment sees a subset of them: only the first start of
// each segment needs to be tried. Each segment is read a bounded number of
// times, which keeps the whole search linear.
class Search {
 public:
  explicit Search(const std::string& html) : html_(html), lastGt_(html.rfind('>')) {}

  ForwardPictureTag::Span Run() {
    ForwardPictureTag::Span span;
    size_t from = 0;
    while ((from = html_.find('<', from)) != kNone) {
      const size_t start = from;
      if (!IsStart(start)) {
        ++from;
        continue;
      }
      const size_t gt = html_.find('>', start);
      if (gt == kNone) return span;  // no ">" left: nothing can close a tag
      size_t end = MatchSrcFirst(start, gt);
      if (end == kNone) end = MatchRoleFirst(start, gt);
      if (end != kNone) {
        span.found = true;
        span.begin = start;
        span.end = end;
        return span;
      }
      from = gt + 1;
    }
    return span;
  }

 private:
  static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
  }
  static bool IsQuote(char c) { return c == '"' || c == '\''; }

  bool At(size_t pos, const char* word) const {
    for (size_t i = 0; word[i] != '\0'; ++i) {
      if (pos + i >= html_.size()) return false;
      if (std::tolower(static_cast<unsigned char>(html_[pos + i])) != word[i]) return false;
    }
    return true;
  }

  // "<img" followed by a blank.
  bool IsStart(size_t pos) const {
    return At(pos, "<img") && pos + 4 < html_.size() && IsBlank(html_[pos + 4]);
  }

  // After an attribute name ending before `pos`: "\s?=\s?" and a quote.
  // The position of that quote, or kNone.
  size_t ValueQuote(size_t pos) const {
    if (pos < html_.size() && IsBlank(html_[pos])) ++pos;
    if (pos >= html_.size() || html_[pos] != '=') return kNone;
    ++pos;
    if (pos < html_.size() && IsBlank(html_[pos])) ++pos;
    return pos < html_.size() && IsQuote(html_[pos]) ? pos : kNone;
  }

  size_t NextQuote(size_t from) const {
    for (size_t at = from; at < html_.size(); ++at) {
      if (IsQuote(html_[at])) return at;
    }
    return kNone;
  }

  // A blank at `blank`, then src="...": the closing quote of the value.
  size_t SrcValueEnd(size_t blank) const {
    if (!IsBlank(html_[blank]) || !At(blank + 1, "src")) return kNone;
    const size_t open = ValueQuote(blank + 4);
    return open == kNone ? kNone : NextQuote(open + 1);
  }

  // A blank at `blank`, then role="pic" or role="picture": the closing
  // quote, or kNone.
  size_t RoleValueEnd(size_t blank) const {
    if (!IsBlank(html_[blank]) || !At(blank + 1, "role")) return kNone;
    const size_t open = ValueQuote(blank + 5);
    if (open == kNone) return kNone;
    for (const char* value : {"pic", "picture"}) {
      const size_t close = open + 1 + std::char_traits<char>::length(value);
      if (At(open + 1, value) && close < html_.size() && IsQuote(html_[close])) return close;
    }
    return kNone;
  }

  // The blank before the last role="pic" between `from` and `gt`, or kNone.
  size_t LastRole(size_t from, size_t gt) const {
    size_t last = kNone;
    for (size_t at = from; at < gt; ++at) {
      if (RoleValueEnd(at) != kNone) last = at;
    }
    return last;
  }

  // The first non-blank after "<img" at `start`.
  size_t FirstAttribute(size_t start) const {
    size_t at = start + 4;
    while (at < html_.size() && IsBlank(html_[at])) ++at;
    return at;
  }

  // src, then role, in the segment of `start` ending at `gt`: the end of the
  // tag, or kNone. The src right after "<img" is preferred; else the last
  // src whose value is followed, before the next ">", by a picture role.
  size_t MatchSrcFirst(size_t start, size_t gt) const {
    const size_t roleInSegment = LastRole(start + 4, gt);
    // Whether a picture role follows a src value that closes at `close`,
    // before the next ">". Only the last src of a segment can have its
    // value close beyond the segment: a later src needs a quote before it.
    const auto roleFollows = [&](size_t close) {
      if (close < gt) return roleInSegment != kNone && roleInSegment > close;
      const size_t nextGt = html_.find('>', close);
      return nextGt != kNone && LastRole(close + 1, nextGt) != kNone;
    };
    const auto tagEnd = [&](size_t close) { return html_.find('>', close) + 1; };
    const size_t first = FirstAttribute(start);
    if (first < gt) {
      const size_t close = SrcValueEnd(first - 1);
      if (close != kNone && roleFollows(close)) return tagEnd(close);
    }
    size_t chosen = kNone;
    for (size_t at = start + 4; at < gt; ++at) {
      const size_t close = SrcValueEnd(at);
      if (close != kNone && roleFollows(close)) chosen = close;
    }
    return chosen == kNone ? kNone : tagEnd(chosen);
  }

  // role, then src, in the segment of `start` ending at `gt`: the end of the
  // tag, or kNone. Whichever role is taken, the src is the last one after it
  // whose value closes and is followed by some ">".
  size_t MatchRoleFirst(size_t start, size_t gt) const {
    size_t firstRoleEnd = kNone;
    size_t lastSrcClose = kNone;
    for (size_t at = start + 4; at < gt; ++at) {
      if (firstRoleEnd == kNone) {
        firstRoleEnd = RoleValueEnd(at);
        continue;
      }
      if (at <= firstRoleEnd) continue;
      const size_t close = SrcValueEnd(at);
      if (close != kNone && lastGt_ != kNone && close < lastGt_) lastSrcClose = close;
    }
    return lastSrcClose == kNone ? kNone : html_.find('>', lastSrcClose) + 1;
  }

  const std::string& html_;
  const size_t lastGt_;
};

}  // namespace

ForwardPictureTag::Span ForwardPictureTag::Find(const std::string& html) {
  return Search(html).Run();
}
