// The translator: an Access statement's names resolved, its expressions typed, and the whole written out as
// SQLite SQL; functions come from the table in access_functions.

#include "core/sql/sql_translate.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>

#include "core/sql/access_functions.h"
#include "core/text/strings.h"
#include "core/value/provider_error.h"
#include "core/value/value_text.h"

namespace tabvert::ado::sql {
namespace {

[[noreturn]] void MissingParameter() {
    throw ProviderError(ErrorReason::MissingParameter, "No value given for one or more required parameters.");
}
[[noreturn]] void Unsupported(const std::string& what) { throw ProviderError(ErrorReason::BadCommand, what); }

bool Same(const std::string& a, const std::string& b) { return text::EqualsIgnoringCase(a, b); }
std::string Lower(const std::string& s) { return QString::fromUtf8(s).toLower().toStdString(); }

std::string SqlString(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

std::string Real(double d) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    std::string s = buf;
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
}

int Rank(Type t) {
    switch (t) {
        case Type::Boolean:
            return 1;
        case Type::Byte:
            return 0;
        case Type::Integer:
            return 1;
        case Type::Long:
            return 2;
        case Type::BigInt:
            return 3;
        case Type::Single:
            return 4;
        case Type::Currency:
            return 5;
        case Type::Double:
            return 6;
        case Type::Decimal:
            return 7;
        default:
            return 6;
    }
}

std::string Collated(const Typed& t) { return t.sql + (IsTextLike(t.type) ? " COLLATE acc" : ""); }

struct Source {
    std::string alias;
    std::vector<OutColumn> columns;
};

struct Scope {
    std::vector<Source> sources;
    const Scope* parent = nullptr;
    std::vector<std::pair<std::string, Typed>> aliases;  // the select list's names, usable after them
    // The select list's aliases while it is being translated: one expression can use another's alias
    // before or after it, which stands for the aliased expression.
    std::vector<std::pair<std::string, const Expr*>> pending;
    // Those already translated, by alias in lower case (and "*" after it inside an aggregate), with the
    // fields they read outside aggregates.
    mutable std::map<std::string, std::pair<Typed, std::vector<std::string>>> resolved;
};

struct Item {
    Typed value;
    std::string name;
    std::string qualifier;          // the source of a plain column, for "Table.Field" names
    bool named = false;             // an alias or a column's own name
    bool star = false;              // one of the columns of a "*"
    std::vector<std::string> refs;  // the fields it reads outside aggregates
};

// GROUP BY as translated.
struct Grouping {
    std::string sql;                // " GROUP BY ...", or empty
    std::set<std::string> grouped;  // the grouped expressions
    std::vector<std::string> keys;  // the same, collated, as sort keys for a crosstab
};

struct SortKey {
    std::string sql;
    bool descending = false;
};

class Translator {
  public:
    explicit Translator(Schema& schema) : schema_(schema) {}

    Translated statement(const Statement& st) {
        Translated out;
        if (!st.parameters.empty()) MissingParameter();
        if (st.transform) {
            if (st.parts.size() != 1) Unsupported("A crosstab query cannot be a union.");
            out = select(*st.parts[0], nullptr, &st);
        } else if (st.parts.size() == 1) {
            out = select(*st.parts[0], nullptr, nullptr);
        } else {
            out = UnionOf(st);
        }
        if (!ctes_.empty()) {
            std::string with = "WITH ";
            for (std::size_t i = 0; i < ctes_.size(); ++i) with += (i ? ", " : "") + ctes_[i];
            out.sql = with + " " + out.sql;
        }
        return out;
    }

  private:
    Translated UnionOf(const Statement& st) {
        Translated out;
        for (std::size_t i = 0; i < st.parts.size(); ++i) {
            Translated part = select(*st.parts[i], nullptr, nullptr);
            if (i == 0) {
                out.columns = part.columns;
            } else {
                if (part.columns.size() != out.columns.size())
                    Unsupported(
                        "The number of columns in the two selected tables or queries of a union query do not "
                        "match.");
                for (std::size_t c = 0; c < part.columns.size(); ++c)
                    out.columns[c].type = Merge(out.columns[c].type, part.columns[c].type);
                out.sql += st.unionAll[i - 1] ? " UNION ALL " : " UNION ";
            }
            out.sql += "SELECT * FROM (" + part.sql + ")";
        }
        // Columns whose parts differ in type come out as Access's Variant; currency parts are in units.
        std::string order;
        for (const OrderItem& o : st.unionOrderBy) {
            std::size_t position = 0;
            if (o.expr->kind == Expr::Kind::Name) {
                for (std::size_t c = 0; c < out.columns.size() && !position; ++c)
                    if (Same(out.columns[c].name, o.expr->parts.back())) position = c + 1;
            } else if (o.expr->kind == Expr::Kind::Number) {
                if (o.expr->number >= 1 && o.expr->number <= static_cast<double>(out.columns.size()))
                    position = static_cast<std::size_t>(o.expr->number);
            }
            if (position == 0 || position > out.columns.size())
                Unsupported("The ORDER BY clause of a union query must name one of its output columns.");
            order += std::string(order.empty() ? " ORDER BY " : ", ") + std::to_string(position) +
                     " COLLATE acc" + (o.descending ? " DESC" : "");
        }
        out.sql += order;
        return out;
    }

    // ----- FROM -----

    std::string FromClause(const Select& s, Scope& scope) {
        std::string sql;
        for (std::size_t i = 0; i < s.from.size(); ++i) {
            if (i) sql += ", ";
            sql += From(*s.from[i], scope, i == 0);
        }
        return sql;
    }

