// Rewriting of emoji image paths in the HTML form of a message, so that the
// host shows emoticons from its local emoji folder.
#pragma once

#include <string>

namespace xml {

// Returns html with each emoji <img ...> tag rewritten; other text and other
// tags are copied unchanged. A tag is an emoji tag when it holds, in any
// letter case, the internal emotion address "file:///QX.InternalImg//emotion/"
// or a character followed by "/static/emojis/" (the local folder
// "./static/emojis/"). In an emoji tag:
//   - role="emoji" is put directly before the attribute text unless the tag
//     already has a role = "emoji" attribute (blanks around "=" and inside
//     the quotes allowed, any letter case);
//   - every internal emotion address becomes "./static/emojis/".
// Tags are "<img " (any case), a run without "<" and ">", then ">".
// Linear in the text, no recursion, never throws for bad input; any thread.
std::string ConvertEmojiPathToLocal(const std::string& html);

}  // namespace xml
