#include "core/access/stored_query.h"

#include <QString>
#include <cctype>
#include <memory>

#include "core/text/strings.h"
#include "core/value/provider_error.h"

namespace tabvert::ado {
namespace {

using Rows = std::vector<const QueryAttribute*>;

Rows RowsOf(const StoredQuery& q, int attribute) {
    Rows out;
    for (const auto& r : q.rows)
        if (r.attribute == attribute) out.push_back(&r);
    return out;
}

const QueryAttribute* RowOf(const StoredQuery& q, int attribute) {
    const Rows rows = RowsOf(q, attribute);
    return rows.empty() ? nullptr : rows.front();
}

[[noreturn]] void Broken(const StoredQuery& q, const std::string& why) {
    throw ProviderError(ErrorReason::DamagedData,
                        "The definition of the query '" + q.name + "' cannot be read: " + why + ".");
}

std::string Joined(const std::vector<std::string>& items, const char* separator) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? separator : "") + items[i];
    return out;
}

// What the FROM clause is made of while the join rows are folded into it: a table, or two parts joined.
struct Source {
    std::string key;  // a table's alias, or its name
    std::string text;
    std::unique_ptr<Source> left, right;
    int joinKind = 0;
    std::vector<std::string> conditions;

    bool Contains(const std::string& name) const {
        if (!left) return text::EqualsIgnoringCase(key, name);
        return left->Contains(name) || right->Contains(name);
    }
    std::string Sql(bool nested) const {
        if (!left) return text;
        const char* how = joinKind == join_kind::kLeft    ? " LEFT JOIN "
                          : joinKind == join_kind::kRight ? " RIGHT JOIN "
                                                          : " INNER JOIN ";
        std::string on =
            conditions.size() == 1 ? conditions.front() : "(" + Joined(conditions, ") AND (") + ")";
        std::string out = left->Sql(true) + how + right->Sql(true) + " ON " + on;
        return nested ? "(" + out + ")" : out;
    }
};

std::vector<std::string> FromItems(const StoredQuery& q) {
    std::vector<std::unique_ptr<Source>> sources;
    for (const QueryAttribute* t : RowsOf(q, QueryAttribute::Table)) {
        auto s = std::make_unique<Source>();
        if (t->name1) {
            s->text = QuotedSqlName(*t->name1, true);
            if (t->expression) s->text = QuotedSqlName(*t->expression, false) + "." + s->text;
        } else if (t->expression) {
            s->text = "(" + *t->expression + ")";
        } else {
            Broken(q, "a table row names no table");
        }
        if (t->name2) s->text += " AS " + QuotedSqlName(*t->name2, false);
        s->key = t->name2 ? *t->name2 : t->name1.value_or("");
        sources.push_back(std::move(s));
    }
    for (const QueryAttribute* j : RowsOf(q, QueryAttribute::Join)) {
        if (!j->name1 || !j->name2 || !j->expression) Broken(q, "a join row is incomplete");
        const int kind = j->flag.value_or(0);
        if (kind != join_kind::kInner && kind != join_kind::kLeft && kind != join_kind::kRight)
            Broken(q, "unknown join kind " + std::to_string(kind));
        auto find = [&](const std::string& name) -> std::ptrdiff_t {
            for (std::size_t i = 0; i < sources.size(); ++i)
                if (sources[i]->Contains(name)) return static_cast<std::ptrdiff_t>(i);
            Broken(q, "a join names '" + name + "', which the query does not use");
        };
        const auto from = find(*j->name1), to = find(*j->name2);
        if (from == to) {
            Source& s = *sources[static_cast<std::size_t>(from)];
            if (!s.left || s.joinKind != kind) Broken(q, "two kinds of join between the same tables");
            s.conditions.push_back(*j->expression);
            continue;
        }
        auto joined = std::make_unique<Source>();
        joined->left = std::move(sources[static_cast<std::size_t>(from)]);
        joined->right = std::move(sources[static_cast<std::size_t>(to)]);
        joined->joinKind = kind;
        joined->conditions.push_back(*j->expression);
        std::erase(sources, nullptr);
        sources.push_back(std::move(joined));
    }
    std::vector<std::string> out;
    for (const auto& s : sources) out.push_back(s->Sql(false));
    return out;
}

