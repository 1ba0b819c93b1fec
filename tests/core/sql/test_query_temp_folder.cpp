// A query whose sort does not fit in memory needs SQLite's temporary folder; when that folder is full,
// the message names it.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <optional>
#include <string>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "fixtures/access_writer.h"
#include "fixtures/stored_queries.h"
#include "support/full_folder.h"

namespace tabvert::ado {
namespace {

TEST(QueryTemporaryFolder, AFullOneIsNamed) {
    // 40,000 rows of half a kilobyte to sort: far more than SQLite keeps in memory.
    fixtures::Table many;
    many.name = "Many";
    many.columns = {{"N", fixtures::ColumnType::Long}};
    for (int i = 0; i < 200; ++i) many.rows.push_back({std::int64_t{i}});
    fixtures::Database db;
    db.tables = {many};
    const std::string key = "a.N & '-' & b.N & String(500, 'x')";
    db.queries.push_back(fixtures::QueryBuilder("Sorted")
                             .Table("Many", "a")
                             .Table("Many", "b")
                             .Column(key, "K")
                             .OrderBy(key)
                             .Build());
    QTemporaryDir files;
    const std::string path = files.filePath("sorts.mdb").toStdString();
    fixtures::WriteDatabase(db, path);
    const std::string connection = database::BuildConnectionString(path, 0, "");

    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const std::optional<std::string> said = test::InFullFolder(folder, [&] {
        setenv("TMPDIR", folder.c_str(), 1);
        unsetenv("SQLITE_TMPDIR");
        std::string message = "no error";
        try {
            Connection c;
            c.Open(connection);
            Recordset rs;
            rs.Open("select * from [Sorted]", c);
        } catch (const ProviderError& e) {
            message = e.Description();
        }
        return message;
    });
    if (!said) GTEST_SKIP() << "a file system cannot be mounted here";
    EXPECT_NE(said->find("The temporary folder " + folder + " is full"), std::string::npos) << *said;
}

}  // namespace
}  // namespace tabvert::ado
