#include "core/settings/settings_store.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <utility>

namespace tabvert::settings {

namespace {

// Finds `name` among `names`: the exact spelling first, then any spelling that differs only in case.
QString Match(const QStringList& names, const QString& name) {
    if (names.contains(name)) return name;
    for (const QString& candidate : names) {
        if (candidate.compare(name, Qt::CaseInsensitive) == 0) return candidate;
    }
    return {};
}

// QSettings turns an unquoted value with commas into a list; the store hands out the text as written.
QString AsText(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

}  // namespace

SettingsStore::SettingsStore(QString root) : root_(std::move(root)) {}

QString SettingsStore::FileFor(const QString& appName) const {
    const QString root =
        root_.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) : root_;
    return root + QLatin1Char('/') + appName + QLatin1Char('/') + appName + QStringLiteral(".ini");
}

QString SettingsStore::GetSetting(const QString& appName, const QString& section, const QString& key,
                                  const QString& defaultValue) const {
    return Value(appName, section, key).value_or(defaultValue);
}

std::optional<QString> SettingsStore::Value(const QString& appName, const QString& section,
                                            const QString& key) const {
    const QString file = FileFor(appName);
    // QSettings would happily read a missing file as empty; checking first keeps a read from ever
    // touching the folder.
    if (!QFileInfo(file).isFile()) return std::nullopt;

    QSettings ini(file, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) return std::nullopt;

    // Keys outside any section land in QSettings' "General" group; a section is a group.
    const QString group = Match(ini.childGroups(), section);
    if (group.isEmpty()) return std::nullopt;
    ini.beginGroup(group);
    const QString name = Match(ini.childKeys(), key);
    if (name.isEmpty()) return std::nullopt;
    return AsText(ini.value(name));
}

}  // namespace tabvert::settings
