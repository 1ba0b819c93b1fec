// A query whose sort does not fit in memory needs SQLite's temporary folder; when that folder is full,
// the message names it.

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <string>

#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "fixtures/access_writer.h"
#include "fixtures/stored_queries.h"

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
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        // A 64 KiB file system on the folder, seen by this child alone.
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
            _exit(77);
        setenv("TMPDIR", folder.c_str(), 1);
        unsetenv("SQLITE_TMPDIR");
        std::string said = "no error";
        try {
            Connection c;
            c.Open(connection);
            Recordset rs;
            rs.Open("select * from [Sorted]", c);
        } catch (const ProviderError& e) {
            said = e.Description();
        }
        [[maybe_unused]] const ssize_t ignored = write(pipeFds[1], said.data(), said.size());
        _exit(0);
    }
    close(pipeFds[1]);
    std::string said;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) said.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "a file system cannot be mounted here";
    EXPECT_NE(said.find("The temporary folder " + folder + " is full"), std::string::npos) << said;
}

}  // namespace
}  // namespace tabvert::ado
