#include "core/workbook/file_format.h"

namespace tabvert::excel {

namespace {

struct SplitName {
    std::string_view folder;  // up to and including the last "/"
    std::string_view name;    // without trailing blanks and dots
};

SplitName Split(std::string_view path) {
    const auto slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    std::string_view name = path.substr(nameStart);
    const auto last = name.find_last_not_of(" .");
    name = last == std::string_view::npos ? std::string_view() : name.substr(0, last + 1);
    return {path.substr(0, nameStart), name};
}

std::string_view ExtensionOfName(std::string_view name) {
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) return {};
    return name.substr(dot + 1);
}

bool IsXlsx(std::string_view extension) {
    constexpr std::string_view kXlsx = "xlsx";
    if (extension.size() != kXlsx.size()) return false;
    for (std::size_t i = 0; i < kXlsx.size(); ++i)
        if ((extension[i] | 0x20) != kXlsx[i]) return false;
    return true;
}

}  // namespace

std::string_view WorkbookExtension(std::string_view path) { return ExtensionOfName(Split(path).name); }

std::string WithDefaultExtension(std::string_view path, std::string_view extension) {
    const SplitName split = Split(path);
    std::string out(split.folder);
    out += split.name;
    if (!split.name.empty() && ExtensionOfName(split.name).empty()) {
        out += '.';
        out += extension;
    }
    return out;
}

WorkbookTarget ResolveWorkbookTarget(std::string_view path, WorkbookFormat format) {
    WorkbookTarget target;
    if (path.empty()) {
        target.refusal = "the file name is empty";
        return target;
    }
    const SplitName split = Split(path);
    if (split.name.empty()) {
        target.refusal = "\"" + std::string(path) + "\" names a folder, not a file";
        return target;
    }
    const std::string_view extension = ExtensionOfName(split.name);
    target.xlsx = format == WorkbookFormat::Xlsx || (format == WorkbookFormat::ByName && IsXlsx(extension));
    target.path = std::string(split.folder) + std::string(split.name);
    if (extension.empty()) target.path += target.xlsx ? ".xlsx" : ".xls";
    return target;
}

}  // namespace tabvert::excel