const char* ParameterTypeName(int type) {
    switch (type) {
        case 0:
            return "Value";
        case 1:
            return "Bit";
        case 2:
            return "Byte";
        case 3:
            return "Short";
        case 4:
            return "Long";
        case 5:
            return "Currency";
        case 6:
            return "IEEESingle";
        case 7:
            return "IEEEDouble";
        case 8:
            return "DateTime";
        case 9:
            return "Binary";
        case 10:
            return "Text";
        case 11:
            return "LongBinary";
        case 12:
            return "Memo";
        case 15:
            return "Guid";
        default:
            return nullptr;
    }
}

std::string ParametersLine(const StoredQuery& q) {
    std::vector<std::string> items;
    for (const QueryAttribute* p : RowsOf(q, QueryAttribute::Parameter)) {
        const char* type = ParameterTypeName(p->flag.value_or(0));
        if (!type || !p->name1) Broken(q, "a parameter has an unknown type");
        std::string item = QuotedSqlName(*p->name1, false) + " " + type;
        if (p->flag.value_or(0) == 10 && p->extra.value_or(0) > 0)
            item += " (" + std::to_string(*p->extra) + ")";
        items.push_back(std::move(item));
    }
    return items.empty() ? "" : "PARAMETERS " + Joined(items, ", ") + ";\n";
}

int SelectFlags(const StoredQuery& q) {
    const QueryAttribute* f = RowOf(q, QueryAttribute::Flags);
    return f ? f->flag.value_or(0) : 0;
}

std::string Predicate(const StoredQuery& q) {
    const int flags = SelectFlags(q);
    std::string out;
    if (flags & select_flags::kDistinct)
        out += "DISTINCT ";
    else if (flags & select_flags::kDistinctRow)
        out += "DISTINCTROW ";
    if (flags & select_flags::kTop) {
        const QueryAttribute* f = RowOf(q, QueryAttribute::Flags);
        if (!f->name1) Broken(q, "TOP without a number");
        out += "TOP " + *f->name1 + ((flags & select_flags::kPercent) ? " PERCENT " : " ");
    }
    return out;
}

std::string ColumnText(const QueryAttribute& c) {
    std::string out = c.expression.value_or("");
    if (c.name1) out += " AS " + QuotedSqlName(*c.name1, false);
    return out;
}

// Column rows, for a crosstab only those with `crosstabFlag` (0: those with neither bit).
std::vector<std::string> Columns(const StoredQuery& q, std::optional<int> crosstabFlag) {
    std::vector<std::string> out;
    for (const QueryAttribute* c : RowsOf(q, QueryAttribute::Column)) {
        const int f = c->flag.value_or(0) & (crosstab_flags::kPivot | crosstab_flags::kRowHeading);
        if (crosstabFlag && f != *crosstabFlag) continue;
        if (!c->expression) Broken(q, "an output column has no expression");
        out.push_back(ColumnText(*c));
    }
    return out;
}

std::vector<std::string> Expressions(const StoredQuery& q, int attribute,
                                     std::optional<int> crosstabFlag = {}) {
    std::vector<std::string> out;
    for (const QueryAttribute* r : RowsOf(q, attribute)) {
        if (crosstabFlag && (r->flag.value_or(0) & *crosstabFlag) == 0) continue;
        if (!r->expression) continue;
        std::string e = *r->expression;
        if (attribute == QueryAttribute::OrderBy && r->name1 && text::EqualsIgnoringCase(*r->name1, "D"))
            e += " DESC";
        out.push_back(std::move(e));
    }
    return out;
}

