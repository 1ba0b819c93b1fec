#include "core/export/export_settings.h"

#include <QDir>
#include <QString>
#include <filesystem>

#include "core/database/preview.h"

namespace tabvert::exporting {

namespace {

bool SwitchedOn(const QString& value) {
    const QString text = value.trimmed();
    bool number = false;
    const long long n = text.toLongLong(&number);
    if (number) return n != 0;
    return text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0 ||
           text.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0;
}

}  // namespace

ExportSettings ReadExportSettings(const settings::SettingsStore& store) {
    const QString app = QString::fromLatin1(database::kSettingsApplication);
    const QString section = QString::fromLatin1(kExportSection);
    ExportSettings out;
    if (const auto value = store.Value(app, section, QString::fromLatin1(kContinueSheetsKey)))
        out.continueSheets = SwitchedOn(*value);
    if (const auto value = store.Value(app, section, QString::fromLatin1(kAttachmentsFolderKey)))
        out.attachmentsFolder = value->trimmed().toStdString();
    return out;
}

std::string AttachmentsFolderFor(const std::string& setting, const std::string& workbookPath) {
    namespace fs = std::filesystem;
    if (setting.empty()) return {};
    if (setting == "~" || setting.starts_with("~/"))
        return (QDir::homePath().toStdString() + setting.substr(1));
    const fs::path folder(setting);
    if (folder.is_absolute()) return setting;
    return (fs::path(workbookPath).parent_path() / folder).string();
}

}  // namespace tabvert::exporting
