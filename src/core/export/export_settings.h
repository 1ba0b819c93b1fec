#pragma once
// The [Export] section of the per-user settings file: what an export does beyond copying each table
// into one sheet. The window and tabvert-cli read it the same way; the command line's options come on
// top of it.

#include <string>

#include "core/settings/settings_store.h"

namespace tabvert::exporting {

inline constexpr const char* kExportSection = "Export";
inline constexpr const char* kContinueSheetsKey = "ContinueSheets";
inline constexpr const char* kAttachmentsFolderKey = "AttachmentsFolder";

struct ExportSettings {
    /// Records beyond a sheet's last row go on to further sheets instead of being left out.
    bool continueSheets = false;
    /// Where OLE objects are written as files; "" writes none. As stored: see
    /// AttachmentsFolderFor for what a relative folder means.
    std::string attachmentsFolder;
};

/// ContinueSheets: "1" (any whole number but 0), "true" or "yes" switch it on, anything else leaves it
/// off. AttachmentsFolder: the text as stored, blanks around it dropped.
ExportSettings ReadExportSettings(const settings::SettingsStore& store);

/// The folder a stored AttachmentsFolder names for a workbook saved as `workbookPath`: an absolute
/// folder as it is, "~/..." in the user's home folder, anything else relative to the workbook's own
/// folder. "" stays "".
std::string AttachmentsFolderFor(const std::string& setting, const std::string& workbookPath);

}  // namespace tabvert::exporting