    std::string From(const FromItem& f, Scope& scope, bool first) {
        switch (f.kind) {
            case FromItem::Kind::Table: {
                const Schema::Object o =
                    f.database ? schema_.RemoteObject(*f.database, f.name) : schema_.object(f.name);
                const std::string alias = f.alias.value_or(f.name);
                scope.sources.push_back({alias, o.columns});
                std::string sqlName = o.sqlName;
                if (o.table && !first) {
                    // A table on the inner side of a join is read once into SQLite's temporary store, where
                    // SQLite can index it for the join instead of reading the file once per outer row.
                    const std::string cte = "m" + std::to_string(ctes_.size() + 1);
                    ctes_.push_back(Quote(cte) + " AS MATERIALIZED (SELECT * FROM " + o.sqlName + ")");
                    sqlName = Quote(cte);
                }
                return sqlName + " AS " + Quote(alias);
            }
            case FromItem::Kind::Subquery: {
                Translated t = select(*f.select, scope.parent, nullptr);
                scope.sources.push_back({*f.alias, t.columns});
                return "(" + Named(t) + ") AS " + Quote(*f.alias);
            }
            case FromItem::Kind::Join: {
                const std::string left = From(*f.left, scope, first);
                const std::string right = From(*f.right, scope, false);
                const std::string on = Condition(*f.on, scope);
                const char* how = f.joinKind == "left"    ? " LEFT JOIN "
                                  : f.joinKind == "right" ? " RIGHT JOIN "
                                                          : " JOIN ";
                return "(" + left + how + right + " ON " + on + ")";
            }
        }
        return {};
    }

    // ----- SELECT -----

    Translated select(const Select& s, const Scope* parent, const Statement* crosstab) {
        // A nested select's fields are its own business, not the enclosing select list's.
        struct KeepRefs {
            std::vector<std::string>*& refs;
            std::vector<std::string>* saved;
            ~KeepRefs() { refs = saved; }
        } keepRefs{refs_, refs_};
        refs_ = nullptr;
        Scope scope;
        scope.parent = parent;
        const std::string fromSql = FromClause(s, scope);
        std::set<std::string> shown;  // the sources the output columns come from
        std::vector<Item> items = SelectList(s, scope, shown);
        QualifySharedNames(items);
        const std::string where = WhereClause(s, scope);
        const Grouping grouping = GroupBy(s, scope);
        const std::string having = s.having ? " HAVING " + Condition(*s.having, scope) : "";
        CheckGrouped(s, items, grouping.grouped);
        std::vector<SortKey> keys;
        for (const OrderItem& o : s.orderBy) keys.push_back({Collated(Value(*o.expr, scope)), o.descending});
        // A crosstab's rows come sorted by their headings.
        if (crosstab && keys.empty())
            for (const std::string& k : grouping.keys) keys.push_back({k, false});

        Translated out;
        std::vector<std::string> columnsSql;
        for (const Item& item : items) {
            columnsSql.push_back(Output(item.value));
            out.columns.push_back(
                {item.name, item.value.type == Type::NullLiteral ? Type::Dynamic : item.value.type});
        }
        if (crosstab) AddPivotColumns(*crosstab, scope, fromSql, where, columnsSql, out.columns);
        out.sql = SelectSql(s, scope, shown, columnsSql, keys,
                            (fromSql.empty() ? "" : " FROM " + fromSql) + where + grouping.sql + having);
        return out;
    }

    // The output columns: each "*" spread into its columns, each expression translated and named.
    std::vector<Item> SelectList(const Select& s, Scope& scope, std::set<std::string>& shown) {
        std::vector<Item> items;
        std::set<std::string>* savedShown = shown_;
        shown_ = &shown;
        const int savedCounter = exprCounter_;
        exprCounter_ = 1000;
        for (const SelectItem& si : s.items)
            if (si.alias) scope.pending.emplace_back(*si.alias, si.expr.get());
        for (const SelectItem& si : s.items) {
            if (si.expr->kind == Expr::Kind::Star) {
                AddStarColumns(*si.expr, scope, shown, items);
                continue;
            }
            Item item;
            std::vector<std::string>* savedRefs = refs_;
            refs_ = &item.refs;
            item.value = si.alias ? AliasValue(*si.alias, *si.expr, scope, false) : Value(*si.expr, scope);
            refs_ = savedRefs;
            if (si.alias) {
                item.name = *si.alias;
                item.named = true;
            } else if (si.expr->kind == Expr::Kind::Name && !lastQualifier_.empty()) {
                item.name = si.expr->parts.back();
                item.qualifier = lastQualifier_;
                item.named = true;
            } else {
                item.name = "Expr" + std::to_string(exprCounter_++);
            }
            scope.aliases.emplace_back(item.name, item.value);
            items.push_back(item);
        }
        exprCounter_ = savedCounter;
        shown_ = savedShown;
        scope.pending.clear();
        scope.resolved.clear();
        return items;
    }

    // An alias's text used once more; aliases of aliases can double it at every step, so the text they
    // stand for is bounded.
    const Typed& Substituted(const Typed& value) {
        constexpr std::size_t kMostAliasText = 1u << 20;
        aliasText_ += value.sql.size();
        if (aliasText_ > kMostAliasText) Unsupported("Query is too complex.");
        return value;
    }

    // The expression of a select-list alias; an alias whose expression comes back to itself is refused.
    // Each alias is translated once.
    Typed AliasValue(const std::string& alias, const Expr& e, const Scope& scope, bool reference = true) {
        const std::string key = Lower(alias) + (aggregateDepth_ ? "*" : "");
        auto found = scope.resolved.find(key);
        if (found == scope.resolved.end()) {
            for (const std::string& open : resolving_)
                if (Same(open, alias))
                    Unsupported("Circular reference caused by alias '" + alias +
                                "' in query definition's SELECT list.");
            std::vector<std::string> refs;
            std::vector<std::string>* const outerRefs = refs_;
            resolving_.push_back(alias);
            struct Restore {
                Translator& t;
                std::vector<std::string>* refs;
                ~Restore() {
                    t.resolving_.pop_back();
                    t.refs_ = refs;
                }
            } restore{*this, outerRefs};
            refs_ = outerRefs ? &refs : nullptr;
            Typed value = Value(e, scope);
            found = scope.resolved.emplace(key, std::make_pair(std::move(value), std::move(refs))).first;
        }
        if (reference) Substituted(found->second.first);
        if (refs_) refs_->insert(refs_->end(), found->second.second.begin(), found->second.second.end());
        return found->second.first;
    }

