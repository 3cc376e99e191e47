// Where the daemon sink sends: the "Target" setting with the deprecated KESTLOG
// variable, and the host and port a target names.
#pragma once
#include "foundation/String.h"

constexpr const char* kLogdDefaultTarget = "127.0.0.1:12222";
constexpr const char* kLogdDefaultPort = "12222";

struct ksLogdTargetChoice {
    ksString target;        // empty: the sink is switched off ("null")
    bool deprecationBanner; // KESTLOG names another target than the settings
};

// configured is the "Target" value; environment KESTLOG's (empty when unset). Every
// "%KESTLOG%" in the target stands for the variable; an empty result means the default
// target; "null" in any case switches the sink off.
ksLogdTargetChoice chooseLogdTarget(const ksString& configured, const ksString& environment);

struct ksLogdEndpoint {
    ksString host;
    ksString port;
};

// Splits at the last ':'. A missing port is the default port; a target without a host
// before its colon (none at all, or ':' first) is a host name as a whole.
ksLogdEndpoint splitLogdTarget(const ksString& target);
