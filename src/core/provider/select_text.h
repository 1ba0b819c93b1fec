#pragma once
// The SELECT texts the program sends: "select * from [name]" and "select top N * from [name]", keywords
// in any case, blanks between the words as the Jet parser allows them, a "]" in the name written "]]".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tabvert::ado {

struct SelectStatement {
    std::string table;
    std::optional<std::int64_t> top;
};

// Throws ProviderError ("Syntax error in FROM clause." and the like) for anything else.
SelectStatement ParseSelect(std::string_view sql);

// A table name as the FROM clause takes it: between square brackets, each "]" inside written "]]".
std::string BracketedName(std::string_view name);

}  // namespace tabvert::ado
