// JSON string writing for any bytes, so that the collector's JSON lines stay valid
// whatever a client sends.
#pragma once
#include <string>
#include <string_view>

// Appends bytes as a quoted JSON string: valid UTF-8 is kept as it is, '"', '\\' and
// control characters are escaped, and each byte that is not part of a valid UTF-8
// sequence becomes U+FFFD.
void appendJsonString(std::string& out, std::string_view bytes);
