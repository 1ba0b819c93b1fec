#include "core/database/connection_rule.h"

#include "core/provider/connection_string.h"
#include "core/text/strings.h"

namespace tabvert::database {
std::string GetExtName(const std::string& ScanString) {
    const auto dot = ScanString.rfind('.');
    if (dot == std::string::npos) return {};
    return std::string(text::TrimBlanks(std::string_view(ScanString).substr(dot + 1)));
}

std::string BuildConnectionString(const std::string& dbpath, bool passwordProtected,
                                  const std::string& password) {
    const std::string ext = GetExtName(dbpath);
    const bool jet = ext == "mdb" || ext == "mde";
    const std::string path = ado::QuoteConnectionValue(dbpath);
    const std::string pwd = passwordProtected
                                ? ado::QuoteConnectionValue(std::string(text::TrimBlanks(password)))
                                : std::string();

    if (jet) {
        if (passwordProtected)
            return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
                   ";Persist Security Info=False;Jet OLEDB:Database Password=" + pwd;
        return "Provider=Microsoft.Jet.OLEDB.4.0; Data Source=" + path + "; ";
    }
    if (passwordProtected)
        return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path +
               "; Jet OLEDB:Database Password=" + pwd + "; Persist Security Info=False;";
    return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path + "; Persist Security Info=False;";
}

}  // namespace tabvert::database
