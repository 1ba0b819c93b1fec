#pragma once
// The preview run: reads up to 10,000 records of one table and hands the columns, the rows and the
// progress-bar values to a PreviewSink as it goes. It knows nothing of widgets, so whatever it handed
// over before a failure stays with the sink. The form's click handler clears the list, refreshes the
// database path and leaves out clicks on the root node before it starts a run.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/common/twips.h"
#include "core/database/database_choice.h"
#include "core/settings/settings_store.h"
#include "core/text/locale.h"

namespace tabvert::database {

inline constexpr int kPreviewRowLimit = 10000;
inline constexpr int kPreviewProgressMaximum = 500;
// Where the column settings live in the settings store: keys "Col<n>" and "ColWidth<n>", n from 1.
inline constexpr const char* kSettingsApplication = "Norrin Tabvert";
inline constexpr const char* kSettingsSection = "Settings";

class PreviewSink {
  public:
    virtual ~PreviewSink() = default;
    // One column per field, in field order, captioned with the field names.
    virtual void AddColumns(const std::vector<std::string>& captions) = 0;
    // Moves column `index` (1-based, field order) to display position `position` (1-based); the columns
    // between the old and the new position shift by one, as a list view's header does.
    virtual void MoveColumn(int index, int position) = 0;
    virtual void SetColumnWidth(int index, int pixels) = 0;
    // One record: the text of every field, in field order (Null as "").
    virtual void AddRow(std::vector<std::string>&& cells) = 0;
    virtual void SetProgressMaximum(int maximum) = 0;
    virtual void SetProgressValue(int value) = 0;
};

// A stored column setting the column does not accept: not a number, a position outside the columns, or a
// width below zero or beyond any screen. what() is the message for the user.
class ColumnSettingError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The query of a preview: the first 10,000 records of `table`. A "]" in the name is doubled so that the
// name stays one bracketed identifier.
std::string PreviewQuery(std::string_view table);

// Applies the stored "Col<n>" (display position) and "ColWidth<n>" (width in twips) values to the
// columns 1 to columnCount, column by column in index order, position before width. An absent key leaves
// that column's position or width as it is. Throws ColumnSettingError at the first value a column does
// not accept; what was applied before it stays.
void ApplyColumnSettings(int columnCount, const settings::SettingsStore& store, PreviewSink& sink);

// Opens the database of `choice` by the connection rule, reads the preview query of `table`, hands the
// columns (with their settings applied), the rows and the progress to `sink`, then closes the recordset
// and the connection. Provider failures propagate as ado::ProviderError and setting failures as
// ColumnSettingError, with nothing closed or undone.
void RunPreview(const DatabaseChoice& choice, std::string_view table, const settings::SettingsStore& store,
                const text::Locale& locale, PreviewSink& sink);

}  // namespace tabvert::database
