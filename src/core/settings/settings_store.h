#pragma once
// The per-user settings store: string values addressed by application name, section and key, read
// with a default. Each application keeps one INI file, <root>/<application>/<application>.ini, with one
// [section] per section and key=value lines; the root is the user's configuration folder
// ($XDG_CONFIG_HOME, else ~/.config). Nothing in the program writes to the store.

#include <QString>
#include <optional>

namespace tabvert::settings {

class SettingsStore {
  public:
    // Reads from the user's configuration folder, resolved at every read.
    SettingsStore() = default;
    // Reads from the given folder instead (tests point it at a temporary folder).
    explicit SettingsStore(QString root);

    // The value stored under application, section and key, or `defaultValue` when the file, the
    // section or the key is absent. Section and key names match without regard to case, as registry
    // names do; an exact match wins.
    QString GetSetting(const QString& appName, const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // The same lookup, telling an absent key (nullopt) from a stored empty text.
    std::optional<QString> Value(const QString& appName, const QString& section, const QString& key) const;

    // The INI file that holds the values of `appName`.
    QString FileFor(const QString& appName) const;

  private:
    QString root_;  // empty: the user's configuration folder
};

}  // namespace tabvert::settings