    // "*" or "t.*": the columns of every source, or of the one named.
    static void AddStarColumns(const Expr& star, const Scope& scope, std::set<std::string>& shown,
                               std::vector<Item>& items) {
        const bool qualified = !star.parts.empty();
        bool found = false;
        for (const Source& src : scope.sources) {
            if (qualified && !Same(src.alias, star.parts[0])) continue;
            found = true;
            shown.insert(Lower(src.alias));
            for (const OutColumn& c : src.columns)
                items.push_back(
                    {{Quote(src.alias) + "." + Quote(c.name), c.type}, c.name, src.alias, true, true, {}});
        }
        if (!found) MissingParameter();
    }

    // Two plain fields of one name from different tables are told apart as "Table.Field".
    static void QualifySharedNames(std::vector<Item>& items) {
        std::vector<bool> shared(items.size(), false);
        for (std::size_t i = 0; i < items.size(); ++i)
            for (std::size_t j = 0; j < items.size() && !items[i].qualifier.empty(); ++j)
                if (i != j && Same(items[i].name, items[j].name) && !items[j].qualifier.empty() &&
                    !Same(items[i].qualifier, items[j].qualifier))
                    shared[i] = true;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (shared[i]) items[i].name = items[i].qualifier + "." + items[i].name;
    }

    std::string WhereClause(const Select& s, const Scope& scope) {
        if (!s.where) return {};
        const Typed w = Value(*s.where, scope);
        if (w.aggregate) Unsupported("Cannot have aggregate function in WHERE clause.");
        return " WHERE " + AsCondition(w);
    }

    Grouping GroupBy(const Select& s, const Scope& scope) {
        Grouping g;
        for (const ExprPtr& e : s.groupBy) {
            const Typed t = Value(*e, scope);
            if (t.aggregate) Unsupported("Cannot have aggregate function in GROUP BY clause.");
            g.grouped.insert(t.sql);
            g.keys.push_back(Collated(t));
            g.sql += std::string(g.sql.empty() ? " GROUP BY " : ", ") + Collated(t);
        }
        return g;
    }

    // SQLite would show some row's value for a field that is neither grouped nor aggregated; Jet refuses.
    static void CheckGrouped(const Select& s, const std::vector<Item>& items,
                             const std::set<std::string>& grouped) {
        const bool aggregated =
            !s.groupBy.empty() ||
            std::any_of(items.begin(), items.end(), [](const Item& i) { return i.value.aggregate; });
        for (const Item& item : items) {
            if (!aggregated || grouped.count(item.value.sql)) continue;
            const std::vector<std::string> refs =
                item.star ? std::vector<std::string>{item.value.sql} : item.refs;
            for (const std::string& r : refs)
                if (!grouped.count(r))
                    throw ProviderError(ErrorReason::BadCommand,
                                        "You tried to execute a query that does not include the "
                                        "specified expression '" +
                                            item.name + "' as part of an aggregate function.");
        }
    }

    // The statement around the output columns: DISTINCT, DISTINCTROW, ORDER BY and TOP.
    static std::string SelectSql(const Select& s, const Scope& scope, const std::set<std::string>& shown,
                                 const std::vector<std::string>& columnsSql, const std::vector<SortKey>& keys,
                                 const std::string& body) {
        std::string list;
        for (std::size_t i = 0; i < columnsSql.size(); ++i)
            list += (i ? ", " : "") + columnsSql[i] + " AS c" + std::to_string(i + 1);
        // DISTINCTROW drops rows that repeat whole records of the tables the output shows; with one table,
        // or with every table shown, it changes nothing.
        const bool rowDistinct = s.distinctRow && !s.distinct && scope.sources.size() > 1 &&
                                 shown.size() < scope.sources.size() && !shown.empty();
        const std::string head = std::string("SELECT ") + (s.distinct || rowDistinct ? "DISTINCT " : "");
        if (!s.top && !rowDistinct) {
            std::string order;
            for (const SortKey& k : keys)
                order +=
                    std::string(order.empty() ? " ORDER BY " : ", ") + k.sql + (k.descending ? " DESC" : "");
            return head + list + body + order;
        }
        // The sort keys and DISTINCTROW's record columns ride along in an inner select, as k1, k2, ... and
        // h..., so the outer one can sort and rank on them and show only the output columns.
        std::string keyList, outer, order;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            keyList += ", " + keys[i].sql + " AS k" + std::to_string(i + 1);
            order += std::string(i ? ", " : "") + "k" + std::to_string(i + 1) +
                     (keys[i].descending ? " DESC" : "");
        }
        for (std::size_t i = 0; i < columnsSql.size(); ++i)
            outer += (i ? ", " : "") + std::string("c") + std::to_string(i + 1);
        const std::string inner =
            head + list + keyList + (rowDistinct ? RecordColumns(scope, shown) : "") + body;
        if (!s.top)
            return "SELECT " + outer + " FROM (" + inner + ")" + (keys.empty() ? "" : " ORDER BY " + order);
        // TOP n PERCENT: the share of the rows, rounded up.
        const std::string count =
            s.percent ? "(SELECT CAST(x AS INTEGER) + (x > CAST(x AS INTEGER)) FROM (SELECT count(*) * " +
                            Real(*s.top) + " / 100.0 AS x FROM (" + inner + ")))"
                      : std::to_string(static_cast<long long>(std::max(0.0, std::floor(*s.top))));
        if (keys.empty()) return "SELECT " + outer + " FROM (" + inner + ") LIMIT " + count;
        // TOP keeps the rows that tie with the last one on the sort keys, as Jet does: SQLite finds the
        // n-th row's keys keeping only n rows in its sorter, and a second read keeps every row that sorts
        // no later than those keys. Fewer rows than n are all kept.
        const std::string nth = " LIMIT 1 OFFSET (" + count + ") - 1";
        if (keys.size() == 1) {
            const std::string collate = keys[0].sql.ends_with(" COLLATE acc") ? " COLLATE acc" : "";
            const std::string bound = "(SELECT k1 FROM (" + inner + ") ORDER BY " + order + nth + ")";
            // Going up, Null sorts first; going down, last: a Null bound, or none, keeps every row then.
            const std::string keep = keys[0].descending
                                         ? "k1 >= " + bound + collate + " OR NOT EXISTS (SELECT 1 FROM (" +
                                               inner + ") WHERE k1 IS NOT NULL" + nth + ")"
                                         : "k1 IS NULL OR k1 <= " + bound + collate +
                                               " OR NOT EXISTS (SELECT 1 FROM (" + inner + ")" + nth + ")";
            return "SELECT " + outer + " FROM (" + inner + ") WHERE " + keep + " ORDER BY " + order;
        }
        std::string bounds = "1 AS b0";
        for (std::size_t i = 0; i < keys.size(); ++i)
            bounds += ", k" + std::to_string(i + 1) + " AS b" + std::to_string(i + 1);
        return "SELECT " + outer + " FROM (" + inner + ") AS q LEFT JOIN (SELECT " + bounds + " FROM (" +
               inner + ") ORDER BY " + order + nth + ") AS b ON 1 WHERE b.b0 IS " + "NULL OR " +
               NoLaterThanBound(keys, 0) + " ORDER BY " + order;
    }

