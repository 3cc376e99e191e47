// The name of an instance's output file, made from text that came from the network.
#pragma once
#include <string>
#include <string_view>

// Whether uuid is an instance identifier's text form: 36 characters, lowercase hex digits
// in groups of 8, 4, 4, 4 and 12 separated by hyphens. Only such identifiers name files,
// so that the identifier is always the last 36 characters before the extension and no
// application name can reach into it.
bool isInstanceIdentifier(std::string_view uuid);

// "<application>-<uuid><extension>" with only letters, digits, '-', '_' and '.' kept,
// no leading '.', each part bounded; a part that had to be changed gets a 64-bit hash of
// its original text, so that two different hostile names do not share a file. The result
// never contains a path separator, so it cannot leave the output folder.
std::string instanceFileName(std::string_view application, std::string_view uuid,
                             std::string_view extension);

// Text from the network made fit for one line of a terminal or log: printable ASCII
// and bytes from 0x80 up stay, other bytes become "\xNN"; cut to limit bytes of input.
std::string displayText(std::string_view text, std::size_t limit = 64);
