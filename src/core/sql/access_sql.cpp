// The parser of Access SQL: a tokenizer and a recursive-descent parser that builds the tree of
// access_sql.h.

#include "core/sql/access_sql.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <unordered_map>

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

// Month first, as Access reads a date literal; a "month" past 12 that leaves a valid day/month reading
// is read that way (#13/1/2023# is 13 January).
QDate MonthDay(int year, int first, int second) {
    if (first > 12 && second >= 1 && second <= 12) return QDate(year, second, first);
    return QDate(year, first, second);
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
            d = MonthDay(y, p[0].toInt(&ok1), p[1].toInt(&ok2));
        } else if (p.size() == 2)
            d = MonthDay(QDate::currentDate().year(), p[0].toInt(&ok1), p[1].toInt(&ok2));
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

// The DATABASE= value of a connect string (";DATABASE=path;PWD=..."), nothing when it has none.
std::optional<std::string> ConnectDatabase(const std::string& connect) {
    std::size_t pos = 0;
    while (pos < connect.size()) {
        const std::size_t end = std::min(connect.find(';', pos), connect.size());
        const std::string part = connect.substr(pos, end - pos);
        const std::size_t eq = part.find('=');
        if (eq != std::string::npos) {
            std::string key = part.substr(0, eq);
            while (!key.empty() && std::isspace(static_cast<unsigned char>(key.back()))) key.pop_back();
            while (!key.empty() && std::isspace(static_cast<unsigned char>(key.front()))) key.erase(0, 1);
            if (Lower(key) == "database") return part.substr(eq + 1);
        }
        pos = end + 1;
    }
    return std::nullopt;
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
        if (Word("parameters")) {
            for (;;) {
                Parameter p;
                p.name = Name("a parameter name");
                while (Peek().kind == Token::Kind::Word && !IsSymbol(Peek(), ",") && !IsSymbol(Peek(), ";"))
                    p.type += (p.type.empty() ? "" : " ") + Next().text;
                if (Symbol("(")) {  // Text (50)
                    while (!Symbol(")")) {
                        if (Peek().kind == Token::Kind::End) Syntax("Syntax error in PARAMETER clause.");
                        Next();
                    }
                }
                st.parameters.push_back(p);
                if (Symbol(",")) continue;
                ExpectSymbol(";");
                break;
            }
        }
        if (Word("transform")) {
            SelectItem t;
            t.expr = Expression();
            if (Word("as")) t.alias = Name("an alias");
            st.transform = t;
        }
        for (;;) {
            const bool parenthesized = Symbol("(");
            st.parts.push_back(select());
            if (parenthesized) ExpectSymbol(")");
            if (!Word("union")) break;
            st.unionAll.push_back(Word("all"));
        }
        if (st.parts.size() > 1) {  // a trailing ORDER BY sorts the whole union
            std::swap(st.unionOrderBy, st.parts.back()->orderBy);
            if (Word("order")) {
                ExpectWord("by");
                st.unionOrderBy = OrderItems();
            }
        }
        if (st.transform) {
            if (!Word("pivot")) Syntax("Syntax error in TRANSFORM statement.");
            st.pivot = Expression();
            // "PIVOT x In (a, b)" lists the column headings; it is no Boolean test of x.
            if (st.pivot->kind == Expr::Kind::InList && !st.pivot->negated) {
                st.pivotIn.assign(st.pivot->args.begin() + 1, st.pivot->args.end());
                st.pivot = st.pivot->args.front();
            } else if (Word("in")) {
                ExpectSymbol("(");
                do st.pivotIn.push_back(Expression());
                while (Symbol(","));
                ExpectSymbol(")");
            }
        }
        if (Word("with")) {
            ExpectWord("owneraccess");
            ExpectWord("option");
        }
        Symbol(";");
        if (Peek().kind != Token::Kind::End) Syntax("Characters found after end of SQL statement.");
        return st;
    }

  private:
    const Token& Peek(std::size_t ahead = 0) const {
        return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
    }
    const Token& Next() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }
    static bool IsSymbol(const Token& t, const char* s) {
        return t.kind == Token::Kind::Symbol && t.text == s;
    }
    static bool IsWord(const Token& t, const char* w) {
        return t.kind == Token::Kind::Word && Lower(t.text) == w;
    }
    bool Symbol(const char* s) {
        if (!IsSymbol(Peek(), s)) return false;
        Next();
        return true;
    }
    bool Word(const char* w) {
        if (!IsWord(Peek(), w)) return false;
        Next();
        return true;
    }
    void ExpectSymbol(const char* s) {
        if (!Symbol(s)) Syntax(std::string("Syntax error: '") + s + "' expected near '" + Peek().text + "'.");
    }
    void ExpectWord(const char* w) {
        if (!Word(w)) Syntax(std::string("Syntax error: ") + w + " expected near '" + Peek().text + "'.");
    }
    static bool Reserved(const Token& t) {
        if (t.kind != Token::Kind::Word) return false;
        const std::string l = Lower(t.text);
        for (const char* r : kReserved)
            if (l == r) return true;
        return false;
    }
    std::string Name(const char* what) {
        const Token& t = Peek();
        if (t.kind == Token::Kind::Bracketed || (t.kind == Token::Kind::Word && !Reserved(t)))
            return Next().text;
        Syntax(std::string("Syntax error: ") + what + " expected near '" + t.text + "'.");
    }

    std::shared_ptr<Select> select() {
        ExpectWord("select");
        auto s = std::make_shared<Select>();
        for (;;) {
            if (Word("distinct"))
                s->distinct = true;
            else if (Word("distinctrow"))
                s->distinctRow = true;
            else if (Word("all"))
                continue;
            else if (Word("top")) {
                if (Peek().kind != Token::Kind::Number)
                    Syntax(
                        "The SELECT statement includes a reserved word or an argument name that is "
                        "misspelled or missing, or the punctuation is incorrect.");
                s->top = std::strtod(Next().text.c_str(), nullptr);
                if (!(*s->top <= 9.0e18)) throw ProviderError(ErrorReason::BadCommand, "Overflow");
                s->percent = Word("percent");
            } else
                break;
        }
        do {
            SelectItem item;
            item.expr = Expression();
            if (Word("as")) item.alias = Name("an alias");
            s->items.push_back(item);
        } while (Symbol(","));
        if (Word("into"))
            throw ProviderError(ErrorReason::QueryFailed,
                                "A make-table query changes the database; only select queries are run.");
        if (Word("from")) {
            do s->from.push_back(fromItem());
            while (Symbol(","));
            if (Word("in")) {
                const std::optional<std::string> database = InClause();
                for (const auto& f : s->from) SetDatabase(*f, database);
            }
        }
        if (Word("where")) s->where = Expression();
        if (Word("group")) {
            ExpectWord("by");
            do s->groupBy.push_back(Expression());
            while (Symbol(","));
        }
        if (Word("having")) s->having = Expression();
        if (Word("order")) {
            ExpectWord("by");
            s->orderBy = OrderItems();
        }
        return s;
    }

    // After FROM ... IN: 'path', optionally followed by [connect string]. Both empty name the open
    // database; another kind of database than Access's needs a driver Access calls an ISAM.
    std::optional<std::string> InClause() {
        if (Peek().kind != Token::Kind::String) Syntax("Syntax error in FROM clause.");
        std::string path = Next().text;
        if (Peek().kind == Token::Kind::Bracketed) {
            const std::string connect = Next().text;
            if (!connect.empty() && connect.front() != ';' && Lower(connect).rfind("ms access", 0) != 0)
                throw ProviderError(ErrorReason::QueryFailed, "Could not find installable ISAM.");
            if (path.empty()) path = ConnectDatabase(connect).value_or("");
        }
        if (path.empty()) return std::nullopt;
        return path;
    }

    // Every table of a FROM item that names no database of its own is read from `database`.
    static void SetDatabase(FromItem& f, const std::optional<std::string>& database) {
        if (f.kind == FromItem::Kind::Table && !f.database) f.database = database;
        if (f.left) SetDatabase(*f.left, database);
        if (f.right) SetDatabase(*f.right, database);
    }

    std::vector<OrderItem> OrderItems() {
        std::vector<OrderItem> out;
        do {
            OrderItem o;
            o.expr = Expression();
            if (Word("desc"))
                o.descending = true;
            else
                Word("asc");
            out.push_back(o);
        } while (Symbol(","));
        return out;
    }

    std::shared_ptr<FromItem> FromPrimary() {
        auto f = std::make_shared<FromItem>();
        if (Symbol("(")) {
            const Deeper deeper(*this);
            if (IsWord(Peek(), "select")) {
                f->kind = FromItem::Kind::Subquery;
                f->select = select();
                ExpectSymbol(")");
            } else {
                f = fromItem();
                ExpectSymbol(")");
                return f;
            }
        } else {
            f->name = Name("a table name");
            while (Symbol(".")) {
                // [;DATABASE=path].[table] reads another file; [owner].[table]: the last part names it.
                if (f->name.rfind(';', 0) == 0 || ConnectDatabase(f->name)) {
                    const std::string path = ConnectDatabase(f->name).value_or("");
                    if (!path.empty()) f->database = path;
                }
                f->name = Name("a table name");
            }
        }
        if (Word("as"))
            f->alias = Name("an alias");
        else if (Peek().kind == Token::Kind::Bracketed ||
                 (Peek().kind == Token::Kind::Word && !Reserved(Peek())))
            f->alias = Next().text;
        if (f->kind == FromItem::Kind::Subquery && !f->alias)
            f->alias = "Query" + std::to_string(++subqueries_);
        return f;
    }

    std::shared_ptr<FromItem> fromItem() {
        auto left = FromPrimary();
        for (int joins = 1;; ++joins) {
            if (depth_ + joins > kMaxDepth) TooComplex();  // each join nests the ones before it
            std::string kind;
            if (Word("inner"))
                kind = "inner";
            else if (Word("left"))
                kind = "left";
            else if (Word("right"))
                kind = "right";
            else
                break;
            Word("outer");
            ExpectWord("join");
            auto j = std::make_shared<FromItem>();
            j->kind = FromItem::Kind::Join;
            j->joinKind = kind;
            j->left = left;
            j->right = FromPrimary();
            if (!Word("on")) Syntax("Syntax error in JOIN operation.");
            j->on = Expression();
            left = j;
        }
        return left;
    }

    static ExprPtr Make(Expr::Kind kind) {
        auto e = std::make_shared<Expr>();
        e->kind = kind;
        return e;
    }
    static ExprPtr Binary(const std::string& op, ExprPtr a, ExprPtr b) {
        auto e = Make(Expr::Kind::Binary);
        e->op = op;
        e->args = {std::move(a), std::move(b)};
        return e;
    }

    // How deeply expressions may nest (parentheses, function arguments, subqueries, Not and signs, and
    // the nodes a chain of mixed operators stacks up). Far beyond what real queries use, and low enough
    // that parsing, translating and freeing the tree stay well inside the stack.
    static constexpr int kMaxDepth = 200;

    [[noreturn]] static void TooComplex() {
        throw ProviderError(ErrorReason::BadCommand, "Query is too complex.");
    }

    // One level of nesting while it lives.
    class Deeper {
      public:
        explicit Deeper(Parser& parser) : parser_(parser) {
            if (parser_.depth_ >= kMaxDepth) TooComplex();
            ++parser_.depth_;
        }
        ~Deeper() { --parser_.depth_; }
        Deeper(const Deeper&) = delete;
        Deeper& operator=(const Deeper&) = delete;

      private:
        Parser& parser_;
    };

    // A run of one operator ("a + b + c") is one node with an operand each, so that long runs stay flat
    // in the tree and in the SQL made from it. `chain` is the node the caller's loop built last: `right`
    // joins it when `left` is that node and has the same operator. Any other node over `left` deepens
    // the tree by one level, counted in `levels`.
    ExprPtr Chain(const std::string& op, ExprPtr left, ExprPtr right, ExprPtr& chain, int& levels) {
        if (chain && left == chain && chain->kind == Expr::Kind::Binary && chain->op == op) {
            const int height = HeightOf(right) + 1;
            chain->args.push_back(std::move(right));
            if (height > HeightOf(chain)) Noted(chain, 0);  // rare: only a higher operand gets re-read
            return chain;
        }
        Deepened(left, levels);
        chain = Noted(Binary(op, std::move(left), std::move(right)));
        return chain;
    }
    // A node built over `left` by an operator loop: one level deeper when `left` is itself such a node.
    void Deepened(const ExprPtr& left, int& levels) {
        if (left->kind != Expr::Kind::Binary && left->kind != Expr::Kind::Between &&
            left->kind != Expr::Kind::InList && left->kind != Expr::Kind::InSelect &&
            left->kind != Expr::Kind::IsNull && left->kind != Expr::Kind::Unary)
            return;
        if (depth_ + ++levels > kMaxDepth) TooComplex();
    }

    // The translator and the tree's own destruction recurse once per level of the tree, so no tree grows
    // higher than this, however its levels were written (parentheses, runs of mixed operators, ...).
    static constexpr int kMaxHeight = 400;

    int HeightOf(const ExprPtr& e) const {
        const auto it = heights_.find(e.get());
        return it == heights_.end() ? 1 : it->second;
    }
    // Notes the height of `e`: one more than the highest of its operands, and at least `height`.
    ExprPtr Noted(ExprPtr e, int height = 0) {
        for (const ExprPtr& a : e->args) height = std::max(height, HeightOf(a) + 1);
        if (height > kMaxHeight) TooComplex();
        heights_[e.get()] = height;
        tallest_ = std::max(tallest_, height);
        return e;
    }
    // A select inside an expression: the node that holds it stands above every expression in it.
    std::shared_ptr<Select> Subselect(int& height) {
        const int outer = tallest_;
        tallest_ = 0;
        auto s = select();
        height = tallest_ + 2;
        tallest_ = outer;
        return s;
    }

    ExprPtr Expression() {
        const Deeper deeper(*this);
        return BinaryLevel(0);
    }

    // Levels from loosest to tightest: Imp, Eqv, Xor, Or, And.
    ExprPtr BinaryLevel(int level) {
        static const char* const kOps[] = {"imp", "eqv", "xor", "or", "and"};
        if (level == 5) return NotLevel();
        ExprPtr left = BinaryLevel(level + 1), chain;
        int levels = 0;
        while (Word(kOps[level])) left = Chain(kOps[level], left, BinaryLevel(level + 1), chain, levels);
        return left;
    }

    ExprPtr NotLevel() {
        if (Word("not")) {
            const Deeper deeper(*this);
            auto e = Make(Expr::Kind::Unary);
            e->op = "not";
            e->args = {NotLevel()};
            return Noted(e);
        }
        return Comparison();
    }

    ExprPtr Comparison() {
        ExprPtr left = Concatenation(), chain;
        int levels = 0;
        for (;;) {
            const Token& t = Peek();
            if (t.kind == Token::Kind::Symbol && (t.text == "=" || t.text == "<>" || t.text == "<" ||
                                                  t.text == ">" || t.text == "<=" || t.text == ">=")) {
                const std::string op = Next().text;
                left = Chain(op, left, Concatenation(), chain, levels);
                continue;
            }
            if (IsWord(t, "not") || IsWord(t, "like") || IsWord(t, "between") || IsWord(t, "in") ||
                IsWord(t, "is"))
                Deepened(left, levels);
            bool negated = false;
            if (IsWord(t, "not") &&
                (IsWord(Peek(1), "like") || IsWord(Peek(1), "in") || IsWord(Peek(1), "between"))) {
                Next();
                negated = true;
            }
            if (Word("like")) {
                left = Noted(Binary("like", left, Concatenation()));
                chain = nullptr;
                if (negated) {
                    auto n = Make(Expr::Kind::Unary);
                    n->op = "not";
                    n->args = {left};
                    left = Noted(n);
                }
            } else if (Word("between")) {
                auto e = Make(Expr::Kind::Between);
                e->negated = negated;
                e->args.push_back(left);
                e->args.push_back(Concatenation());
                ExpectWord("and");
                e->args.push_back(Concatenation());
                left = Noted(e);
            } else if (IsSymbol(Peek(1), "(") && Word("in")) {  // "In 'file'" ends a FROM clause
                ExpectSymbol("(");
                ExprPtr e;
                int height = 0;
                if (IsWord(Peek(), "select")) {
                    e = Make(Expr::Kind::InSelect);
                    e->select = Subselect(height);
                    e->args = {left};
                } else {
                    e = Make(Expr::Kind::InList);
                    e->args.push_back(left);
                    do e->args.push_back(Expression());
                    while (Symbol(","));
                }
                ExpectSymbol(")");
                e->negated = negated;
                left = Noted(e, height);
            } else if (Word("is")) {
                auto e = Make(Expr::Kind::IsNull);
                e->negated = Word("not");
                ExpectWord("null");
                e->args = {left};
                left = Noted(e);
            } else {
                return left;
            }
        }
    }

    ExprPtr Concatenation() {
        ExprPtr left = Additive(), chain;
        int levels = 0;
        while (Symbol("&")) left = Chain("&", left, Additive(), chain, levels);
        return left;
    }
    ExprPtr Additive() {
        ExprPtr left = Modulo(), chain;
        int levels = 0;
        for (;;) {
            if (Symbol("+"))
                left = Chain("+", left, Modulo(), chain, levels);
            else if (Symbol("-"))
                left = Chain("-", left, Modulo(), chain, levels);
            else
                return left;
        }
    }
    ExprPtr Modulo() {
        ExprPtr left = IntegerDivision(), chain;
        int levels = 0;
        while (Word("mod")) left = Chain("mod", left, IntegerDivision(), chain, levels);
        return left;
    }
    ExprPtr IntegerDivision() {
        ExprPtr left = Multiplicative(), chain;
        int levels = 0;
        while (Symbol("\\")) left = Chain("\\", left, Multiplicative(), chain, levels);
        return left;
    }
    ExprPtr Multiplicative() {
        ExprPtr left = Unary(), chain;
        int levels = 0;
        for (;;) {
            if (Symbol("*"))
                left = Chain("*", left, Unary(), chain, levels);
            else if (Symbol("/"))
                left = Chain("/", left, Unary(), chain, levels);
            else
                return left;
        }
    }
    ExprPtr Unary() {
        if (Symbol("-")) {
            const Deeper deeper(*this);
            auto e = Make(Expr::Kind::Unary);
            e->op = "-";
            e->args = {Unary()};
            return Noted(e);
        }
        if (Symbol("+")) {
            const Deeper deeper(*this);
            return Unary();
        }
        return Power();
    }
    ExprPtr Power() {
        ExprPtr left = Primary(), chain;
        int levels = 0;
        while (Symbol("^")) {
            ExprPtr right;
            if (Symbol("-")) {
                right = Make(Expr::Kind::Unary);
                right->op = "-";
                right->args = {Primary()};
                Noted(right);
            } else {
                right = Primary();
            }
            left = Chain("^", left, right, chain, levels);
        }
        return left;
    }

    ExprPtr Primary() {
        const Token& t = Peek();
        switch (t.kind) {
            case Token::Kind::Number: {
                auto e = Make(Expr::Kind::Number);
                e->text = Next().text;
                e->number = std::strtod(e->text.c_str(), nullptr);
                if (!std::isfinite(e->number)) throw ProviderError(ErrorReason::BadCommand, "Overflow");
                return e;
            }
            case Token::Kind::String: {
                auto e = Make(Expr::Kind::String);
                e->text = Next().text;
                return e;
            }
            case Token::Kind::Date: {
                auto e = Make(Expr::Kind::Date);
                e->number = DateLiteral(Next().text);
                return e;
            }
            case Token::Kind::Symbol:
                if (Symbol("(")) return Parenthesized();
                if (Symbol("*")) return Make(Expr::Kind::Star);
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
        if (IsWord(Peek(), "select")) {
            auto e = Make(Expr::Kind::Subquery);
            int height = 0;
            e->select = Subselect(height);
            ExpectSymbol(")");
            return Noted(e, height);
        }
        ExprPtr inner = Expression();
        ExpectSymbol(")");
        return inner;
    }

    // True, Yes, On, False, No, Off, Null; Exists (...); or a function call. Null for any other word.
    ExprPtr KeywordOrCall(const Token& t) {
        const std::string l = Lower(t.text);
        if (l == "true" || l == "yes" || l == "on" || l == "false" || l == "no" || l == "off" ||
            l == "null") {
            Next();
            auto e = Make(Expr::Kind::Constant);
            e->text = (l == "yes" || l == "on") ? "true" : (l == "no" || l == "off") ? "false" : l;
            return e;
        }
        if (l == "exists" && IsSymbol(Peek(1), "(")) {
            Next();
            Next();
            auto e = Make(Expr::Kind::Exists);
            int height = 0;
            e->select = Subselect(height);
            ExpectSymbol(")");
            return Noted(e, height);
        }
        // Left, Right and Asc are words of the grammar too, and functions when a "(" follows.
        if (IsSymbol(Peek(1), "(") && (!Reserved(t) || l == "left" || l == "right" || l == "asc"))
            return CallExpression();
        return nullptr;
    }

    // name ( [argument, ...] )
    ExprPtr CallExpression() {
        auto e = Make(Expr::Kind::Call);
        e->text = Next().text;
        Next();
        if (!Symbol(")")) {
            do {
                if (IsWord(Peek(), "distinct"))
                    Syntax("DISTINCT inside an aggregate is not part of Access SQL.");
                e->args.push_back(Expression());
            } while (Symbol(","));
            ExpectSymbol(")");
        }
        return Noted(e);
    }

    // A field or a parameter: "a", "t.a", "[t]![a]", "Forms!f!c"; or "t.*".
    ExprPtr NameExpression(const Token& t) {
        if (Reserved(t)) Syntax("Syntax error (missing operator) in query expression near '" + t.text + "'.");
        auto e = Make(Expr::Kind::Name);
        e->parts.push_back(Next().text);
        while (IsSymbol(Peek(), ".") || IsSymbol(Peek(), "!")) {
            Next();
            if (Symbol("*")) {
                e->kind = Expr::Kind::Star;
                return e;
            }
            const Token& n = Peek();
            if (n.kind != Token::Kind::Word && n.kind != Token::Kind::Bracketed)
                Syntax("Syntax error in query expression near '" + n.text + "'.");
            e->parts.push_back(Next().text);
        }
        return e;
    }

    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
    int subqueries_ = 0;
    int depth_ = 0;  // the expressions and joins being read, one inside the other
    std::unordered_map<const Expr*, int> heights_;  // of the nodes above the leaves
    int tallest_ = 0;                               // the highest node of the select being read
};

}  // namespace

Statement Parse(const std::string& sql) { return Parser(sql).statement(); }

}  // namespace tabvert::ado::sql
