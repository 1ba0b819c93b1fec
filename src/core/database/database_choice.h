#pragma once
// The user's database choice as every run reads it from the open-database dialog: the path exactly as
// typed, whether it is declared password-protected and the password text as typed (the connection rule
// trims it when it is used).

#include <string>

namespace tabvert::database {

struct DatabaseChoice {
    std::string path;
    bool passwordProtected = false;
    std::string password;
};

}  // namespace tabvert::database