// FROM, WHERE, GROUP BY, HAVING and ORDER BY, each on its own line.
std::string Clauses(const StoredQuery& q, std::optional<int> crosstabFlag) {
    std::string out;
    const auto from = FromItems(q);
    if (!from.empty()) out += "\nFROM " + Joined(from, ", ");
    // A remote-database row with neither a path nor a connect string names the current database.
    const QueryAttribute* remote = RowOf(q, QueryAttribute::RemoteDatabase);
    const std::string remotePath = remote ? remote->name1.value_or("") : "";
    const std::string remoteConnect = remote ? remote->expression.value_or("") : "";
    if (!remotePath.empty() || !remoteConnect.empty()) {
        std::string path;
        for (const char c : remotePath) path += c == '\'' ? std::string("''") : std::string(1, c);
        out += " IN '" + path + "'";
        if (!remoteConnect.empty()) out += " [" + remoteConnect + "]";
    }
    if (const QueryAttribute* w = RowOf(q, QueryAttribute::Where); w && w->expression)
        out += "\nWHERE " + *w->expression;
    const auto groups = Expressions(q, QueryAttribute::GroupBy, crosstabFlag);
    if (!groups.empty()) out += "\nGROUP BY " + Joined(groups, ", ");
    if (const QueryAttribute* h = RowOf(q, QueryAttribute::Having); h && h->expression)
        out += "\nHAVING " + *h->expression;
    const auto order = Expressions(q, QueryAttribute::OrderBy);
    if (!order.empty()) out += "\nORDER BY " + Joined(order, ", ");
    return out;
}

std::string SelectList(const StoredQuery& q, std::optional<int> crosstabFlag) {
    auto columns = Columns(q, crosstabFlag);
    if (SelectFlags(q) & select_flags::kStar) columns.push_back("*");
    if (columns.empty()) Broken(q, "it has no output columns");
    return Joined(columns, ", ");
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\0' || std::isspace(static_cast<unsigned char>(s.back()))))
        s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) ++start;
    return s.substr(start);
}

std::string UnionPart(const StoredQuery& q, const char* id) {
    for (const QueryAttribute* t : RowsOf(q, QueryAttribute::Table))
        if (t->name2 == id && t->expression) {
            std::string text = Trimmed(*t->expression), out;
            for (std::size_t i = 0; i < text.size(); ++i) {  // CR LF and lone CRs become one "\n"
                if (text[i] == '\r') {
                    if (text.size() - i > 1 && text[i + 1] == '\n') continue;
                    out += '\n';
                } else {
                    out += text[i];
                }
            }
            return out;
        }
    Broken(q, "a part of the union is missing");
}

std::string OwnerAccess(const StoredQuery& q) {
    return (SelectFlags(q) & select_flags::kOwnerAccess) ? "\nWITH OWNERACCESS OPTION" : "";
}

std::string TypeTarget(const StoredQuery& q) {
    const QueryAttribute* t = RowOf(q, QueryAttribute::Type);
    if (!t || !t->name1) Broken(q, "it names no target table");
    return QuotedSqlName(*t->name1, true);
}

}  // namespace

std::optional<QueryKind> QueryKindOfFlags(std::uint32_t objectFlags) {
    switch (objectFlags & 0xF0u) {
        case 0:
            return QueryKind::Select;
        case 16:
            return QueryKind::Crosstab;
        case 32:
            return QueryKind::Delete;
        case 48:
            return QueryKind::Update;
        case 64:
            return QueryKind::Append;
        case 80:
            return QueryKind::MakeTable;
        case 96:
            return QueryKind::DataDefinition;
        case 112:
            return QueryKind::PassThrough;
        case 128:
            return QueryKind::Union;
        default:
            return std::nullopt;
    }
}

const char* QueryKindName(QueryKind kind) {
    switch (kind) {
        case QueryKind::Select:
            return "select";
        case QueryKind::Crosstab:
            return "crosstab";
        case QueryKind::Union:
            return "union";
        case QueryKind::MakeTable:
            return "make-table";
        case QueryKind::Append:
            return "append";
        case QueryKind::Update:
            return "update";
        case QueryKind::Delete:
            return "delete";
        case QueryKind::DataDefinition:
            return "data-definition";
        case QueryKind::PassThrough:
            return "pass-through";
    }
    return "?";
}

