// Retention of rotated log files.
#include "sinks/LogRetention.h"
#include <algorithm>
#include <cstring>
#include "platform/platform.h"
#include "sinks/RotationPolicy.h"

namespace {

struct Scan {
    const ksLogFamily* family;
    const char* currentName;
    ksString folder; // with its trailing separator, or empty for the current directory
    std::vector<ksOldLog> logs;
};

ksString pathIn(const ksString& folder, const char* name) {
    ksString path(folder);
    path.append(name, std::strlen(name));
    return path;
}

bool visitName(void* context, const char* name) {
    Scan& scan = *static_cast<Scan*>(context);
    if (!scan.family->contains(name) || std::strcmp(name, scan.currentName) == 0)
        return true;
    ksPlatform::NameFacts facts;
    if (ksPlatform::factsOfName(pathIn(scan.folder, name), &facts) &&
        facts.kind == ksPlatform::PathKind::file)
        scan.logs.push_back(ksOldLog{ksString(name), facts.modifiedSeconds});
    return true;
}

} // namespace

size_t orderAndCountKept(std::vector<ksOldLog>* logs, uint32_t keep, uint32_t maxAgeDays,
                         int64_t now) {
    std::sort(logs->begin(), logs->end(), [](const ksOldLog& a, const ksOldLog& b) {
        if (a.modified != b.modified)
            return a.modified > b.modified;
        return std::strcmp(a.name, b.name) > 0;
    });
    size_t kept = logs->size();
    if (keep != 0 && kept > keep)
        kept = keep;
    if (maxAgeDays != 0) {
        int64_t oldest = now - static_cast<int64_t>(maxAgeDays) * 86400;
        size_t young = 0;
        while (young < kept && (*logs)[young].modified >= oldest)
            ++young;
        kept = young;
    }
    return kept;
}

uint32_t applyRetention(const char* current, const ksLogFamily& family,
                        const ksRotationSettings& settings, int64_t now) {
    if (!settings.retains())
        return 0;
    const char* name = lastComponent(current);
    Scan scan{&family, name, ksString(current, name - current), {}};
    const char* folder = scan.folder.isEmpty() ? "." : scan.folder.c_str();
    if (ksPlatform::listFolder(folder, visitName, &scan) != 0)
        return 0;
    size_t kept = orderAndCountKept(&scan.logs, settings.keep, settings.maxAgeDays, now);
    uint32_t deleted = 0;
    for (size_t i = kept; i < scan.logs.size(); ++i)
        if (ksPlatform::deleteFile(pathIn(scan.folder, scan.logs[i].name)) == 0)
            ++deleted;
    return deleted;
}
