// The parser of Access SQL: a tokenizer and a recursive-descent parser that builds the tree of
// access_sql.h.

#include "core/sql/access_sql.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <cctype>
#include <cmath>

#include "core/text/locale.h"
#include "core/value/provider_error.h"

namespace tabvert::ado::sql {
namespace {

struct Token {
    enum class Kind { Word, Bracketed, String, Number, Date, Symbol, End };
    Kind kind = Kind::End;
    std::string text;
    std::size_t at = 0;
};

[[noreturn]] void Syntax(const std::string& message) {
    throw ProviderError(ErrorReason::BadCommand, message);
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<Token> Tokenize(const std::string& s) {
    std::vector<Token> out;
    std::size_t i = 0;
    auto isWordChar = [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    while (i < s.size()) {
        const char c = s[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        Token t;
        t.at = i;
        if (c == '[') {
            const auto end = s.find(']', i + 1);
            if (end == std::string::npos) Syntax("Invalid bracketing of name '" + s.substr(i) + "'.");
            t.kind = Token::Kind::Bracketed;
            t.text = s.substr(i + 1, end - i - 1);
            i = end + 1;
        } else if (c == '"' || c == '\'') {
            t.kind = Token::Kind::String;
            ++i;
            for (;;) {
                if (i >= s.size()) Syntax("Syntax error in string in query expression.");
                if (s[i] == c) {
                    if (i + 1 < s.size() && s[i + 1] == c) {
                        t.text += c;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                t.text += s[i++];
            }
        } else if (c == '#') {
            const auto end = s.find('#', i + 1);
            if (end == std::string::npos) Syntax("Syntax error in date in query expression.");
            t.kind = Token::Kind::Date;
            t.text = s.substr(i + 1, end - i - 1);
            i = end + 1;
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            t.kind = Token::Kind::Number;
            while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.'))
                t.text += s[i++];
            if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
                std::size_t j = i + 1;
                if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
                if (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) {
                    t.text += s.substr(i, j - i);
                    i = j;
                    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) t.text += s[i++];
                }
            }
        } else if (isWordChar(c)) {
            t.kind = Token::Kind::Word;
            while (i < s.size() && isWordChar(s[i])) t.text += s[i++];
        } else {
            t.kind = Token::Kind::Symbol;
            const std::string two = s.substr(i, 2);
            if (two == "<>" || two == "<=" || two == ">=") {
                t.text = two;
                i += 2;
            } else {
                t.text = std::string(1, c);
                ++i;
            }
        }
        out.push_back(std::move(t));
    }
    out.push_back(Token{Token::Kind::End, "", s.size()});
    return out;
}

// Days since 1899-12-30 of a date literal: m/d/yyyy, yyyy-mm-dd or m/d, with an optional time.
double DateLiteral(const std::string& text) {
    const QString s = QString::fromStdString(text).trimmed();
    QString datePart = s, timePart;
    const qsizetype space = s.indexOf(' ');
    if (space >= 0 && s.left(space).contains(QRegularExpression("[/-]"))) {
        datePart = s.left(space);
        timePart = s.mid(space + 1).trimmed();
    } else if (s.contains(':')) {
        datePart.clear();
        timePart = s;
    }
    double days = 0;
    if (!datePart.isEmpty()) {
        QDate d;
        const QStringList p = datePart.split(QRegularExpression("[/-]"));
        bool ok1 = false, ok2 = false, ok3 = true;
        if (p.size() == 3 && p[0].size() == 4)
            d = QDate(p[0].toInt(&ok1), p[1].toInt(&ok2), p[2].toInt(&ok3));
        else if (p.size() == 3) {
            int y = p[2].toInt(&ok3);
            if (p[2].size() <= 2) y += y < 30 ? 2000 : 1900;
            d = QDate(y, p[0].toInt(&ok1), p[1].toInt(&ok2));
        } else if (p.size() == 2)
            d = QDate(QDate::currentDate().year(), p[0].toInt(&ok1), p[1].toInt(&ok2));
        if (!ok1 || !ok2 || !ok3 || !d.isValid())
            Syntax("Syntax error in date in query expression '#" + text + "#'.");
        days = static_cast<double>(QDate(1970, 1, 1).addDays(text::kOleEpochUnixDays).daysTo(d));
    }
    if (!timePart.isEmpty()) {
        QTime t;
        for (const char* f : {"h:m:s AP", "h:m AP", "h:m:s", "h:m", "h AP"}) {
            t = QTime::fromString(timePart.toUpper(), f);
            if (t.isValid()) break;
        }
        if (!t.isValid()) Syntax("Syntax error in date in query expression '#" + text + "#'.");
        days += t.msecsSinceStartOfDay() / 86400000.0;
    }
    return days;
}

const char* const kReserved[] = {
    "select", "from", "where", "group", "having", "order", "union", "as", "on",        "inner", "left",
    "right",  "join", "and",   "or",    "not",    "like",  "in",    "is", "between",   "pivot", "into",
    "with",   "mod",  "xor",   "eqv",   "imp",    "asc",   "desc",  "by", "transform", "outer"};

class Parser {
  public:
    explicit Parser(const std::string& sql) : tokens_(Tokenize(sql)) {}

    Statement statement() {
        Statement st;
        if (word("parameters")) {
            for (;;) {
                Parameter p;
                p.name = name("a parameter name");
                while (peek().kind == Token::Kind::Word && !isSymbol(peek(), ",") && !isSymbol(peek(), ";"))
                    p.type += (p.type.empty() ? "" : " ") + next().text;
                if (symbol("(")) {  // Text (50)
                    while (!symbol(")")) next();
                }
                st.parameters.push_back(p);
                if (symbol(",")) continue;
                expectSymbol(";");
                break;
            }
        }
        if (word("transform")) {
            SelectItem t;
            t.expr = expression();
            if (word("as")) t.alias = name("an alias");
            st.transform = t;
        }
        for (;;) {
            const bool parenthesized = symbol("(");
            st.parts.push_back(select());
            if (parenthesized) expectSymbol(")");
            if (!word("union")) break;
            st.unionAll.push_back(word("all"));
        }
        if (st.parts.size() > 1) {  // a trailing ORDER BY sorts the whole union
            std::swap(st.unionOrderBy, st.parts.back()->orderBy);
            if (word("order")) {
                expectWord("by");
                st.unionOrderBy = orderItems();
            }
        }
        if (st.transform) {
            if (!word("pivot")) Syntax("Syntax error in TRANSFORM statement.");
            st.pivot = expression();
            if (word("in")) {
                expectSymbol("(");
                do st.pivotIn.push_back(expression());
                while (symbol(","));
                expectSymbol(")");
            }
        }
        if (word("with")) {
            expectWord("owneraccess");
            expectWord("option");
        }
        symbol(";");
        if (peek().kind != Token::Kind::End) Syntax("Characters found after end of SQL statement.");
        return st;
    }

  private:
    const Token& peek(std::size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& next() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }
    static bool isSymbol(const Token& t, const char* s) {
        return t.kind == Token::Kind::Symbol && t.text == s;
    }
    static bool isWord(const Token& t, const char* w) {
        return t.kind == Token::Kind::Word && Lower(t.text) == w;
    }
    bool symbol(const char* s) {
        if (!isSymbol(peek(), s)) return false;
        next();
        return true;
    }
    bool word(const char* w) {
        if (!isWord(peek(), w)) return false;
        next();
        return true;
    }
    void expectSymbol(const char* s) {
        if (!symbol(s)) Syntax(std::string("Syntax error: '") + s + "' expected near '" + peek().text + "'.");
    }
    void expectWord(const char* w) {
        if (!word(w)) Syntax(std::string("Syntax error: ") + w + " expected near '" + peek().text + "'.");
    }
    static bool reserved(const Token& t) {
        if (t.kind != Token::Kind::Word) return false;
        const std::string l = Lower(t.text);
        for (const char* r : kReserved)
            if (l == r) return true;
        return false;
    }
    std::string name(const char* what) {
        const Token& t = peek();
        if (t.kind == Token::Kind::Bracketed || (t.kind == Token::Kind::Word && !reserved(t)))
            return next().text;
        Syntax(std::string("Syntax error: ") + what + " expected near '" + t.text + "'.");
    }

    std::shared_ptr<Select> select() {
        expectWord("select");
        auto s = std::make_shared<Select>();
        for (;;) {
            if (word("distinct"))
                s->distinct = true;
            else if (word("distinctrow"))
                s->distinctRow = true;
            else if (word("all"))
                continue;
            else if (word("top")) {
                if (peek().kind != Token::Kind::Number)
                    Syntax(
                        "The SELECT statement includes a reserved word or an argument name that is "
                        "misspelled or missing, or the punctuation is incorrect.");
                s->top = std::stod(next().text);
                s->percent = word("percent");
            } else
                break;
        }
        do {
            SelectItem item;
            item.expr = expression();
            if (word("as")) item.alias = name("an alias");
            s->items.push_back(item);
        } while (symbol(","));
        if (word("into"))
            throw ProviderError(ErrorReason::QueryFailed,
                                "A make-table query changes the database; only select queries are run.");
        if (word("from")) {
            do s->from.push_back(fromItem());
            while (symbol(","));
            if (word("in"))
                throw ProviderError(ErrorReason::QueryFailed,
                                    "A query on another database file (FROM ... IN) is not supported.");
        }
        if (word("where")) s->where = expression();
        if (word("group")) {
            expectWord("by");
            do s->groupBy.push_back(expression());
            while (symbol(","));
        }
        if (word("having")) s->having = expression();
        if (word("order")) {
            expectWord("by");
            s->orderBy = orderItems();
        }
        return s;
    }

    std::vector<OrderItem> orderItems() {
        std::vector<OrderItem> out;
        do {
            OrderItem o;
            o.expr = expression();
            if (word("desc"))
                o.descending = true;
            else
                word("asc");
            out.push_back(o);
        } while (symbol(","));
        return out;
    }

    std::shared_ptr<FromItem> fromPrimary() {
        auto f = std::make_shared<FromItem>();
        if (symbol("(")) {
            if (isWord(peek(), "select")) {
                f->kind = FromItem::Kind::Subquery;
                f->select = select();
                expectSymbol(")");
            } else {
                f = fromItem();
                expectSymbol(")");
                return f;
            }
        } else {
            f->name = name("a table name");
            while (symbol(".")) f->name = name("a table name");  // [owner].[table]: the last part names it
        }
        if (word("as"))
            f->alias = name("an alias");
        else if (peek().kind == Token::Kind::Bracketed ||
                 (peek().kind == Token::Kind::Word && !reserved(peek())))
            f->alias = next().text;
        if (f->kind == FromItem::Kind::Subquery && !f->alias)
            f->alias = "Query" + std::to_string(++subqueries_);
        return f;
    }

    std::shared_ptr<FromItem> fromItem() {
        auto left = fromPrimary();
        for (;;) {
            std::string kind;
            if (word("inner"))
                kind = "inner";
            else if (word("left"))
                kind = "left";
            else if (word("right"))
                kind = "right";
            else
                break;
            word("outer");
            expectWord("join");
            auto j = std::make_shared<FromItem>();
            j->kind = FromItem::Kind::Join;
            j->joinKind = kind;
            j->left = left;
            j->right = fromPrimary();
            if (!word("on")) Syntax("Syntax error in JOIN operation.");
            j->on = expression();
            left = j;
        }
        return left;
    }

    static ExprPtr make(Expr::Kind kind) {
        auto e = std::make_shared<Expr>();
        e->kind = kind;
        return e;
    }
    static ExprPtr binary(const std::string& op, ExprPtr a, ExprPtr b) {
        auto e = make(Expr::Kind::Binary);
        e->op = op;
        e->args = {std::move(a), std::move(b)};
        return e;
    }

    ExprPtr expression() { return binaryLevel(0); }

    // Levels from loosest to tightest: Imp, Eqv, Xor, Or, And.
    ExprPtr binaryLevel(int level) {
        static const char* const kOps[] = {"imp", "eqv", "xor", "or", "and"};
        if (level == 5) return notLevel();
        ExprPtr left = binaryLevel(level + 1);
        while (word(kOps[level])) left = binary(kOps[level], left, binaryLevel(level + 1));
        return left;
    }

    ExprPtr notLevel() {
        if (word("not")) {
            auto e = make(Expr::Kind::Unary);
            e->op = "not";
            e->args = {notLevel()};
            return e;
        }
        return comparison();
    }

    ExprPtr comparison() {
        ExprPtr left = concatenation();
        for (;;) {
            const Token& t = peek();
            if (t.kind == Token::Kind::Symbol && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                                  t.text == ">" || t.text == "<=" || t.text == ">=")) {
                const std::string op = next().text;
                left = binary(op, left, concatenation());
                continue;
            }
            bool negated = false;
            if (isWord(t, "not") &&
                (isWord(peek(1), "like") || isWord(peek(1), "in") || isWord(peek(1), "between"))) {
                next();
                negated = true;
            }
            if (word("like")) {
                left = binary("like", left, concatenation());
                if (negated) {
                    auto n = make(Expr::Kind::Unary);
                    n->op = "not";
                    n->args = {left};
                    left = n;
                }
            } else if (word("between")) {
                auto e = make(Expr::Kind::Between);
                e->negated = negated;
                e->args.push_back(left);
                e->args.push_back(concatenation());
                expectWord("and");
                e->args.push_back(concatenation());
                left = e;
            } else if (word("in")) {
                expectSymbol("(");
                ExprPtr e;
                if (isWord(peek(), "select")) {
                    e = make(Expr::Kind::InSelect);
                    e->select = select();
                    e->args = {left};
                } else {
                    e = make(Expr::Kind::InList);
                    e->args.push_back(left);
                    do e->args.push_back(expression());
                    while (symbol(","));
                }
                expectSymbol(")");
                e->negated = negated;
                left = e;
            } else if (word("is")) {
                auto e = make(Expr::Kind::IsNull);
                e->negated = word("not");
                expectWord("null");
                e->args = {left};
                left = e;
            } else {
                return left;
            }
        }
    }

    ExprPtr concatenation() {
        ExprPtr left = additive();
        while (symbol("&")) left = binary("&", left, additive());
        return left;
    }
    ExprPtr additive() {
        ExprPtr left = modulo();
        for (;;) {
            if (symbol("+"))
                left = binary("+", left, modulo());
            else if (symbol("-"))
                left = binary("-", left, modulo());
            else
                return left;
        }
    }
    ExprPtr modulo() {
        ExprPtr left = integerDivision();
        while (word("mod")) left = binary("mod", left, integerDivision());
        return left;
    }
    ExprPtr integerDivision() {
        ExprPtr left = multiplicative();
        while (symbol("\\")) left = binary("\\", left, multiplicative());
        return left;
    }
    ExprPtr multiplicative() {
        ExprPtr left = unary();
        for (;;) {
            if (symbol("*"))
                left = binary("*", left, unary());
            else if (symbol("/"))
                left = binary("/", left, unary());
            else
                return left;
        }
    }
    ExprPtr unary() {
        if (symbol("-")) {
            auto e = make(Expr::Kind::Unary);
            e->op = "-";
            e->args = {unary()};
            return e;
        }
        if (symbol("+")) return unary();
        return power();
    }
    ExprPtr power() {
        ExprPtr left = primary();
        while (symbol("^")) {
            ExprPtr right;
            if (symbol("-")) {
                right = make(Expr::Kind::Unary);
                right->op = "-";
                right->args = {primary()};
            } else {
                right = primary();
            }
            left = binary("^", left, right);
        }
        return left;
    }

    ExprPtr primary() {
        const Token& t = peek();
        switch (t.kind) {
            case Token::Kind::Number: {
                auto e = make(Expr::Kind::Number);
                e->text = next().text;
                e->number = std::stod(e->text);
                return e;
            }
            case Token::Kind::String: {
                auto e = make(Expr::Kind::String);
                e->text = next().text;
                return e;
            }
            case Token::Kind::Date: {
                auto e = make(Expr::Kind::Date);
                e->number = DateLiteral(next().text);
                return e;
            }
            case Token::Kind::Symbol:
                if (symbol("(")) return Parenthesized();
                if (symbol("*")) return make(Expr::Kind::Star);
                break;
            case Token::Kind::Word:
                if (ExprPtr e = KeywordOrCall(t)) return e;
                break;
            default:
                break;
        }
        if (t.kind == Token::Kind::Word || t.kind == Token::Kind::Bracketed) return NameExpression(t);
        Syntax("Syntax error (missing operator) in query expression near '" + t.text + "'.");
    }

    // After "(": a subquery, or an expression in parentheses.
    ExprPtr Parenthesized() {
        if (isWord(peek(), "select")) {
            auto e = make(Expr::Kind::Subquery);
            e->select = select();
            expectSymbol(")");
            return e;
        }
        ExprPtr inner = expression();
        expectSymbol(")");
        return inner;
    }

    // True, Yes, On, False, No, Off, Null; Exists (...); or a function call. Null for any other word.
    ExprPtr KeywordOrCall(const Token& t) {
        const std::string l = Lower(t.text);
        if (l == "true" || l == "yes" || l == "on" || l == "false" || l == "no" || l == "off" ||
            l == "null") {
            next();
            auto e = make(Expr::Kind::Constant);
            e->text = (l == "yes" || l == "on") ? "true" : (l == "no" || l == "off") ? "false" : l;
            return e;
        }
        if (l == "exists" && isSymbol(peek(1), "(")) {
            next();
            next();
            auto e = make(Expr::Kind::Exists);
            e->select = select();
            expectSymbol(")");
            return e;
        }
        // Left and Right are join words too, and functions when a "(" follows.
        if (isSymbol(peek(1), "(") && (!reserved(t) || l == "left" || l == "right")) return CallExpression();
        return nullptr;
    }

    // name ( [argument, ...] )
    ExprPtr CallExpression() {
        auto e = make(Expr::Kind::Call);
        e->text = next().text;
        next();
        if (!symbol(")")) {
            do {
                if (isWord(peek(), "distinct"))
                    Syntax("DISTINCT inside an aggregate is not part of Access SQL.");
                e->args.push_back(expression());
            } while (symbol(","));
            expectSymbol(")");
        }
        return e;
    }

    // A field or a parameter: "a", "t.a", "[t]![a]", "Forms!f!c"; or "t.*".
    ExprPtr NameExpression(const Token& t) {
        if (reserved(t)) Syntax("Syntax error (missing operator) in query expression near '" + t.text + "'.");
        auto e = make(Expr::Kind::Name);
        e->parts.push_back(next().text);
        while (isSymbol(peek(), ".") || isSymbol(peek(), "!")) {
            next();
            if (symbol("*")) {
                e->kind = Expr::Kind::Star;
                return e;
            }
            const Token& n = peek();
            if (n.kind != Token::Kind::Word && n.kind != Token::Kind::Bracketed)
                Syntax("Syntax error in query expression near '" + n.text + "'.");
            e->parts.push_back(next().text);
        }
        return e;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int subqueries_ = 0;
};

}  // namespace

Statement Parse(const std::string& sql) { return Parser(sql).statement(); }

}  // namespace tabvert::ado::sql