    // The keys k<i>, k<i+1>, ... sort no later than the bounds b<i>, b<i+1>, ...: Null sorts first going up
    // and last going down.
    static std::string NoLaterThanBound(const std::vector<SortKey>& keys, std::size_t i) {
        const std::string collate = keys[i].sql.ends_with(" COLLATE acc") ? " COLLATE acc" : "";
        const std::string k = "q.k" + std::to_string(i + 1), b = "b.b" + std::to_string(i + 1);
        const std::string before =
            keys[i].descending
                ? "(" + k + " IS NOT NULL AND (" + b + " IS NULL OR " + k + " > " + b + collate + "))"
                : "(" + b + " IS NOT NULL AND (" + k + " IS NULL OR " + k + " < " + b + collate + "))";
        const std::string same = "(" + k + " IS " + b + collate + ")";
        if (i + 1 == keys.size()) return "(" + before + " OR " + same + ")";
        return "(" + before + " OR (" + same + " AND " + NoLaterThanBound(keys, i + 1) + "))";
    }

    // Every column of the shown tables, for DISTINCTROW to tell their records apart.
    static std::string RecordColumns(const Scope& scope, const std::set<std::string>& shown) {
        std::string hidden;
        for (const Source& src : scope.sources)
            if (shown.count(Lower(src.alias)))
                for (const OutColumn& c : src.columns)
                    hidden += ", " + Quote(src.alias) + "." + Quote(c.name) + " AS h" +
                              std::to_string(hidden.size());
        return hidden;
    }

    static std::string Output(const Typed& t) {
        if (t.condition) return "(-(" + t.sql + "))";
        return Collated(t);
    }

    void AddPivotColumns(const Statement& st, Scope& scope, const std::string& fromSql,
                         const std::string& where, std::vector<std::string>& columnsSql,
                         std::vector<OutColumn>& columns) {
        const Typed pivot = Value(*st.pivot, scope);
        std::vector<Variant> headings;
        if (!st.pivotIn.empty()) {
            for (const ExprPtr& e : st.pivotIn) {
                const Typed h = Value(*e, scope);
                headings.push_back(schema_.Values("SELECT " + h.sql, h.type).front());
            }
        } else {
            std::string with;
            for (std::size_t i = 0; i < ctes_.size(); ++i) with += (i ? ", " : "WITH ") + ctes_[i];
            headings = schema_.Values(
                with + " SELECT DISTINCT " + Output(pivot) + " FROM " + fromSql + where + " ORDER BY 1",
                pivot.type);
        }
        for (const Variant& h : headings) {
            std::string match;
            if (h.IsNull()) {
                match = "(" + pivot.sql + ") IS NULL";
            } else if (!st.pivotIn.empty()) {
                // A listed heading matches the pivot values that compare equal to it as Jet compares; text
                // pivots are matched against the heading's text.
                const Typed heading =
                    IsTextLike(pivot.type) || h.type() == Variant::Type::Text
                        ? Typed{SqlString(text::ValueToText(h, text::Locale::EnUS())), Type::Text}
                        : Literal(h, TypeOf(h.type()));
                match = Compare("=", pivot, heading).sql;
            } else {
                const Typed literal = Literal(h, pivot.type);
                match =
                    "(" + pivot.sql + ") = " + literal.sql + (IsTextLike(pivot.type) ? " COLLATE acc" : "");
            }
            pivotFilter_ = match;
            const Typed cell = Value(*st.transform->expr, scope);
            pivotFilter_.reset();
            if (!cell.aggregate) Unsupported("The TRANSFORM value of a crosstab query must be an aggregate.");
            columnsSql.push_back("CASE WHEN max(" + match + ") THEN " + Output(cell) + " END");
            std::string heading = h.IsNull() ? "<>" : text::ValueToText(h, text::Locale::EnUS());
            columns.push_back({heading, cell.type});
        }
    }

    Typed Literal(const Variant& v, Type type) {
        switch (v.type()) {
            case Variant::Type::Text:
                return {SqlString(v.text()), Type::Text};
            case Variant::Type::Double:
            case Variant::Type::Single:
            case Variant::Type::Date:
                return {Real(v.ToDouble()), type};
            default:
                return {std::to_string(v.ToInt64()), type};
        }
    }

    // ----- expressions -----

    std::string Condition(const Expr& e, const Scope& scope) { return AsCondition(Value(e, scope)); }

