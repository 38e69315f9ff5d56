#include <gtest/gtest.h>

#include <string>

#include "adapter/src/ImAdapterMediaToken.h"

namespace {

TEST(EmojiPath, RewritesOnlyEmojiImageTags) {
  struct Case {
    const char* name;
    std::string html;
    std::string expected;
  };
  const Case cases[] = {
      {"internal address, any case", "<img src=\"file:///qx.internalimg//emotion/1.png\">",
       "<img role=\"emoji\"src=\"./static/emojis/1.png\">"},
      {"existing role keeps its text", "<img role = \" Emoji \" src=\"file:///QX.InternalImg//emotion/2.png\">",
       "<img role = \" Emoji \" src=\"./static/emojis/2.png\">"},
      {"local folder gets the role, path kept", "<img src=\"./static/emojis/3.png\">",
       "<img role=\"emoji\"src=\"./static/emojis/3.png\">"},
      {"any character before the local folder", "<img src=\"x/STATIC/emojis/3.png\">",
       "<img role=\"emoji\"src=\"x/STATIC/emojis/3.png\">"},
      {"line end before the folder does not count", "<img src=\"\n/static/emojis/3.png\">",
       "<img src=\"\n/static/emojis/3.png\">"},
      {"other address untouched", "<img src=\"https://h/a.png\">", "<img src=\"https://h/a.png\">"},
      {"upper-case tag name kept", "<IMG src=\"file:///QX.InternalImg//emotion/4.png\">",
       "<IMG role=\"emoji\"src=\"./static/emojis/4.png\">"},
      {"another role is not emoji", "<img role=\"icon\" src=\"./static/emojis/5.png\">",
       "<img role=\"emoji\"role=\"icon\" src=\"./static/emojis/5.png\">"},
      {"every address in the tag",
       "<img src=\"file:///QX.InternalImg//emotion/6.png\" alt=\"file:///QX.InternalImg//emotion/\">",
       "<img role=\"emoji\"src=\"./static/emojis/6.png\" alt=\"./static/emojis/\">"},
      {"text between tags kept",
       "a<b>b</b><img src=\"./static/emojis/1.png\">c<img src=\"y.png\">d",
       "a<b>b</b><img role=\"emoji\"src=\"./static/emojis/1.png\">c<img src=\"y.png\">d"},
      {"address outside a tag untouched", "file:///QX.InternalImg//emotion/1.png",
       "file:///QX.InternalImg//emotion/1.png"},
      {"unclosed tag", "<img src=\"./static/emojis/1.png\"", "<img src=\"./static/emojis/1.png\""},
      {"tag cut by another tag", "<img a<img src=\"./static/emojis/1.png\">",
       "<img a<img role=\"emoji\"src=\"./static/emojis/1.png\">"},
      {"img without blank is no tag", "<img/src=\"./static/emojis/1.png\">",
       "<img/src=\"./static/emojis/1.png\">"},
      {"empty", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertEmojiPathToLocal(c.html), c.expected) << c.name;
  }
}

}  // namespace
