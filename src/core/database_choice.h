#pragma once
// The user's database choice as every run reads it from the open-database dialog: the path exactly as
// typed, the password-protected flag (1 = checked) and the password text as typed (the connection rule
// trims it when it is used).

#include <string>

namespace tabvert::database {

struct DatabaseChoice {
    std::string path;
    int pwdcheck = 0;
    std::string password;
};

}  // namespace tabvert::database
