// The reading commands: tables and rows.

#include <iostream>
#include <optional>

#include "cli/commands.h"
#include "cli/options.h"
#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/provider/select_text.h"
#include "core/text/locale.h"
#include "core/value/value_text.h"

namespace tabvert::cli {
namespace {

constexpr unsigned kReadOptions = kPasswordOption | kTopOption | kLocaleOption | kDetailsOption;

ado::Connection OpenDatabase(const Options& o) {
    ado::Connection connection;
    const std::string& path = o.positional.at(0);
    connection.Open(database::BuildConnectionString(path, o.password.has_value(), o.password.value_or("")));
    return connection;
}

// Runs body, turning failures into a message on err and exit status 1.
template <typename Body>
int Guarded(std::ostream& err, Body&& body) {
    try {
        return body();
    } catch (const ado::ProviderError& e) {
        err << kErrorPrefix << e.Description() << "\n";
    } catch (const std::invalid_argument& e) {
        err << kErrorPrefix << e.what() << " (see tabvert-cli --help)\n";
        return 2;
    } catch (const std::exception& e) {
        err << kErrorPrefix << e.what() << "\n";
    }
    return 1;
}

}  // namespace

std::string EscapeCell(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

int TablesCommand(const Args& args, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        const Options o = ParseOptions(args, kReadOptions);
        if (o.help) {
            out << "tabvert-cli tables DB [--password P] [--details] [--locale en_US|de_DE|system]\n";
            return 0;
        }
        if (o.positional.size() != 1) throw std::invalid_argument("tables needs exactly one database path");
        ado::Connection connection = OpenDatabase(o);
        auto schema = connection.OpenSchema(ado::kSchemaTables);
        while (!schema->Eof()) {
            auto& fields = schema->GetFields();
            out << EscapeCell(text::ValueToText(fields.Item(ado::kTableNameField).Value(), o.locale)) << '\t'
                << text::ValueToText(fields.Item("table_type").Value(), o.locale);
            if (o.details)
                for (const char* name : {"DESCRIPTION", "DATE_CREATED", "DATE_MODIFIED"})
                    out << '\t' << EscapeCell(text::ValueToText(fields.Item(name).Value(), o.locale));
            out << '\n';
            schema->MoveNext();
        }
        schema->Close();
        connection.Close();
        return 0;
    });
}

int RowsCommand(const Args& args, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        const Options o = ParseOptions(args, kReadOptions);
        if (o.help) {
            out << "tabvert-cli rows DB TABLE [--password P] [--top N] [--locale en_US|de_DE|system]\n";
            return 0;
        }
        if (o.positional.size() != 2)
            throw std::invalid_argument("rows needs a database path and a table name");
        ado::Connection connection = OpenDatabase(o);
        const std::string from = " * from " + ado::BracketedName(o.positional[1]);
        const std::string sql = o.top ? "select Top " + std::to_string(*o.top) + from : "select" + from;
        ado::Recordset rs;
        rs.Open(sql, connection);
        auto& fields = rs.GetFields();
        const long count = fields.Count();
        for (long i = 0; i < count; ++i) out << (i ? "\t" : "") << EscapeCell(fields.Item(i).Name());
        out << '\n';
        std::string line;
        for (std::int64_t record = 1; !rs.Eof(); ++record) {
            line.clear();
            for (long i = 0; i < count; ++i) {
                if (i) line += '\t';
                try {
                    line += EscapeCell(text::ValueToText(fields.Item(i).Value(), o.locale));
                } catch (const ado::ProviderError& e) {
                    if (e.Reason() != ErrorReason::ValueOutOfRange) throw;
                    err << kErrorPrefix << "record " << record << ", field " << fields.Item(i).Name()
                        << ": printed empty: " << e.Description() << "\n";
                }
            }
            line += '\n';
            out << line;
            rs.MoveNext();
        }
        rs.Close();
        connection.Close();
        return 0;
    });
}

int QueriesCommand(const Args& args, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        const Options o = ParseOptions(args, kReadOptions);
        if (o.help) {
            out << "tabvert-cli queries DB [--password P]\n";
            return 0;
        }
        if (o.positional.size() != 1) throw std::invalid_argument("queries needs exactly one database path");
        ado::Connection connection = OpenDatabase(o);
        int status = 0;
        for (const ado::StoredQuery& q : connection.StoredQueries()) {
            out << q.name << '\t' << ado::QueryKindName(q.kind) << '\n';
            try {
                out << ado::QuerySql(q) << "\n\n";
            } catch (const ado::ProviderError& e) {
                out << "\n";
                err << kErrorPrefix << q.name << ": " << e.Description() << "\n";
                status = 1;
            }
        }
        connection.Close();
        return status;
    });
}

}  // namespace tabvert::cli
