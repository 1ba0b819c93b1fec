// Saving over what the user had: permissions and owner kept, links followed, read-only refused, and
// nothing visible while writing or after the process is killed.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <set>

#include "core/workbook/excel.h"
#include "core/workbook/safe_save.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;

void Put(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Saves `text` as the new file at `path`.
void SaveText(const fs::path& path, const std::string& text) {
    SaveAtomically(path.string(), [&](const std::string& temp) { Put(temp, text); });
}

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

std::string SaveError(const fs::path& path) {
    try {
        SaveText(path, "new");
    } catch (const ExcelError& e) {
        return e.Description();
    }
    return "";
}

TEST(SafeSave, KeepsPermissionsAndOwnerAndFollowsLinks) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const mode_t mask = umask(022);
    umask(mask);

    SaveText(root / "fresh.xls", "one");
    EXPECT_EQ(fs::status(root / "fresh.xls").permissions() & fs::perms::all,
              static_cast<fs::perms>(0666 & ~mask));

    Put(root / "shared.xls", "old");
    chmod((root / "shared.xls").c_str(), 0640);
    const bool root_user = geteuid() == 0;
    if (root_user) {
        ASSERT_EQ(chown((root / "shared.xls").c_str(), 4321, 4321), 0);
    }
    SaveText(root / "shared.xls", "new");
    struct stat st {};
    ASSERT_EQ(stat((root / "shared.xls").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_TRUE(!root_user || (st.st_uid == 4321u && st.st_gid == 4321u)) << st.st_uid << ":" << st.st_gid;
    EXPECT_EQ(Slurp(root / "shared.xls"), "new");

    // A link (relative, through a second link) is kept, and the file it leads to replaced.
    fs::create_directory(root / "real");
    Put(root / "real" / "book.xlsx", "old");
    fs::create_symlink("real/book.xlsx", root / "hop");
    fs::create_symlink("hop", root / "link.xlsx");
    SaveText(root / "link.xlsx", "through the link");
    EXPECT_TRUE(fs::is_symlink(root / "link.xlsx"));
    EXPECT_TRUE(fs::is_symlink(root / "hop"));
    EXPECT_EQ(Slurp(root / "real" / "book.xlsx"), "through the link");
    // A dangling link: the file is made where it points.
    fs::create_symlink("real/later.xls", root / "dangling.xls");
    SaveText(root / "dangling.xls", "made");
    EXPECT_EQ(Slurp(root / "real" / "later.xls"), "made");
    EXPECT_EQ(Entries(root / "real"), (std::set<std::string>{"book.xlsx", "later.xls"}));
}

TEST(SafeSave, RefusesReadOnlyFilesFoldersAndOtherKindsBeforeWriting) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    Put(root / "locked.xls", "keep me");
    chmod((root / "locked.xls").c_str(), 0444);
    fs::create_directory(root / "folder.xls");
    ASSERT_EQ(mkfifo((root / "pipe.xls").c_str(), 0644), 0);
    fs::create_symlink("locked.xls", root / "to-locked.xls");
    const std::set<std::string> before = Entries(root);

    const std::pair<const char*, const char*> cases[] = {
        {"locked.xls", "read-only"},        {"to-locked.xls", "read-only"},       {"folder.xls", "folder"},
        {"pipe.xls", "not a regular file"}, {"missing/book.xls", "No such file"},
    };
    for (const auto& [name, why] : cases) {
        const std::string message = SaveError(root / name);
        EXPECT_NE(message.find(why), std::string::npos) << name << ": " << message;
        EXPECT_NE(message.find(name), std::string::npos) << message;
    }
    EXPECT_EQ(Slurp(root / "locked.xls"), "keep me");
    EXPECT_EQ(Entries(root), before);
}

TEST(SafeSave, NothingVisibleWhileWritingNorAfterAFailureOrAKill) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    Put(root / "book.xlsx", "previous");

    // The writer may open its file by name more than once; the folder shows nothing new meanwhile.
    SaveAtomically((root / "book.xlsx").string(), [&](const std::string& temp) {
        Put(temp, "first attempt, longer than the second");
        Put(temp, "second");
        EXPECT_EQ(Entries(root), std::set<std::string>{"book.xlsx"});
        EXPECT_EQ(Slurp(root / "book.xlsx"), "previous");
    });
    EXPECT_EQ(Slurp(root / "book.xlsx"), "second");

    EXPECT_THROW(SaveAtomically((root / "book.xlsx").string(),
                                [](const std::string& temp) {
                                    Put(temp, "half");
                                    throw ExcelError(ErrorReason::SaveFailed, "disk full");
                                }),
                 ExcelError);
    EXPECT_EQ(Slurp(root / "book.xlsx"), "second");

    // A process killed in the middle of writing, over an existing file and to a new name.
    for (const char* name : {"book.xlsx", "new.xls"}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveAtomically((root / name).string(), [](const std::string& temp) {
                Put(temp, std::string(100000, 'x'));
                raise(SIGKILL);
            });
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_EQ(Entries(root), std::set<std::string>{"book.xlsx"}) << name;
        EXPECT_EQ(Slurp(root / "book.xlsx"), "second");
    }
}

}  // namespace
}  // namespace tabvert::excel
