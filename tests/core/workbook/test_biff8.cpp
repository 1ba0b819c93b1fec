// BIFF8 records whose bytes the format fixes, and how the shared string table splits long strings.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "core/workbook/xls/biff8.h"

namespace tabvert::excel::biff8 {
namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

TEST(Biff8Records, CellAndSheetRecordsHaveTheirFixedLayout) {
    EXPECT_EQ(LabelSst(1, 2, 15, 7), Bytes({0xFD, 0, 10, 0, 1, 0, 2, 0, 15, 0, 7, 0, 0, 0}));
    EXPECT_EQ(Number(0, 255, 16, 1.5),
              Bytes({0x03, 0x02, 14, 0, 0, 0, 255, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
    EXPECT_EQ(Blank(65535, 3, 17), Bytes({0x01, 0x02, 6, 0, 0xFF, 0xFF, 3, 0, 17, 0}));
    EXPECT_EQ(BoundSheet(0x12345678, "Ab"),
              Bytes({0x85, 0, 10, 0, 0x78, 0x56, 0x34, 0x12, 0, 0, 2, 0, 'A', 'b'}));
    // A name outside ISO 8859-1 is stored as UTF-16LE, flagged in the option byte.
    EXPECT_EQ(BoundSheet(0, "Ω"), Bytes({0x85, 0, 10, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0xA9, 0x03}));
    EXPECT_EQ(Dimensions(1, 10, 0, 26),
              Bytes({0x00, 0x02, 14, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0, 26, 0, 0, 0}));
    EXPECT_EQ(Eof(), Bytes({0x0A, 0, 0, 0}));
    // Font index 4 does not exist: the fifth FONT record is font 5.
    EXPECT_EQ(FontIndex(3), 3);
    EXPECT_EQ(FontIndex(4), 5);
    EXPECT_EQ(FontIndex(6), 7);
}

struct RecordView {
    uint16_t type;
    std::string body;
};

std::vector<RecordView> SplitRecords(const std::string& bytes) {
    std::vector<RecordView> out;
    size_t pos = 0;
    while (pos + 4 <= bytes.size()) {
        const auto type = static_cast<uint16_t>(static_cast<uint8_t>(bytes[pos]) |
                                                static_cast<uint8_t>(bytes[pos + 1]) << 8);
        const size_t length = static_cast<uint8_t>(bytes[pos + 2]) | static_cast<uint8_t>(bytes[pos + 3])
                                                                         << 8;
        out.push_back({type, bytes.substr(pos + 4, length)});
        pos += 4 + length;
    }
    EXPECT_EQ(pos, bytes.size());
    return out;
}

TEST(SharedStrings, LongStringsGoOnInContinueRecordsWithTheirOptionByte) {
    QTemporaryDir dir;
    SstWriter sst(TempFile::Create(dir.path().toStdString()));
    EXPECT_EQ(sst.Add(std::string(8300, 'a')), 0u);  // 8 + 3 + 8213 fill the SST record exactly
    std::string wide;
    for (int i = 0; i < 5000; ++i) wide += "Ж";
    EXPECT_EQ(sst.Add(wide), 1u);
    EXPECT_EQ(sst.Add(std::string(8300, 'a')), 0u);  // repeated: the same entry
    const uint64_t size = sst.Finish();
    std::string bytes(size, '\0');
    ASSERT_EQ(sst.File().ReadAt(0, bytes.data(), bytes.size()), size);

    const auto records = SplitRecords(bytes);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].type, record::kSst);
    EXPECT_EQ(records[0].body.size(), kMaxRecordBody);
    EXPECT_EQ(records[0].body.substr(0, 8), Bytes({3, 0, 0, 0, 2, 0, 0, 0}));  // total 3, unique 2

    // The rest of the first string (87 characters), then the wide string's header and as many
    // whole characters as fit: a character is never split, so one byte stays unused.
    EXPECT_EQ(records[1].type, record::kContinue);
    EXPECT_EQ(records[1].body[0], 0);                                  // 8-bit characters go on
    EXPECT_EQ(records[1].body.substr(88, 3), Bytes({0x88, 0x13, 1}));  // 5000 UTF-16 characters
    EXPECT_EQ(records[1].body.size(), 8223u);
    const size_t inSecond = (8223 - 91) / 2;
    EXPECT_EQ(records[2].type, record::kContinue);
    EXPECT_EQ(records[2].body[0], 1);  // UTF-16 characters go on
    EXPECT_EQ(records[2].body.size(), 1 + (5000 - inSecond) * 2);
    EXPECT_EQ(records[2].body.substr(1, 2), Bytes({0x16, 0x04}));  // "Ж"

    // One bucket: the first string, 12 bytes into the SST record placed at stream offset 1000.
    EXPECT_EQ(sst.ExtSst(1000), Bytes({0xFF, 0, 10, 0, 8, 0, 0xF4, 0x03, 0, 0, 12, 0, 0, 0}));
}

}  // namespace
}  // namespace tabvert::excel::biff8