std::string QuotedSqlName(const std::string& name, bool dotted) {
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') return name;
    if (dotted) {
        const auto dot = name.find('.');
        if (dot != std::string::npos)
            return QuotedSqlName(name.substr(0, dot), false) + "." +
                   QuotedSqlName(name.substr(dot + 1), true);
    }
    // Words of the SQL itself stay bracketed too, or the name would read as the keyword.
    static const char* const kKeywords[] = {
        "all",       "and",    "as",    "asc",   "between", "by",     "desc",  "distinct", "distinctrow",
        "eqv",       "exists", "false", "from",  "group",   "having", "imp",   "in",       "inner",
        "into",      "is",     "join",  "left",  "like",    "mod",    "no",    "not",      "null",
        "on",        "or",     "order", "outer", "percent", "pivot",  "right", "select",   "top",
        "transform", "true",   "union", "where", "with",    "xor",    "yes",   "off",      "parameters"};
    const QString lower = QString::fromStdString(name).toLower();
    for (const char* k : kKeywords)
        if (lower == QLatin1String(k)) return "[" + name + "]";
    bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0]));
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && static_cast<unsigned char>(c) < 0x80)
            plain = false;
    return plain ? name : "[" + name + "]";
}

std::string QuerySql(const StoredQuery& q) {
    switch (q.kind) {
        case QueryKind::Select:
            return ParametersLine(q) + "SELECT " + Predicate(q) + SelectList(q, std::nullopt) +
                   Clauses(q, std::nullopt) + OwnerAccess(q) + ";";
        case QueryKind::MakeTable:
            return ParametersLine(q) + "SELECT " + Predicate(q) + SelectList(q, std::nullopt) + " INTO " +
                   TypeTarget(q) + Clauses(q, std::nullopt) + OwnerAccess(q) + ";";
        case QueryKind::Crosstab: {
            const auto transform = Columns(q, 0);
            const auto pivot = Expressions(q, QueryAttribute::Column, crosstab_flags::kPivot);
            if (transform.size() != 1 || pivot.size() != 1)
                Broken(q, "a crosstab needs one value and one pivot");
            return ParametersLine(q) + "TRANSFORM " + transform.front() + "\nSELECT " + Predicate(q) +
                   SelectList(q, crosstab_flags::kRowHeading) + Clauses(q, crosstab_flags::kRowHeading) +
                   "\nPIVOT " + pivot.front() + ";";
        }
        case QueryKind::Union: {
            std::string out = UnionPart(q, kUnionPart1) + "\nUNION " +
                              ((SelectFlags(q) & kUnionDistinct) ? "" : "ALL ") + UnionPart(q, kUnionPart2);
            const auto order = Expressions(q, QueryAttribute::OrderBy);
            if (!order.empty()) out += "\nORDER BY " + Joined(order, ", ");
            return ParametersLine(q) + out + ";";
        }
        case QueryKind::Append: {
            std::vector<std::string> targets, values;
            for (const QueryAttribute* c : RowsOf(q, QueryAttribute::Column)) {
                if (c->name2) targets.push_back(QuotedSqlName(*c->name2, true));
                values.push_back(ColumnText(*c));
            }
            std::string into = "INSERT INTO " + TypeTarget(q);
            if (targets.size() == values.size() && !targets.empty())
                into += " (" + Joined(targets, ", ") + ")";
            return ParametersLine(q) + into + "\nSELECT " + Predicate(q) + Joined(values, ", ") +
                   Clauses(q, std::nullopt) + OwnerAccess(q) + ";";
        }
        case QueryKind::Update: {
            std::vector<std::string> sets;
            for (const QueryAttribute* c : RowsOf(q, QueryAttribute::Column))
                sets.push_back(c->name2.value_or("?") + " = " + c->expression.value_or(""));
            std::string out = "UPDATE " + Joined(FromItems(q), ", ") + "\nSET " + Joined(sets, ", ");
            if (const QueryAttribute* w = RowOf(q, QueryAttribute::Where); w && w->expression)
                out += "\nWHERE " + *w->expression;
            return ParametersLine(q) + out + OwnerAccess(q) + ";";
        }
        case QueryKind::Delete:
            return ParametersLine(q) + "DELETE " + Predicate(q) + SelectList(q, std::nullopt) +
                   Clauses(q, std::nullopt) + OwnerAccess(q) + ";";
        case QueryKind::DataDefinition:
        case QueryKind::PassThrough: {
            const QueryAttribute* t = RowOf(q, QueryAttribute::Type);
            if (!t || !t->expression) Broken(q, "it holds no SQL text");
            return Trimmed(*t->expression);
        }
    }
    Broken(q, "unknown kind");
}

}  // namespace tabvert::ado
