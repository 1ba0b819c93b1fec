#include "core/provider/select_text.h"

#include <cctype>

#include "core/value/provider_error.h"

namespace tabvert::ado {
namespace {

class Scanner {
  public:
    explicit Scanner(std::string_view text) : s_(text) {}

    void SkipBlanks() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
    }
    bool AtEnd() const { return pos_ >= s_.size(); }
    char Peek() const { return AtEnd() ? '\0' : s_[pos_]; }
    void Advance() { ++pos_; }

    // A keyword in any case, not followed by a letter or digit.
    bool Keyword(std::string_view word) {
        SkipBlanks();
        if (s_.size() - pos_ < word.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(s_[pos_ + i])) != word[i]) return false;
        const std::size_t end = pos_ + word.size();
        if (end < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[end])) || s_[end] == '_'))
            return false;
        pos_ = end;
        return true;
    }

    std::optional<std::int64_t> Number() {
        SkipBlanks();
        std::int64_t value = 0;
        std::size_t digits = 0;
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) {
            const int digit = s_[pos_] - '0';
            if (value > (INT64_MAX - digit) / 10) return std::nullopt;
            value = value * 10 + digit;
            ++pos_;
            ++digits;
        }
        if (digits == 0) return std::nullopt;
        return value;
    }

  private:
    std::string_view s_;
    std::size_t pos_ = 0;
};

[[noreturn]] void Syntax(const char* message) { throw ProviderError(ErrorReason::BadCommand, message); }

}  // namespace

SelectStatement ParseSelect(std::string_view sql) {
    Scanner in(sql);
    SelectStatement result;
    if (!in.Keyword("select"))
        Syntax("Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    if (in.Keyword("top")) {
        result.top = in.Number();
        if (!result.top)
            Syntax(
                "The SELECT statement includes a reserved word or an argument name that is "
                "misspelled or missing, or the punctuation is incorrect.");
    }
    in.SkipBlanks();
    if (in.Peek() != '*')
        Syntax("This provider reads whole tables only: the query must select * from one table.");
    in.Advance();
    if (!in.Keyword("from"))
        Syntax(
            "The SELECT statement includes a reserved word or an argument name that is misspelled or "
            "missing, or the punctuation is incorrect.");
    in.SkipBlanks();
    if (in.Peek() != '[') Syntax("Syntax error in FROM clause.");
    in.Advance();
    std::string name;
    for (;;) {
        if (in.AtEnd()) Syntax("Syntax error in FROM clause.");
        const char c = in.Peek();
        in.Advance();
        if (c == ']') {
            if (in.Peek() == ']') {
                name += ']';
                in.Advance();
                continue;
            }
            break;
        }
        name += c;
    }
    if (name.empty()) Syntax("Syntax error in FROM clause.");
    in.SkipBlanks();
    if (in.Peek() == ';') {
        in.Advance();
        in.SkipBlanks();
    }
    if (!in.AtEnd()) Syntax("Syntax error in FROM clause.");
    result.table = std::move(name);
    return result;
}

std::string BracketedName(std::string_view name) {
    std::string out = "[";
    for (const char c : name) {
        out += c;
        if (c == ']') out += ']';
    }
    return out + "]";
}

}  // namespace tabvert::ado
