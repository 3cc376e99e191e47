// The daemon sink's target text: KESTLOG, defaults, "null", host and port.
#include "sinks/LogdTarget.h"

ksLogdTargetChoice chooseLogdTarget(const ksString& configured, const ksString& environment) {
    ksLogdTargetChoice choice{configured, false};
    if (choice.target.find("%KESTLOG%") >= 0)
        choice.target.replace("%KESTLOG%", environment, true);
    else if (!environment.isEmpty() && environment.compare(choice.target) != 0)
        choice.deprecationBanner = true;
    if (choice.target.isEmpty())
        choice.target = kLogdDefaultTarget;
    else if (choice.target.toLower().compare("null") == 0)
        choice.target = "";
    return choice;
}

ksLogdEndpoint splitLogdTarget(const ksString& target) {
    int64_t colon = target.findChar(':', true);
    if (colon <= 0)
        return ksLogdEndpoint{target, kLogdDefaultPort};
    ksLogdEndpoint endpoint{ksString(target.c_str(), colon), ksString(target.c_str() + colon + 1)};
    if (endpoint.port.isEmpty())
        endpoint.port = kLogdDefaultPort;
    return endpoint;
}
