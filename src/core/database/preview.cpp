#include "core/database/preview.h"

#include <QString>
#include <cmath>
#include <optional>
#include <utility>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/provider/select_text.h"
#include "core/value/value_text.h"

namespace tabvert::database {

namespace {

// Wider than any screen: 1,000,000 pixels.
constexpr double kMaxWidthTwips = 1'000'000.0 * kTwipsPerPixel;

std::optional<double> ParseNumber(const QString& text) {
    bool ok = false;
    const double number = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) return std::nullopt;
    return number;
}

QString Quoted(const QString& key, const QString& value) {
    return key + QStringLiteral(" = \"") + value + QLatin1Char('"');
}

[[noreturn]] void Refuse(const QString& message) { throw ColumnSettingError(message.toStdString()); }

// Positions are whole numbers; a fraction rounds half to even, as the platform's integer conversion does.
int PositionSetting(const QString& key, const QString& value, int columnCount) {
    const std::optional<double> number = ParseNumber(value);
    if (!number) Refuse(QStringLiteral("The column setting %1 is not a number.").arg(Quoted(key, value)));
    const double position = std::nearbyint(*number);
    if (position < 1 || position > columnCount) {
        Refuse(QStringLiteral("The column setting %1 is not a position from 1 to %2.")
                   .arg(Quoted(key, value), QString::number(columnCount)));
    }
    return static_cast<int>(position);
}

int WidthSetting(const QString& key, const QString& value) {
    const std::optional<double> twips = ParseNumber(value);
    if (!twips) Refuse(QStringLiteral("The column setting %1 is not a number.").arg(Quoted(key, value)));
    if (*twips < 0 || *twips > kMaxWidthTwips) {
        Refuse(QStringLiteral("The column setting %1 is not a width in twips from 0 to %2.")
                   .arg(Quoted(key, value), QString::number(kMaxWidthTwips, 'f', 0)));
    }
    return static_cast<int>(std::lround(*twips / kTwipsPerPixel));
}

// A value its type cannot hold (a date outside the years 100 to 9999) or the reader could not decode
// shows as an empty cell, as the export leaves it; the rest of the preview goes on.
std::string CellText(const ado::Field& field, const text::Locale& locale) {
    try {
        const ado::Variant& value = field.Value();
        if (value.IsNull()) return {};
        return text::ValueToText(value, locale);
    } catch (const ado::ProviderError& e) {
        if (e.Reason() != ErrorReason::ValueOutOfRange && e.Reason() != ErrorReason::DamagedData) throw;
        return {};
    }
}

}  // namespace

std::string PreviewQuery(std::string_view table) {
    return "select Top " + std::to_string(kPreviewRowLimit) + " * from " + ado::BracketedName(table);
}

void ApplyColumnSettings(int columnCount, const settings::SettingsStore& store, PreviewSink& sink) {
    const QString app = QString::fromLatin1(kSettingsApplication);
    const QString section = QString::fromLatin1(kSettingsSection);
    for (int index = 1; index <= columnCount; ++index) {
        const QString positionKey = QStringLiteral("Col%1").arg(index);
        if (const auto value = store.Value(app, section, positionKey)) {
            sink.MoveColumn(index, PositionSetting(positionKey, *value, columnCount));
        }
        const QString widthKey = QStringLiteral("ColWidth%1").arg(index);
        if (const auto value = store.Value(app, section, widthKey)) {
            sink.SetColumnWidth(index, WidthSetting(widthKey, *value));
        }
    }
}

void RunPreview(const DatabaseChoice& choice, std::string_view table, const settings::SettingsStore& store,
                const text::Locale& locale, PreviewSink& sink) {
    ado::Connection connection;
    connection.Open(BuildConnectionString(choice.path, choice.passwordProtected, choice.password));
    ado::Recordset records;
    records.Open(PreviewQuery(table), connection);

    const long fieldCount = records.GetFields().Count();
    std::vector<std::string> captions;
    captions.reserve(static_cast<std::size_t>(fieldCount));
    for (long i = 0; i < fieldCount; ++i) captions.push_back(records.GetFields().Item(i).Name());
    sink.AddColumns(captions);
    ApplyColumnSettings(static_cast<int>(fieldCount), store, sink);

    // The bar runs from 3 after the first record up to 499 and then rests at 0: a sign of life for the
    // first few hundred records rather than a measure of the whole.
    int counter = 2;
    sink.SetProgressMaximum(kPreviewProgressMaximum);
    sink.SetProgressValue(0);
    while (!records.Eof()) {
        ado::Fields& fields = records.GetFields();
        std::vector<std::string> cells;
        cells.reserve(static_cast<std::size_t>(fieldCount));
        for (long i = 0; i < fieldCount; ++i) cells.push_back(CellText(fields.Item(i), locale));
        sink.AddRow(std::move(cells));
        ++counter;
        sink.SetProgressValue(counter > kPreviewProgressMaximum - 1 ? 0 : counter);
        records.MoveNext();
    }
    sink.SetProgressValue(0);
    records.Close();
    connection.Close();
}

}  // namespace tabvert::database