    Typed Name(const Expr& e, const Scope& scope) {
        lastQualifier_.clear();
        if (e.parts.size() > 2) MissingParameter();  // Forms!Orders!OrderID and the like
        for (const Scope* s = &scope; s; s = s->parent) {
            if (e.parts.size() == 2) {
                for (const Source& src : s->sources) {
                    if (!Same(src.alias, e.parts[0])) continue;
                    for (const OutColumn& c : src.columns)
                        if (Same(c.name, e.parts[1])) {
                            lastQualifier_ = src.alias;
                            if (refs_ && aggregateDepth_ == 0 && s == &scope)
                                refs_->push_back(Quote(src.alias) + "." + Quote(c.name));
                            if (shown_ && s == &scope) shown_->insert(Lower(src.alias));
                            return {Quote(src.alias) + "." + Quote(c.name), c.type};
                        }
                    MissingParameter();
                }
                continue;
            }
            const Source* found = nullptr;
            const OutColumn* column = nullptr;
            for (const Source& src : s->sources)
                for (const OutColumn& c : src.columns)
                    if (Same(c.name, e.parts[0])) {
                        if (found && found != &src)
                            throw ProviderError(ErrorReason::BadCommand,
                                                "The specified field '" + e.parts[0] +
                                                    "' could refer to more than one table listed in the "
                                                    "FROM clause of your SQL statement.");
                        found = &src;
                        column = &c;
                    }
            if (found) {
                lastQualifier_ = found->alias;
                if (refs_ && aggregateDepth_ == 0 && s == &scope)
                    refs_->push_back(Quote(found->alias) + "." + Quote(column->name));
                if (shown_ && s == &scope) shown_->insert(Lower(found->alias));
                return {Quote(found->alias) + "." + Quote(column->name), column->type};
            }
            for (const auto& [alias, typed] : s->aliases)
                if (Same(alias, e.parts[0])) return Substituted(typed);
            for (const auto& [alias, expr] : s->pending)
                if (Same(alias, e.parts[0])) return AliasValue(alias, *expr, *s);
        }
        MissingParameter();
    }

    Typed Value(const Expr& e, const Scope& scope) {
        switch (e.kind) {
            case Expr::Kind::Number:
                return NumberLiteral(e);
            case Expr::Kind::String:
                return {SqlString(e.text), Type::Text};
            case Expr::Kind::Date:
                return {Real(e.number), Type::Date};
            case Expr::Kind::Constant:
                if (e.text == "null") return {"NULL", Type::NullLiteral};
                return {e.text == "true" ? "-1" : "0", Type::Boolean};
            case Expr::Kind::Name:
                return Name(e, scope);
            case Expr::Kind::Star:
                Unsupported("'*' can stand only in the select list or in Count(*).");
            case Expr::Kind::Unary:
                return UnaryOperation(e, scope);
            case Expr::Kind::Binary:
                return Binary(e, scope);
            case Expr::Kind::Between: {
                const Typed v = Value(*e.args[0], scope);
                const std::string test = "(" + Compare(">=", v, Value(*e.args[1], scope)).sql + " AND " +
                                         Compare("<=", v, Value(*e.args[2], scope)).sql + ")";
                return {e.negated ? "(NOT " + test + ")" : test, Type::Boolean, true, v.aggregate};
            }
            case Expr::Kind::InList:
                return InListTest(e, scope);
            case Expr::Kind::InSelect:
                return InSelectTest(e, scope);
            case Expr::Kind::IsNull: {
                const Typed v = AsValue(Value(*e.args[0], scope));
                return {"(" + v.sql + (e.negated ? " IS NOT NULL)" : " IS NULL)"), Type::Boolean, true,
                        v.aggregate};
            }
            case Expr::Kind::Subquery: {
                const Translated sub = SingleColumnSelect(*e.select, scope);
                return {"(SELECT c1 FROM (" + sub.sql + "))", sub.columns[0].type};
            }
            case Expr::Kind::Exists: {
                Translated sub = select(*e.select, &scope, nullptr);
                return {"EXISTS (" + sub.sql + ")", Type::Boolean, true};
            }
            case Expr::Kind::Call:
                return Call(e, scope);
        }
        Unsupported("Unknown expression.");
    }

    // Integer when the digits fit a Long (Integer when they fit that), Double otherwise.
    static Typed NumberLiteral(const Expr& e) {
        if (e.text.find_first_of(".eE") != std::string::npos || e.number > 2147483647.0)
            return {Real(e.number), Type::Double};
        return {e.text, e.number > 32767 ? Type::Long : Type::Integer};
    }

    // Not, and minus (which turns a Boolean or Byte into an Integer, and text into a Double).
    Typed UnaryOperation(const Expr& e, const Scope& scope) {
        const Typed a = Value(*e.args[0], scope);
        if (e.op == "not") return {"(NOT " + AsCondition(a) + ")", Type::Boolean, true, a.aggregate};
        const Typed v = AsValue(a);
        if (v.type == Type::NullLiteral) return v;
        if (IsNumeric(v.type) || v.type == Type::Date) {
            // The most negative Integer, Long or Currency has no positive counterpart in its type.
            const bool fits = e.args[0]->kind == Expr::Kind::Number || v.type == Type::Boolean ||
                              v.type == Type::Byte || (!IsInteger(v.type) && v.type != Type::Currency);
            const std::string sql = "(-" + v.sql + ")";
            return {fits ? sql : Fitted(sql, RangeOf(v.type)),
                    v.type == Type::Boolean || v.type == Type::Byte ? Type::Integer : v.type, false,
                    v.aggregate};
        }
        return {"(-" + AsNumber(v) + ")", Type::Double, false, v.aggregate};
    }

    // x In (a, b, ...): Currency compares in ten-thousandths only when every item is Currency too.
    Typed InListTest(const Expr& e, const Scope& scope) {
        Typed v = AsValue(Value(*e.args[0], scope));
        std::string list;
        bool currency = v.type == Type::Currency;
        for (std::size_t i = 1; i < e.args.size(); ++i) {
            const Typed item = AsValue(Value(*e.args[i], scope));
            if (item.type != Type::Currency) currency = false;
            // Text in the list of a date is read as a date, as in a comparison.
            const bool asDate = v.type == Type::Date && IsTextLike(item.type);
            list += (i > 1 ? ", " : "") + (asDate ? "acc_cdate(" + item.sql + ")" : item.sql);
        }
        const std::string lhs = currency ? v.sql : v.type == Type::Currency ? AsNumber(v) : v.sql;
        const std::string test = "(" + lhs + (IsTextLike(v.type) ? " COLLATE acc" : "") +
                                 (e.negated ? " NOT IN (" : " IN (") + list + "))";
        return {test, Type::Boolean, true, v.aggregate};
    }

