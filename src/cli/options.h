#pragma once
// The one option parser of tabvert-cli's commands: positional arguments and the options each command
// takes (--password P, --top N, --locale L, --table T, --details, --continue-sheets, --attachments DIR,
// --help).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "core/text/locale.h"

namespace tabvert::cli {

struct Options {
    std::vector<std::string> positional;
    std::optional<std::string> password;
    std::optional<std::int64_t> top;
    text::Locale locale = text::Locale::System();
    std::vector<std::string> tables;  // every --table, each name once, in the order given
    bool help = false;
    bool details = false;
    bool continueSheets = false;             // --continue-sheets
    std::optional<std::string> attachments;  // --attachments DIR
};

// Which options a command takes besides --help.
enum OptionSet : unsigned {
    kPasswordOption = 1u << 0,
    kTopOption = 1u << 1,
    kLocaleOption = 1u << 2,
    kDetailsOption = 1u << 3,
    kTableOption = 1u << 4,
    kExportFileOptions = 1u << 5,  // --continue-sheets, --attachments DIR
};

// Throws std::invalid_argument with a message for the user: an option the command does not take, a
// missing or malformed value. "-" alone is a positional argument.
Options ParseOptions(const Args& args, unsigned accepted);

}  // namespace tabvert::cli
