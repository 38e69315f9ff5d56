// Building of chat message bodies: the <r> envelope around an <imbody>
// document that holds the message text and its HTML form.
//
//   <r><n>id</n><g>flag</g><c>payload</c></r>
//
// flag 0: the payload is the <imbody> document written as escaped XML text;
// flag 1: the payload is the <imbody> document compressed and Base64-encoded.
// The functions keep no state, never throw for bad input and may be called
// from any thread.
#pragma once

#include <cstdint>
#include <string>

namespace xml {

// The finished body text for a message.
//   content: the message text, already escaped as the call site needs
//            (forwarding passes it through XmlEscapeText); it goes into the
//            <content> CDATA section as it is.
//   html:    the HTML form; unless raw, a non-empty html is wrapped in its own
//            CDATA section and XML-escaped as a whole.
//   flag:    written into <g>; 0 gives the escaped payload, any other value
//            the compressed and Base64-encoded one.
// Two bodies built within the same second carry the same id.
std::string Build(const std::string& content, const std::string& html, int32_t flag, bool raw);

// A text of `length` characters from "A-Za-z1234567890=-", drawn from a
// generator seeded with the current time in seconds (so equal within one
// second). A negative length gives "".
std::string RandomString(int length);

}  // namespace xml