    // x In (SELECT ...): a Currency side is put in units when the other side is not Currency.
    Typed InSelectTest(const Expr& e, const Scope& scope) {
        const Typed v = AsValue(Value(*e.args[0], scope));
        const Translated sub = SingleColumnSelect(*e.select, scope);
        std::string lhs = v.sql, column = "c1";
        if (v.type == Type::Currency && sub.columns[0].type != Type::Currency) lhs = AsNumber(v);
        if (v.type != Type::Currency && sub.columns[0].type == Type::Currency) column = "c1 / 10000.0";
        return {"(" + lhs + (IsTextLike(v.type) ? " COLLATE acc" : "") + (e.negated ? " NOT IN " : " IN ") +
                    "(SELECT " + column + " FROM (" + sub.sql + ")))",
                Type::Boolean, true, v.aggregate};
    }

    // A subquery that stands for one value, or for a list of them.
    Translated SingleColumnSelect(const Select& s, const Scope& scope) {
        Translated sub = select(s, &scope, nullptr);
        if (sub.columns.size() != 1)
            Unsupported(
                "You have written a subquery that can return more than one field without using "
                "the EXISTS reserved word in the main query's FROM clause.");
        return sub;
    }

    static Typed Compare(const std::string& op, const Typed& ain, const Typed& bin) {
        Typed a = AsValue(ain), b = AsValue(bin);
        const bool aggregate = a.aggregate || b.aggregate;
        if (a.type == Type::NullLiteral || b.type == Type::NullLiteral)
            return {"NULL", Type::Boolean, true, aggregate};
        std::string l = a.sql, r = b.sql, collate;
        if (a.type == Type::Text && b.type == Type::Text) {
            collate = " COLLATE acc";
        } else if (a.type == Type::Date && IsTextLike(b.type)) {
            r = "acc_cdate(" + b.sql + ")";  // text is read as a date, as Jet converts it
        } else if (IsTextLike(a.type) && b.type == Type::Date) {
            l = "acc_cdate(" + a.sql + ")";
        } else if (a.type == Type::Currency && b.type == Type::Currency) {
            // both in ten-thousandths
        } else if (IsNumeric(a.type) || IsNumeric(b.type) || a.type == Type::Date || b.type == Type::Date) {
            l = IsTextLike(a.type) ? AsNumber(a) : a.type == Type::Currency ? AsNumber(a) : a.sql;
            r = IsTextLike(b.type) ? AsNumber(b) : b.type == Type::Currency ? AsNumber(b) : b.sql;
        } else {
            collate = " COLLATE acc";
        }
        const std::string sqlOp = op == "<>" ? "<>" : op;
        return {"(" + l + " " + sqlOp + " " + r + collate + ")", Type::Boolean, true, aggregate};
    }

    static Type Arithmetic(Type a, Type b) {
        if (a == Type::Boolean) a = Type::Integer;
        if (b == Type::Boolean) b = Type::Integer;
        if (a == Type::Byte && b == Type::Byte) return Type::Byte;
        if ((a == Type::Long && b == Type::Single) || (a == Type::Single && b == Type::Long))
            return Type::Double;
        return Rank(a) >= Rank(b) ? a : b;
    }

    // A node of one operator and two or more operands. And, Or and & come out as one flat expression;
    // a run of + - or * as one parenthesis level where SQLite's own operator does the work, its result
    // checked against its type's range once, at the end; the other operators nest one level per operand.
    Typed Binary(const Expr& e, const Scope& scope) {
        const std::string& op = e.op;
        if (op == "and" || op == "or") {
            std::string sql;
            bool aggregate = false;
            for (const ExprPtr& arg : e.args) {
                const Typed t = Value(*arg, scope);
                sql += (sql.empty() ? "(" : op == "and" ? " AND " : " OR ") + AsCondition(t);
                aggregate = aggregate || t.aggregate;
            }
            return {sql + ")", Type::Boolean, true, aggregate};
        }
        if (op == "&") return Concatenated(e, scope);
        const bool arithmetic = op == "+" || op == "-" || op == "*";
        Typed left = Value(*e.args[0], scope);
        int pending = 0;      // the FitRange `left` is still to be checked against, 0 for none
        bool joined = false;  // `left` is "(a op b)", op being SQLite's own operator
        for (std::size_t i = 1; i < e.args.size(); ++i) {
            const Typed right = Value(*e.args[i], scope);
            const std::string tail = " " + op + " " + right.sql + ")";
            Typed step = Operation(op, left, right);
            bool plain = arithmetic && step.sql == "(" + left.sql + tail;
            if (plain && joined) {
                step.sql = left.sql.substr(0, left.sql.size() - 1) + tail;  // "(a + b + c)"
            } else if (pending) {
                left.sql = Fitted(left.sql, pending);
                step = Operation(op, left, right);
                plain = arithmetic && step.sql == "(" + left.sql + tail;
            }
            joined = plain;
            pending = arithmetic ? RangeOf(step.type) : 0;
            left = step;
        }
        if (pending) left.sql = Fitted(left.sql, pending);
        return left;
    }

    // The range the result of + - * (or of a sign) is checked against, 0 where none applies: Dynamic
    // operands go through acc_add and the like, which check themselves; dates and text are left alone,
    // and so is a Byte result, which comes out as an Integer when it outgrows a byte.
    static int RangeOf(Type t) {
        switch (t) {
            case Type::Integer:
                return kFitInteger;
            case Type::Long:
                return kFitLong;
            case Type::BigInt:
            case Type::Currency:
                return kFitInt64;
            case Type::Single:
                return kFitSingle;
            case Type::Double:
            case Type::Decimal:
                return kFitDouble;
            default:
                return 0;
        }
    }
    static std::string Fitted(const std::string& sql, int range) {
        return "acc_fit(" + sql + ", " + std::to_string(range) + ")";
    }

