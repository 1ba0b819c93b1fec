#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <iostream>
#include <stdexcept>

#include "cli/password_source.h"

namespace tabvert::cli {

text::Locale LocaleOption(const std::string& value) {
    if (value == "en_US") return text::Locale::EnUS();
    if (value == "de_DE") return text::Locale::DeDE();
    if (value == "system") return text::Locale::System();
    throw std::invalid_argument("unknown locale '" + value + "' (en_US, de_DE or system)");
}

Options ParseOptions(const Args& args, unsigned accepted) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw std::invalid_argument(a + " needs a value");
            return args[++i];
        };
        auto takes = [&](OptionSet option) { return (accepted & option) != 0; };
        if (a == "--") {  // what follows are paths or names, even when they start with "-"
            o.positional.insert(o.positional.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                args.end());
            break;
        }
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--details" && takes(kDetailsOption)) {
            o.details = true;
        } else if (a == "--password" && takes(kPasswordOption)) {
            o.password = value();
        } else if (a == "--password-file" && takes(kPasswordOption)) {
            o.password = ReadPasswordFile(value(), std::cin);
        } else if (a == "--top" && takes(kTopOption)) {
            const std::string& v = value();
            std::int64_t n = 0;
            const auto res = std::from_chars(v.data(), v.data() + v.size(), n);
            if (res.ec != std::errc() || res.ptr != v.data() + v.size() || n < 1)
                throw std::invalid_argument(
                    "--top needs a whole number from 1 to 9223372036854775807, not '" + v + "'");
            o.top = n;
        } else if (a == "--locale" && takes(kLocaleOption)) {
            o.locale = LocaleOption(value());
        } else if (a == "--table" && takes(kTableOption)) {
            const std::string& name = value();
            if (std::find(o.tables.begin(), o.tables.end(), name) == o.tables.end()) o.tables.push_back(name);
        } else if (a == "--continue-sheets" && takes(kExportFileOptions)) {
            o.continueSheets = true;
        } else if (a == "--attachments" && takes(kExportFileOptions)) {
            const std::string& folder = value();
            if (folder.empty()) throw std::invalid_argument("--attachments needs a folder");
            o.attachments = folder;
        } else if (a.size() > 1 && a[0] == '-') {
            throw std::invalid_argument("unknown option " + a);
        } else {
            o.positional.push_back(a);
        }
    }
    if (!o.password && (accepted & kPasswordOption)) o.password = PasswordFromEnvironment();
    return o;
}

}  // namespace tabvert::cli
