// The bytes the client sends: form bodies of the two commands and the HTTP
// request around them. Pure functions, so the exact bytes can be checked.
#pragma once

#include <string>
#include <string_view>

#include "engine/device/device_types.h"

namespace engine::cddb {

// "cmd=cddb+query+%08x+%d+" with one "%d+" per track offset, then
// "%d&hello=%s+%s&proto=6" (seconds, e-mail, agent; "@" and blanks after the
// piece's first character become "+"). The record comes from the device
// layer: [0] identifier, [1] count n, [2..2+n) offsets, [2+n] seconds.
std::string QueryBody(const device::DiscIdRecord& disc, std::string_view userEMail, std::string_view agent);

// "cmd=cddb+read+%s+%s&hello=%s+%s&proto=6". Level 6 asks for entries in
// UTF-8, so titles in any script arrive whole; a server that still answers in
// ISO-8859-1 is understood too (DecodeCddbText). The category comes from the
// server's reply: bytes that could add form fields ("&", "=", "+", "%",
// blanks, controls) are percent-encoded; CDDB categories never have them.
std::string ReadBody(std::string_view category, std::string_view discId, std::string_view userEMail,
                     std::string_view agent);

// The HTTP/1.0 POST with the absolute URI of the gateway script, the form
// content type, our user agent line, "Content-Length" of body + 2, the body
// and a closing CR LF.
std::string HttpRequest(std::string_view server, std::string_view cgiScript, std::string_view body);

}  // namespace engine::cddb
