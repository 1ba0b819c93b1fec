#pragma once
// Shared by the workbook engine's tests: an application spooling into a test's own folder.

#include "core/workbook/excel.h"

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

namespace tabvert::excel::testing {

inline std::unique_ptr<Application> StartExcel(const QTemporaryDir& spoolDir,
                                               text::Locale locale = text::Locale::enUS()) {
    ApplicationOptions options;
    options.tempFolder = spoolDir.path().toStdString();
    options.locale = std::move(locale);
    return CreateApplication(kApplicationClassId, options);
}

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline bool IsXlsx(const std::filesystem::path& path) { return Slurp(path).rfind("PK\x03\x04", 0) == 0; }
inline bool IsXls(const std::filesystem::path& path) {
    return Slurp(path).rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0) == 0;
}

inline long ThrownNumber(const std::function<void()>& call) {
    try {
        call();
    } catch (const ExcelError& e) {
        return e.number();
    }
    return 0;
}

}  // namespace tabvert::excel::testing
