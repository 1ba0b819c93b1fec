// tabvert-fuzz-seeds OUT [SAMPLES]: the seed corpora of the fuzz targets, one folder per target under
// OUT, made from the fixture writer's small databases and the small databases in SAMPLES (read where
// they lie, never copied into the source tree): whole files, their first pages, the property blocks of
// their catalogues and their text values in the stored forms.

#include <QString>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/access/database.h"
#include "core/access/stored_query.h"
#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/provider/select_text.h"
#include "core/value/value_text.h"
#include "fixtures/fixture_set.h"

namespace {

namespace fs = std::filesystem;
using namespace tabvert;

constexpr std::uintmax_t kLargestSeed = 512 * 1024;

void Put(const fs::path& folder, const std::string& bytes) {
    char name[32];
    std::snprintf(name, sizeof name, "%016zx", std::hash<std::string>{}(bytes));
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Text as Jet 4 stores it: UTF-16LE, and the compressed form when every character fits in a byte.
void PutText(const fs::path& folder, const std::string& utf8) {
    const QString text = QString::fromUtf8(utf8);
    std::string utf16 = "\x03", compressed = "\x03\xFF\xFE";
    bool latin1 = true;
    for (QChar c : text) {
        utf16 += static_cast<char>(c.unicode() & 0xFF);
        utf16 += static_cast<char>(c.unicode() >> 8);
        latin1 = latin1 && c.unicode() > 0 && c.unicode() < 0x100;
        compressed += static_cast<char>(c.unicode() & 0xFF);
    }
    Put(folder, utf16);
    if (latin1) Put(folder, compressed);
}

// Query texts that reach every corner of the grammar, beside the stored queries of the databases.
const char* const kQueries[] = {
    "SELECT DISTINCT TOP 5 PERCENT a.*, [b].[c] AS d FROM T AS a INNER JOIN (U LEFT JOIN V ON U.x = V.x) "
    "ON a.I = U.I WHERE a.T Like \"a*[!0-9]#?\" AND NOT a.B OR a.L Between 1 And 2 ORDER BY 1 DESC;",
    "SELECT I \\ 2, L Mod 3, D ^ -2, -C, C * 2 + I - L, T & 1 & Null, IIf(B, IIf(I > 1, 1, 2), \"x\") FROM T",
    "SELECT Count(*), Sum(C), Avg(D), First(T) FROM T GROUP BY W HAVING Count(*) > 1",
    "TRANSFORM Sum(L) AS s SELECT T FROM T GROUP BY T PIVOT Format(W, \"yyyy\") In (\"2020\", \"2021\")",
    "SELECT T FROM T UNION ALL SELECT T FROM U UNION SELECT \"x\" FROM V ORDER BY 1",
    "PARAMETERS [p] Long; SELECT * FROM T WHERE L = [p]",
    "SELECT * FROM T WHERE L In (SELECT L FROM U) AND EXISTS (SELECT 1 FROM V) AND W > #1/2/2023 10:00#",
    "SELECT (SELECT Max(L) FROM U), Nz(T, \"\"), DateAdd(\"m\", 1, W), Left(T, 2) FROM T IN ''",
};

void Harvest(const fs::path& db, const fs::path& out) {
    const std::string bytes = Slurp(db);
    try {
        const auto database = ado::Database::Open(db.string(), false, "");
        for (const ado::StoredQuery& q : database->StoredQueries()) Put(out / "query", ado::QuerySql(q));
    } catch (const ado::ProviderError&) {
    }
    Put(out / "open", bytes);
    Put(out / "header", bytes.substr(0, 8192));
    const bool jet3 = bytes.size() > 0x14 && bytes[0x14] == 0;
    try {
        ado::Connection connection;
        connection.Open(database::BuildConnectionString(db.string(), 0, ""));
        std::vector<std::string> tables;
        const text::Locale locale = text::Locale::EnUS();
        for (auto schema = connection.OpenSchema(ado::kSchemaTables); !schema->Eof(); schema->MoveNext())
            tables.push_back(text::ValueToText(schema->GetFields().Item("TABLE_NAME").Value(), locale));
        for (const std::string& table : tables) {
            ado::Recordset rows;
            try {
                rows.Open("select top 100 * from " + ado::BracketedName(table), connection);
            } catch (const ado::ProviderError&) {
                continue;
            }
            for (; !rows.Eof(); rows.MoveNext()) {
                for (long i = 0; i < rows.GetFields().Count(); ++i) {
                    const ado::Variant& value = rows.GetFields().Item(i).Value();
                    if (value.type() == ado::Variant::Type::Text && !value.text().empty())
                        PutText(out / "text", value.text());
                    if (table == "MSysObjects" && rows.GetFields().Item(i).Name() == "LvProp" &&
                        value.type() == ado::Variant::Type::Binary)
                        Put(out / "properties", std::string(jet3 ? "\x01" : "\x00", 1) +
                                                    std::string(value.Bytes().begin(), value.Bytes().end()));
                }
            }
        }
    } catch (const ado::ProviderError& e) {
        std::fprintf(stderr, "%s: %s (whole file kept as a seed)\n", db.c_str(), e.Description().c_str());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: tabvert-fuzz-seeds OUT [SAMPLES]\n");
        return 2;
    }
    const fs::path out = argv[1];
    for (const char* target : {"open", "header", "properties", "text", "query"})
        fs::create_directories(out / target);
    for (const char* query : kQueries) Put(out / "query", query);
    const fs::path written = out / "databases";
    fs::create_directories(written);
    std::vector<fs::path> databases;
    for (const auto& fixture : fixtures::FixtureList()) {
        const fs::path path = fixtures::WriteFixtureInto(fixture.name, written);
        if (fs::file_size(path) <= kLargestSeed) databases.push_back(path);
    }
    if (argc == 3 && fs::is_directory(argv[2])) {
        for (const auto& entry : fs::directory_iterator(argv[2])) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".mdb" || ext == ".accdb" || ext == ".mde") &&
                entry.file_size() <= kLargestSeed)
                databases.push_back(entry.path());
        }
    }
    for (const fs::path& db : databases) Harvest(db, out);
    fs::remove_all(written);
    std::printf("seeds from %zu databases in %s\n", databases.size(), out.c_str());
    return 0;
}
