// The temporary files of the workbook engine: read back by position exactly as written, enciphered on
// disk with a key of their own, and a full temporary folder named in the message.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <optional>
#include <string>

#include "core/workbook/excel.h"
#include "core/workbook/spool.h"
#include "support/full_folder.h"
#include "workbook_test_util.h"

namespace tabvert::excel {
namespace {

namespace fs = std::filesystem;

const std::string kSecret = "Wayne, Bruce";

// About 200 KB of text where the secret comes back again and again, so a plain copy would show it.
std::string Payload() {
    std::string text;
    for (int i = 0; text.size() < 200'000; ++i) text += kSecret + " " + std::to_string(i) + "; ";
    return text;
}

std::string Stored(const TempFile& file, uint64_t size) {
    std::string bytes(size, '\0');
    bytes.resize(file.ReadStoredAt(0, bytes.data(), bytes.size()));
    return bytes;
}

// The contents of the files this process holds open in `folder`, named or not.
std::vector<std::string> OpenFilesIn(const fs::path& folder) {
    std::vector<std::string> contents;
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const fs::path target = fs::read_symlink(fd.path(), ec);
        if (ec || target.parent_path() != folder) continue;
        contents.push_back(testing::Slurp(fd.path()));
    }
    return contents;
}

TEST(TempFile, ReadsBackAnyStretchAndKeepsNoPlainTextOnDisk) {
    QTemporaryDir dir;
    const std::string text = Payload();
    TempFile first = TempFile::Create(dir.path().toStdString());
    TempFile second = TempFile::Create(dir.path().toStdString());
    // Unaligned, across the cipher's chunks, and in two writes.
    for (TempFile* file : {&first, &second}) {
        file->WriteAt(7, text.data(), 100'003);
        file->WriteAt(7 + 100'003, text.data() + 100'003, text.size() - 100'003);
    }
    const std::pair<uint64_t, size_t> stretches[] = {{0, text.size()}, {1, 15},       {16, 16},
                                                     {65'530, 70'000}, {131'079, 33}, {text.size() - 5, 5}};
    for (const auto& [from, size] : stretches) {
        std::string back(size, '\0');
        ASSERT_EQ(first.ReadAt(7 + from, back.data(), size), size);
        EXPECT_EQ(back, text.substr(from, size)) << "from " << from;
    }
    std::string beyond(10, '\0');
    EXPECT_EQ(first.ReadAt(7 + text.size() - 4, beyond.data(), beyond.size()), 4u);
    EXPECT_EQ(beyond.substr(0, 4), text.substr(text.size() - 4));

    const std::string stored = Stored(first, 7 + text.size());
    ASSERT_EQ(stored.size(), 7 + text.size());
    EXPECT_EQ(stored.find(kSecret), std::string::npos);
    // Each file has a key of its own: the same text lies differently in the other one.
    EXPECT_NE(stored, Stored(second, 7 + text.size()));
}

TEST(CellSpool, CellsInATemporaryFolderAreNeverThereInPlainText) {
    QTemporaryDir spoolDir;
    QTemporaryDir outDir;
    const fs::path folder = spoolDir.path().toStdString();
    auto excel = testing::StartExcel(spoolDir);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.ActiveSheet();
    // Rows out of order make the spool merge its runs, which writes the cells a second time.
    for (long row = 20'000; row >= 1; --row) sheet.Cells(row, 1).SetValue(kSecret + std::to_string(row));

    const std::vector<std::string> files = OpenFilesIn(folder);
    ASSERT_FALSE(files.empty());
    std::size_t bytes = 0;
    for (const std::string& contents : files) {
        bytes += contents.size();
        EXPECT_EQ(contents.find(kSecret), std::string::npos);
    }
    EXPECT_GT(bytes, 20'000 * kSecret.size());

    // The .xls writer's own temporary files (strings, cells) are read back as they were written.
    const fs::path target = fs::path(outDir.path().toStdString()) / "book.xls";
    book.SaveAs(target.string(), kExcel8);
    const std::string written = testing::Slurp(target);
    EXPECT_NE(written.find(kSecret + "1"), std::string::npos);
    EXPECT_NE(written.find(kSecret + "20000"), std::string::npos);
}

TEST(TempFile, AFullTemporaryFolderIsNamed) {
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const std::optional<std::string> said = test::InFullFolder(folder, [&] {
        try {
            auto excel = testing::StartExcel(dir);
            Worksheet& sheet = excel->GetWorkbooks().Add().ActiveSheet();
            const std::string value = Payload().substr(0, 40);
            for (long row = 1; row <= 200'000; ++row) sheet.Cells(row, 1).SetValue(value);
        } catch (const ExcelError& e) {
            return e.Description();
        }
        return std::string("no error");
    });
    if (!said) GTEST_SKIP() << "a file system cannot be mounted here";
    EXPECT_NE(said->find("temporary folder " + folder.string() + " is full"), std::string::npos) << *said;
}

}  // namespace
}  // namespace tabvert::excel
