// The name of an instance's output file, made from text that came from the network.
#pragma once
#include <string>
#include <string_view>

// Whether uuid is an instance identifier's text form: 36 characters, lowercase hex digits
// in groups of 8, 4, 4, 4 and 12 separated by hyphens.
bool isInstanceIdentifier(std::string_view uuid);

// "<application>-<uuid><extension>". The application keeps only letters, digits, '-',
// '_' and '.', no leading '.' or '-', at most 64 bytes; when it had to be changed it gets
// a 64-bit hash of its original text. An identifier that is not in its text form is
// written as '~' and the hex digits of its bytes, so that no application name can reach
// into it and two instances never share a file. The result never contains a path
// separator, so it cannot leave the output folder.
std::string instanceFileName(std::string_view application, std::string_view uuid,
                             std::string_view extension);

// Text from the network made fit for one line of a terminal or log: printable ASCII
// and bytes from 0x80 up stay, other bytes become "\xNN"; cut to limit bytes of input.
std::string displayText(std::string_view text, std::size_t limit = 64);
