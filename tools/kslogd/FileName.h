// The name of an instance's output file, made from text that came from the network.
#pragma once
#include <string>
#include <string_view>

// "<application>-<uuid><extension>" with only letters, digits, '-', '_' and '.' kept,
// no leading '.', each part bounded; a part that had to be changed gets a hash of its
// original text, so that two different hostile names do not share a file. The result
// never contains a path separator, so it cannot leave the output folder.
std::string instanceFileName(std::string_view application, std::string_view uuid,
                             std::string_view extension);

// Text from the network made fit for one line of a terminal or log: printable ASCII
// and bytes from 0x80 up stay, other bytes become "\xNN"; cut to limit bytes of input.
std::string displayText(std::string_view text, std::size_t limit = 64);
