// Paths of the configuration layer: the executable's path, directory and file name,
// folder tokens, and the normalisation that resolves relative paths against the
// executable's directory, unifies separators, trims and adds the long-path prefix.
//
// Paths are UTF-8 and may separate components with "/" or "\". Operations that produce a
// path fill a ksString and return true, or return false ("none") and leave it alone.
#pragma once
#include <cstdint>
#include "foundation/String.h"

// Flags of ksNormalizePath.
enum : uint32_t {
    ksPathPlatformForm = 0x01, // the platform's separators instead of "/"
    ksPathLongPrefix = 0x02,   // "\\?\" (or "\\?\UNC\") in front, on Windows only
};

// The path rules: Windows knows drive letters, network paths and the long-path prefix
// and separates with "\"; POSIX roots a path at "/" and separates with "/".
enum class ksPathRules { windows, posix };
ksPathRules ksPlatformPathRules();

bool ksExecutablePath(ksString* path);      // with every "\" turned into "/"
bool ksExecutableDirectory(ksString* path); // up to and including the last "/"
bool ksExecutableFileName(ksString* name);  // after the last "/", extension kept

// Replaces every <token> by its folder; a token may be shortened to the first letters of
// a name. An unknown, empty or unterminated token, or a folder that cannot be found,
// gives none.
bool ksExpandFolderTokens(const char* path, ksString* expanded);

// Without a base, relative paths are resolved against the executable's directory.
bool ksNormalizePath(const char* path, bool trim, uint32_t flags, const char* base,
                     ksString* normalized);
// The same under explicit rules, so that either platform's rules can be checked anywhere.
bool ksNormalizePathWith(ksPathRules rules, const char* path, bool trim, uint32_t flags,
                         const char* base, ksString* normalized);
