// Record text made harmless for a terminal: no control sequence from the network
// reaches it.
#pragma once
#include <string>
#include <string_view>

// Appends bytes with C0 controls other than tab, DEL, C1 controls (U+0080 to U+009F)
// and bytes outside valid UTF-8 written as "\xNN"; everything else, backslashes
// included, stays as it is.
void appendTerminalText(std::string& out, std::string_view bytes);
