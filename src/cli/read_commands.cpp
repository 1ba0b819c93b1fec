// The reading commands: tables and rows.

#include <iostream>
#include <optional>

#include "cli/commands.h"
#include "cli/options.h"
#include "cli/output.h"
#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/provider/select_text.h"
#include "core/text/locale.h"
#include "core/value/value_text.h"

namespace tabvert::cli {
namespace {

// Each command takes the options it uses, and no other.
constexpr unsigned kTablesOptions = kPasswordOption | kLocaleOption | kDetailsOption;
constexpr unsigned kRowsOptions = kPasswordOption | kTopOption | kLocaleOption;
constexpr unsigned kQueriesOptions = kPasswordOption;

ado::Connection OpenDatabase(const Options& o) {
    ado::Connection connection;
    const std::string& path = o.positional.at(0);
    connection.Open(database::BuildConnectionString(path, o.password.has_value(), o.password.value_or("")));
    return connection;
}

// Runs body, turning failures into a message on err and exit status 1 (2 for a mistake on the command
// line). A failed write to out is such a failure too.
template <typename Body>
int Guarded(std::ostream& err, Body&& body) {
    try {
        return body();
    } catch (const ado::ProviderError& e) {
        err << kErrorPrefix << EscapeControls(e.Description(), true) << "\n";
    } catch (const std::invalid_argument& e) {
        err << kErrorPrefix << EscapeControls(e.what(), true) << " (see tabvert-cli --help)\n";
        return 2;
    } catch (const std::exception& e) {
        err << kErrorPrefix << EscapeControls(e.what(), true) << "\n";
    }
    return 1;
}

}  // namespace

int TablesCommand(const Args& args, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        const Options o = ParseOptions(args, kTablesOptions);
        if (o.help) {
            WriteChecked(out,
                         "tabvert-cli tables DB [--password P] [--details] [--locale en_US|de_DE|system]\n");
            FlushChecked(out);
            return 0;
        }
        if (o.positional.size() != 1) throw std::invalid_argument("tables needs exactly one database path");
        const bool terminal = IsTerminal(out);
        ado::Connection connection = OpenDatabase(o);
        auto schema = connection.OpenSchema(ado::kSchemaTables);
        std::string line;
        while (!schema->Eof()) {
            auto& fields = schema->GetFields();
            line =
                EscapeCell(text::ValueToText(fields.Item(ado::kTableNameField).Value(), o.locale), terminal);
            line += '\t';
            line += EscapeCell(text::ValueToText(fields.Item("table_type").Value(), o.locale), terminal);
            if (o.details)
                for (const char* name : {"DESCRIPTION", "DATE_CREATED", "DATE_MODIFIED"})
                    line +=
                        '\t' + EscapeCell(text::ValueToText(fields.Item(name).Value(), o.locale), terminal);
            line += '\n';
            WriteChecked(out, line);
            schema->MoveNext();
        }
        schema->Close();
        connection.Close();
        FlushChecked(out);
        return 0;
    });
}

int RowsCommand(const Args& args, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        const Options o = ParseOptions(args, kRowsOptions);
        if (o.help) {
            WriteChecked(
                out, "tabvert-cli rows DB TABLE [--password P] [--top N] [--locale en_US|de_DE|system]\n");
            FlushChecked(out);
            return 0;
        }
        if (o.positional.size() != 2)
            throw std::invalid_argument("rows needs a database path and a table name");
        const bool terminal = IsTerminal(out);
        ado::Connection connection = OpenDatabase(o);
        const std::string from = " * from " + ado::BracketedName(o.positional[1]);
        const std::string sql = o.top ? "select Top " + std::to_string(*o.top) + from : "select" + from;
        ado::Recordset rs;
        rs.Open(sql, connection);
        auto& fields = rs.GetFields();
        const long count = fields.Count();
        std::string line;
        for (long i = 0; i < count; ++i)
            line += (i ? "\t" : "") + EscapeCell(fields.Item(i).Name(), terminal);
        line += '\n';
        WriteChecked(out, line);
        for (long i = 0; i < count; ++i)
            if (!fields.Item(i).Note().empty())
                err << kErrorPrefix << "field " << EscapeControls(fields.Item(i).Name(), false) << ": "
                    << EscapeControls(fields.Item(i).Note(), false) << "\n";
        // A value that cannot be decoded is printed empty and the rest goes on, but the command fails.
        bool damaged = false;
        for (std::int64_t record = 1; !rs.Eof(); ++record) {
            line.clear();
            for (long i = 0; i < count; ++i) {
                if (i) line += '\t';
                try {
                    line += EscapeCell(text::ValueToText(fields.Item(i).Value(), o.locale), terminal);
                } catch (const ado::ProviderError& e) {
                    if (e.Reason() != ErrorReason::ValueOutOfRange && e.Reason() != ErrorReason::DamagedData)
                        throw;
                    damaged = damaged || e.Reason() == ErrorReason::DamagedData;
                    err << kErrorPrefix << "record " << record << ", field "
                        << EscapeControls(fields.Item(i).Name(), false)
                        << ": printed empty: " << EscapeControls(e.Description(), false) << "\n";
                }
            }
            line += '\n';
            WriteChecked(out, line);
            rs.MoveNext();
        }
        rs.Close();
        connection.Close();
        FlushChecked(out);
        return damaged ? 1 : 0;
    });
}

int QueriesCommand(const Args& args, std::ostream& out, std::ostream& err) {
    return Guarded(err, [&] {
        const Options o = ParseOptions(args, kQueriesOptions);
        if (o.help) {
            WriteChecked(out, "tabvert-cli queries DB [--password P]\n");
            FlushChecked(out);
            return 0;
        }
        if (o.positional.size() != 1) throw std::invalid_argument("queries needs exactly one database path");
        const bool terminal = IsTerminal(out);
        ado::Connection connection = OpenDatabase(o);
        int status = 0;
        for (const ado::StoredQuery& q : connection.StoredQueries()) {
            WriteChecked(out, EscapeCell(q.name, terminal) + '\t' + ado::QueryKindName(q.kind) + '\n');
            try {
                // The SQL keeps its line breaks; on a terminal nothing else of it acts as a control.
                const std::string sql = ado::QuerySql(q);
                WriteChecked(out, (terminal ? EscapeControls(sql, true) : sql) + "\n\n");
            } catch (const ado::ProviderError& e) {
                WriteChecked(out, "\n");
                err << kErrorPrefix << EscapeControls(q.name, false) << ": "
                    << EscapeControls(e.Description(), false) << "\n";
                status = 1;
            }
        }
        connection.Close();
        FlushChecked(out);
        return status;
    });
}

}  // namespace tabvert::cli
