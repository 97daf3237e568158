#include "tools/orv-host/output_file.h"

#include "tools/orv-host/os.h"

#include <cstdio>
#include <string>

namespace orvhost {

bool planOutput(const std::string& path, OutputPlan& plan, std::string& error) {
    plan.target = followLinks(path);
    switch (pathKind(plan.target)) {
        case PathKind::Folder: error = "the output " + path + " is a folder"; return false;
        case PathKind::Other:
            plan.direct = true;
            plan.writePath = plan.target;
            return true;
        case PathKind::Regular:
            if (!canWriteExisting(plan.target)) {
                error = "the output " + path + " is not writable";
                return false;
            }
            break;
        case PathKind::Missing: break;
    }
    plan.direct = false;
    // Named for this process: two runs writing the same output at once each write a file of
    // their own, and the one that finishes last leaves its complete output.
    plan.writePath = plan.target + ".partial-" + std::to_string(processId());
    return true;
}

bool completeOutput(const OutputPlan& plan, bool written, std::string& error) {
    const bool ok = written && (plan.direct || replaceFile(plan.writePath, plan.target));
    if (!ok) {
        discardOutput(plan);
        error = "cannot write " + plan.target;
    }
    return ok;
}

void discardOutput(const OutputPlan& plan) {
    if (!plan.direct && !plan.writePath.empty()) std::remove(plan.writePath.c_str());
}

bool writeWholeFile(const std::string& path, const void* data, std::size_t size, std::string& error) {
    OutputPlan plan;
    if (!planOutput(path, plan, error)) return false;
    std::FILE* f = std::fopen(plan.writePath.c_str(), "wb");
    bool ok = f && std::fwrite(data, 1, size, f) == size;
    if (f) ok = (std::fclose(f) == 0) && ok;
    return completeOutput(plan, ok, error);
}

}  // namespace orvhost
