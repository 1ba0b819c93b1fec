#include "core/export/export_target.h"

namespace tabvert::exporting {

std::string ReplaceMdbEnding(std::string_view fileName) {
    constexpr std::string_view kFrom = ".mdb";
    std::string result(fileName);
    if (fileName.ends_with(kFrom)) result.replace(result.size() - kFrom.size(), kFrom.size(), ".xls");
    return result;
}

std::string CollapseTripleBackslashes(std::string_view path) {
    constexpr std::string_view kThree = "\\\\\\";
    std::string result;
    result.reserve(path.size());
    std::size_t i = 0;
    while (i < path.size()) {
        if (path.substr(i, kThree.size()) == kThree) {
            result += "\\\\";
            i += kThree.size();
        } else {
            result += path[i++];
        }
    }
    return result;
}

}  // namespace tabvert::exporting
