// Saving over what the user had: permissions and owner kept, links followed, read-only refused, and
// nothing visible while writing or after the process is killed.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <optional>
#include <set>
#include <vector>

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

// Saves through a hidden file beside the target, as on a file system without unnamed files, while it lives.
class NamedTemporaryFiles {
  public:
    NamedTemporaryFiles() { detail::UseNamedTemporaryFiles(true); }
    ~NamedTemporaryFiles() { detail::UseNamedTemporaryFiles(false); }
};

mode_t Mode(const fs::path& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 07777;
}

// The one entry of `folder` that is not in `known`.
fs::path NewEntry(const fs::path& folder, const std::set<std::string>& known) {
    std::vector<fs::path> found;
    for (const auto& e : fs::directory_iterator(folder))
        if (!known.contains(e.path().filename().string())) found.push_back(e.path());
    return found.size() == 1 ? found.front() : fs::path();
}

bool WholeUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toUtf8().toStdString() == s;
}

TEST(SafeSave, NamesAtTheFolderLimitAreWrittenAndReplacedEitherWay) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    std::string wide;
    for (int i = 0; i < 125; ++i) wide += "\u00e9";  // 250 bytes
    const std::string names[] = {std::string(240, 'a') + ".xlsx", std::string(251, 'b') + ".xls",
                                 wide + ".xls"};
    for (const bool named : {false, true}) {
        std::optional<NamedTemporaryFiles> hidden;
        if (named) hidden.emplace();
        for (const std::string& name : names) {
            const fs::path target = root / name;
            for (int round = 0; round < 3; ++round) {
                const std::set<std::string> before = Entries(root);
                SaveAtomically(target.string(), [&](const std::string& temp) {
                    Put(temp, name + std::to_string(round));
                    if (!named) return;
                    const std::string hiddenName = NewEntry(root, before).filename().string();
                    EXPECT_LE(hiddenName.size(), 255u);
                    EXPECT_EQ(hiddenName.rfind(".~" + name.substr(0, 16), 0), 0u) << hiddenName;
                    EXPECT_TRUE(WholeUtf8(hiddenName)) << hiddenName;
                });
                EXPECT_EQ(Slurp(target), name + std::to_string(round)) << named << " " << name;
            }
        }
        EXPECT_EQ(Entries(root).size(), std::size(names));
        for (const auto& e : fs::directory_iterator(root)) fs::remove(e.path());
    }
}

TEST(SafeSave, AHiddenFileIsPrivateFromTheStartAndRemovedOnAStop) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const NamedTemporaryFiles hidden;
    const mode_t mask = umask(022);
    umask(mask);

    // A new workbook: the owner's alone while it is written, the usual mode once in place.
    mode_t whileWriting = 0;
    SaveAtomically((root / "new.xlsx").string(), [&](const std::string& temp) {
        Put(temp, "new");
        whileWriting = Mode(temp);
    });
    EXPECT_EQ(whileWriting, 0600u);
    EXPECT_EQ(Mode(root / "new.xlsx"), 0666 & ~mask);
    // A workbook being replaced: its own mode from the start.
    chmod((root / "new.xlsx").c_str(), 0640);
    SaveAtomically((root / "new.xlsx").string(), [&](const std::string& temp) {
        Put(temp, "again");
        whileWriting = Mode(temp);
    });
    EXPECT_EQ(whileWriting, 0640 & ~mask);
    EXPECT_EQ(Mode(root / "new.xlsx"), 0640u);

    // A stop while writing removes the hidden file, and a handler can tell whether a save got in place;
    // a stop after a save counts it.
    for (const bool afterSave : {false, true}) {
        int pipeFds[2];
        ASSERT_EQ(pipe(pipeFds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            static int reportFd = pipeFds[1];
            static unsigned before = SavesCommitted();
            signal(SIGTERM, [](int) {
                RemovePendingSaveFiles();
                const char saved = SavesCommitted() != before ? 'y' : 'n';
                [[maybe_unused]] const ssize_t ignored = write(reportFd, &saved, 1);
                _exit(3);
            });
            SaveAtomically((root / "new.xlsx").string(), [&](const std::string& temp) {
                Put(temp, std::string(100000, 'x'));
                if (!afterSave) raise(SIGTERM);
            });
            raise(SIGTERM);
            _exit(0);
        }
        close(pipeFds[1]);
        char saved = '?';
        EXPECT_EQ(read(pipeFds[0], &saved, 1), 1);
        close(pipeFds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
        EXPECT_EQ(saved, afterSave ? 'y' : 'n');
        EXPECT_EQ(Entries(root), std::set<std::string>{"new.xlsx"});
        EXPECT_EQ(Slurp(root / "new.xlsx"), afterSave ? std::string(100000, 'x') : "again");
    }
}

}  // namespace
}  // namespace tabvert::excel