    // "a & b & c": one call of any number of operands, in calls of at most 100 (SQLite allows 127).
    Typed Concatenated(const Expr& e, const Scope& scope) {
        std::vector<std::string> parts;
        bool aggregate = false;
        for (const ExprPtr& arg : e.args) {
            const Typed t = Value(*arg, scope);
            parts.push_back(AsText(t));
            aggregate = aggregate || t.aggregate;
        }
        constexpr std::size_t kPerCall = 100;
        std::string sql;
        for (std::size_t i = 0; i < parts.size();) {
            std::string call = "acc_concat(" + sql;
            std::size_t n = sql.empty() ? 0 : 1;
            for (; i < parts.size() && n < kPerCall; ++i, ++n) call += (n ? ", " : "") + parts[i];
            sql = call + ")";
        }
        return {sql, Type::Text, false, aggregate};
    }

    // IIf inside IIf: "CASE WHEN a THEN x ELSE CASE WHEN b ..." becomes one CASE of several WHENs, since
    // SQLite's parser takes only a few dozen nested levels. An IIf in the true part moves last:
    // IIf(a, IIf(b, x, y), z) is "CASE WHEN NOT coalesce(a, 0) THEN z WHEN b THEN x ELSE y END". The
    // SQL of IIf's rule is reshaped only when it has exactly the expected form, and left alone otherwise.
    static std::string FlatCase(const Expr& e, const std::vector<Typed>& args, const std::string& sql) {
        const std::string when = "CASE WHEN ", end = " END";
        auto nested = [&](std::size_t i) {
            return e.args[i]->kind == Expr::Kind::Call && Same(e.args[i]->text, "iif") &&
                   args[i].sql.starts_with(when) && args[i].sql.ends_with(end);
        };
        if (args.size() != 3 || !sql.starts_with(when) || !sql.ends_with(end)) return sql;
        if (nested(2)) {
            const std::string otherwise = " ELSE " + args[2].sql + end;
            if (sql.ends_with(otherwise))
                return sql.substr(0, sql.size() - otherwise.size()) + " " + args[2].sql.substr(5);
        }
        if (nested(1)) {
            const std::string condition = AsCondition(args[0]);
            const std::string head = when + condition + " THEN " + args[1].sql + " ELSE ";
            if (sql.starts_with(head) && sql.size() > head.size() + end.size()) {
                const std::string otherwise = sql.substr(head.size(), sql.size() - head.size() - end.size());
                return when + "NOT coalesce(" + condition + ", 0) THEN " + otherwise + " " +
                       args[1].sql.substr(5);
            }
        }
        return sql;
    }

    // One operator between two operands as translated.
    Typed Operation(const std::string& op, const Typed& ra, const Typed& rb) {
        const bool aggregate = ra.aggregate || rb.aggregate;
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=")
            return Compare(op, ra, rb);
        if (op == "xor")
            return {"(" + AsCondition(ra) + " <> " + AsCondition(rb) + ")", Type::Boolean, true, aggregate};
        if (op == "eqv")
            return {"(" + AsCondition(ra) + " = " + AsCondition(rb) + ")", Type::Boolean, true, aggregate};
        if (op == "imp")
            return {"((NOT " + AsCondition(ra) + ") OR " + AsCondition(rb) + ")", Type::Boolean, true,
                    aggregate};
        if (op == "like")
            return {"acc_like(" + AsText(ra) + ", " + AsText(rb) + ")", Type::Boolean, true, aggregate};
        const Typed a = AsValue(ra), b = AsValue(rb);
        if (a.type == Type::NullLiteral || b.type == Type::NullLiteral)
            return {"NULL", Type::NullLiteral, false, aggregate};
        auto typed = [&](std::string sql, Type t) { return Typed{std::move(sql), t, false, aggregate}; };
        if (op == "/") {
            const bool single = (a.type == Type::Byte || a.type == Type::Integer || a.type == Type::Single ||
                                 a.type == Type::Boolean) &&
                                (b.type == Type::Byte || b.type == Type::Integer || b.type == Type::Single ||
                                 b.type == Type::Boolean);
            return typed("acc_div(" + AsNumber(a) + ", " + AsNumber(b) + ")",
                         single ? Type::Single : Type::Double);
        }
        if (op == "\\") return typed("acc_idiv(" + AsNumber(a) + ", " + AsNumber(b) + ")", Type::Long);
        if (op == "mod") return typed("acc_mod(" + AsNumber(a) + ", " + AsNumber(b) + ")", Type::Long);
        if (op == "^") return typed("acc_pow(" + AsNumber(a) + ", " + AsNumber(b) + ")", Type::Double);
        // + - *
        if (a.type == Type::Dynamic || b.type == Type::Dynamic) {
            const char* f = op == "+" ? "acc_add" : op == "-" ? "acc_sub" : "acc_mul";
            return typed(std::string(f) + "(" + (a.type == Type::Currency ? AsNumber(a) : a.sql) + ", " +
                             (b.type == Type::Currency ? AsNumber(b) : b.sql) + ")",
                         Type::Dynamic);
        }
        if (op == "+" && a.type == Type::Text && b.type == Type::Text)
            return typed("(" + a.sql + " || " + b.sql + ")", Type::Text);
        if (a.type == Type::Date || b.type == Type::Date) {
            if (op == "*") return typed("(" + AsNumber(a) + " * " + AsNumber(b) + ")", Type::Double);
            if (op == "-" && a.type == Type::Date && b.type == Type::Date)
                return typed("(" + a.sql + " - " + b.sql + ")", Type::Double);
            return typed("(" + AsNumber(a) + " " + op + " " + AsNumber(b) + ")", Type::Date);
        }
        if (a.type == Type::Currency || b.type == Type::Currency) {
            const Typed& other = a.type == Type::Currency ? b : a;
            if (a.type == Type::Currency && b.type == Type::Currency && op != "*")
                return typed("(" + a.sql + " " + op + " " + b.sql + ")", Type::Currency);
            if (IsInteger(other.type)) {
                if (op == "*") return typed("(" + a.sql + " * " + b.sql + ")", Type::Currency);
                const std::string l = a.type == Type::Currency ? a.sql : "(" + a.sql + " * 10000)";
                const std::string r = b.type == Type::Currency ? b.sql : "(" + b.sql + " * 10000)";
                return typed("(" + l + " " + op + " " + r + ")", Type::Currency);
            }
            return typed("(" + AsNumber(a) + " " + op + " " + AsNumber(b) + ")", Type::Double);
        }
        if (IsNumeric(a.type) && IsNumeric(b.type))
            return typed("(" + a.sql + " " + op + " " + b.sql + ")", Arithmetic(a.type, b.type));
        return typed("(" + AsNumber(a) + " " + op + " " + AsNumber(b) + ")", Type::Double);
    }

