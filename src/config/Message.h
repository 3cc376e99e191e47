// The library's own messages on the standard error stream.
#pragma once

// Formats one message (printf-style, the system's engine) and writes it on the standard
// error stream, which may be a pipe whose reader went away: that makes the write fail,
// never the process end. Longer messages than 1024 bytes are cut.
void ksSayOnStandardError(const char* format, ...);
// "<prefix>: <the system's text for errno>\n", as perror writes it.
void ksSayError(const char* prefix);
