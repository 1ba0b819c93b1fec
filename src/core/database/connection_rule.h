#pragma once
// The one rule that turns the user's database choice into the provider and connection string every
// database run opens: Jet 4.0 for "mdb" and "mde" files, ACE 12.0 for everything else.

#include <string>

namespace tabvert::database {

// The text behind the last "." of ScanString (anywhere in the path, not only the file name), with
// leading and trailing blanks removed; "" when there is no ".".
std::string GetExtName(const std::string& ScanString);

// The connection string for dbpath (used unchanged), whether the database is declared protected and
// the password text (trimmed here, used only when protected). Path and password appear as typed unless
// they hold ";", a quote or surrounding blanks; such values are quoted so that they arrive intact.
std::string BuildConnectionString(const std::string& dbpath, bool passwordProtected,
                                  const std::string& password);

}  // namespace tabvert::database