    // ----- function calls -----

    Typed Call(const Expr& e, const Scope& scope) {
        const AccessFunction* function = FindAccessFunction(e.text);
        if (function && function->kind != FunctionKind::Scalar) return Aggregate(*function, e, scope);
        std::vector<Typed> args;
        bool aggregated = false;
        for (const ExprPtr& arg : e.args) {
            args.push_back(Value(*arg, scope));
            aggregated = aggregated || args.back().aggregate;
        }
        if (!function)
            throw ProviderError(ErrorReason::BadCommand,
                                "Undefined function '" + e.text + "' in expression.");
        CheckArity(*function, args.size(), e.text);
        Typed out = function->rule({*function, args, pivotFilter_});
        if (Same(e.text, "iif")) out.sql = FlatCase(e, args, out.sql);
        out.aggregate = aggregated;
        return out;
    }

    // An aggregate names itself in lower case in its messages.
    Typed Aggregate(const AccessFunction& function, const Expr& e, const Scope& scope) {
        CheckArity(function, e.args.size(), function.name);
        const Expr& arg = *e.args[0];
        Typed v;
        if (function.kind == FunctionKind::Count && arg.kind == Expr::Kind::Star && arg.parts.empty()) {
            v = {"1", Type::Long};  // Count(*): one for every row
        } else {
            ++aggregateDepth_;
            try {
                v = Value(arg, scope);
            } catch (...) {
                --aggregateDepth_;
                throw;
            }
            --aggregateDepth_;
            if (function.kind == FunctionKind::Aggregate && v.aggregate)
                Unsupported("Cannot have aggregate function in expression (" + std::string(function.name) +
                            ").");
        }
        Typed out = function.rule({function, {v}, pivotFilter_});
        out.aggregate = true;
        return out;
    }

    static void CheckArity(const AccessFunction& function, std::size_t count, const std::string& name) {
        if (count < function.minArgs || count > function.maxArgs)
            Unsupported("Wrong number of arguments used with function in query expression '" + name + "'.");
    }

    Schema& schema_;
    std::vector<std::string> ctes_;
    std::optional<std::string> pivotFilter_;
    std::string lastQualifier_;
    std::set<std::string>* shown_ = nullptr;
    std::vector<std::string>* refs_ = nullptr;
    std::vector<std::string> resolving_;  // the select-list aliases being translated, innermost last
    std::size_t aliasText_ = 0;           // the SQL text select-list aliases have stood for so far
    int aggregateDepth_ = 0;
    int exprCounter_ = 1000;
};

}  // namespace

bool IsInteger(Type t) {
    return t == Type::Boolean || t == Type::Byte || t == Type::Integer || t == Type::Long ||
           t == Type::BigInt;
}

bool IsNumeric(Type t) {
    return IsInteger(t) || t == Type::Currency || t == Type::Single || t == Type::Double ||
           t == Type::Decimal;
}

bool IsTextLike(Type t) { return t == Type::Text || t == Type::Dynamic; }

Type Merge(Type a, Type b) {
    if (a == Type::NullLiteral) return b;
    if (b == Type::NullLiteral || a == b) return a;
    if (IsNumeric(a) && IsNumeric(b) && a != Type::Currency && b != Type::Currency)
        return Rank(a) >= Rank(b) ? a : b;
    return Type::Dynamic;
}

std::string Named(const Translated& t) {
    std::string list;
    for (std::size_t i = 0; i < t.columns.size(); ++i)
        list += (i ? ", c" : "c") + std::to_string(i + 1) + " AS " + Quote(t.columns[i].name);
    return "SELECT " + list + " FROM (" + t.sql + ")";
}

Type TypeOf(Variant::Type t) {
    switch (t) {
        case Variant::Type::Null:
            return Type::Dynamic;
        case Variant::Type::Boolean:
            return Type::Boolean;
        case Variant::Type::Byte:
            return Type::Byte;
        case Variant::Type::Integer:
            return Type::Integer;
        case Variant::Type::Long:
            return Type::Long;
        case Variant::Type::BigInt:
            return Type::BigInt;
        case Variant::Type::Single:
            return Type::Single;
        case Variant::Type::Double:
            return Type::Double;
        case Variant::Type::Currency:
            return Type::Currency;
        case Variant::Type::Decimal:
            return Type::Decimal;
        case Variant::Type::Date:
            return Type::Date;
        case Variant::Type::Text:
            return Type::Text;
        case Variant::Type::Binary:
            return Type::Binary;
        case Variant::Type::Guid:
            return Type::Guid;
    }
    return Type::Dynamic;
}

std::string Quote(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

Schema::Object Schema::RemoteObject(const std::string& database, const std::string&) {
    throw ProviderError(ErrorReason::NotReadable, "Could not find file '" + database + "'.");
}

Translated Translate(const Statement& statement, Schema& schema) {
    return Translator(schema).statement(statement);
}

}  // namespace tabvert::ado::sql
