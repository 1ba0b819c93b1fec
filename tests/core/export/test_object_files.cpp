// OLE objects and attachments as files: what is unwrapped from the stored bytes, the type told by the
// content, the names made safe and the files created without overwriting anything; and the export run
// that writes them, its workbook read back with openpyxl and xlrd and its files checked with file(1).

#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/export/export_run.h"
#include "core/export/object_files.h"
#include "core/provider/ado.h"
#include "support/export_test_support.h"
#include "support/paths.h"
#include "support/workbook_reader.h"

namespace tabvert::exporting {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes Of(std::string_view text) { return Bytes(text.begin(), text.end()); }

void Put(Bytes& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
void PutZ(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}
void PutCounted(Bytes& out, std::string_view text) {
    Put(out, static_cast<std::uint32_t>(text.size() + 1), 4);
    PutZ(out, text);
}

// The OLE1 object of `className` with `native` as its native data, behind the header Access writes
// (signature, header size, object type, name lengths and offsets, the names), with the presentation
// data Access puts after it.
Bytes AccessOleObject(std::string_view className, const Bytes& native) {
    const std::string shown = "Shown Name";
    Bytes header;
    Put(header, 0x1C15, 2);
    const std::size_t headerSize = 20 + shown.size() + 1 + className.size() + 1;
    Put(header, static_cast<std::uint32_t>(headerSize), 2);
    Put(header, 2, 4);
    Put(header, static_cast<std::uint32_t>(shown.size() + 1), 2);
    Put(header, static_cast<std::uint32_t>(className.size() + 1), 2);
    Put(header, 20, 2);
    Put(header, static_cast<std::uint32_t>(20 + shown.size() + 1), 2);
    Put(header, 0xFFFFFFFF, 4);
    PutZ(header, shown);
    PutZ(header, className);
    Put(header, 0x0501, 4);
    Put(header, 2, 4);
    PutCounted(header, className);
    Put(header, 0, 4);  // topic
    Put(header, 0, 4);  // item
    Put(header, static_cast<std::uint32_t>(native.size()), 4);
    header.insert(header.end(), native.begin(), native.end());
    Put(header, 0x0501, 4);  // presentation data follows; never part of the file
    Put(header, 5, 4);
    return header;
}

// The native data of the "Package" class holding the file `name`.
Bytes PackageNative(std::string_view name, const Bytes& file) {
    Bytes out;
    Put(out, 2, 2);
    PutZ(out, name);
    PutZ(out, std::string("C:\\docs\\") + std::string(name));
    Put(out, 0, 2);
    Put(out, 3, 2);
    PutCounted(out, std::string("C:\\Temp\\") + std::string(name));
    Put(out, static_cast<std::uint32_t>(file.size()), 4);
    out.insert(out.end(), file.begin(), file.end());
    return out;
}

// A 24-bit bitmap file of width x height pixels, rows padded to four bytes.
Bytes Bitmap(std::uint32_t width, std::uint32_t height) {
    const std::uint32_t rowSize = (width * 3 + 3) / 4 * 4;
    Bytes bmp = Of("BM");
    Put(bmp, 54 + rowSize * height, 4);
    Put(bmp, 0, 4);
    Put(bmp, 54, 4);
    Put(bmp, 40, 4);
    Put(bmp, width, 4);
    Put(bmp, height, 4);
    Put(bmp, 1, 2);
    Put(bmp, 24, 2);
    for (int i = 0; i < 6; ++i) Put(bmp, 0, 4);
    for (std::uint32_t i = 0; i < rowSize * height; ++i) bmp.push_back(static_cast<std::uint8_t>(i * 7));
    return bmp;
}
Bytes TinyBitmap() { return Bitmap(1, 1); }

// A PNG signature and header chunk of a width x height RGB picture (enough for file(1)).
Bytes PngHead(std::uint32_t width, std::uint32_t height) {
    Bytes png = Of("\x89PNG\r\n\x1A\n");
    const auto big = [&](std::uint32_t v) {
        for (int i = 3; i >= 0; --i) png.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    big(13);
    png.insert(png.end(), {'I', 'H', 'D', 'R'});
    big(width);
    big(height);
    png.insert(png.end(), {8, 2, 0, 0, 0});
    big(0);
    return png;
}

std::string Unwrapped(const ObjectContent& c) { return std::string(c.bytes.begin(), c.bytes.end()); }

TEST(UnwrapOleObject, TakesOffTheAccessAndOle1HeadersAndNamesTheType) {
    const Bytes bmp = TinyBitmap();
    const Bytes paint = AccessOleObject("Paint.Picture", bmp);
    const ObjectContent picture = UnwrapOleObject(paint);
    EXPECT_EQ(picture.className, "Paint.Picture");
    EXPECT_EQ(picture.extension, "bmp");
    EXPECT_EQ(Bytes(picture.bytes.begin(), picture.bytes.end()), bmp);

    // A Word or Excel document is a compound file; only the class tells which.
    const Bytes compound = Of("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 rest of the document");
    EXPECT_EQ(UnwrapOleObject(AccessOleObject("Word.Document.8", compound)).extension, "doc");
    EXPECT_EQ(UnwrapOleObject(AccessOleObject("Excel.Sheet.8", compound)).extension, "xls");
    EXPECT_EQ(UnwrapOleObject(AccessOleObject("Excel.Sheet.12", Of("PK\3\4zip"))).extension, "xlsx");
    EXPECT_EQ(UnwrapOleObject(AccessOleObject("Some.Thing", compound)).extension, "bin");

    // The packager's file comes out of its wrapping; its content decides, then its own name.
    const Bytes pdf = Of("%PDF-1.4 body");
    const ObjectContent packaged = UnwrapOleObject(AccessOleObject("Package", PackageNative("a.txt", pdf)));
    EXPECT_EQ(packaged.extension, "pdf");
    EXPECT_EQ(Unwrapped(packaged), "%PDF-1.4 body");
    const ObjectContent text =
        UnwrapOleObject(AccessOleObject("Package", PackageNative("notes.TXT", Of("hi"))));
    EXPECT_EQ(text.extension, "txt");
    EXPECT_EQ(Unwrapped(text), "hi");
}

// A compound file with one stream of the given name and content, written by libgsf.
Bytes CompoundFile(const char* streamName, const Bytes& content) {
    GsfOutput* memory = gsf_output_memory_new();
    GsfOutfile* folder = gsf_outfile_msole_new(memory);
    GsfOutput* stream = gsf_outfile_new_child(folder, streamName, FALSE);
    gsf_output_write(stream, content.size(), content.data());
    gsf_output_close(stream);
    gsf_output_close(GSF_OUTPUT(folder));
    gsf_output_close(memory);
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(memory));
    Bytes out(data, data + gsf_output_size(memory));
    g_object_unref(stream);
    g_object_unref(folder);
    g_object_unref(memory);
    return out;
}

TEST(UnwrapOleObject, TakesAnOffice2007DocumentOutOfItsCompoundFile) {
    const Bytes docx = Of("PK\3\4 the document's zip package");
    const ObjectContent word =
        UnwrapOleObject(AccessOleObject("Word.Document.12", CompoundFile("Package", docx)));
    EXPECT_EQ(word.extension, "docx");
    EXPECT_EQ(word.bytes, docx);
    EXPECT_EQ(UnwrapOleObject(AccessOleObject("Excel.Sheet.12", CompoundFile("Package", docx))).extension,
              "xlsx");
    // A compound file without that stream (a Word 97-2003 document) is the document itself.
    const Bytes doc = CompoundFile("WordDocument", Of("text"));
    const ObjectContent old = UnwrapOleObject(AccessOleObject("Word.Document.8", doc));
    EXPECT_EQ(old.extension, "doc");
    EXPECT_EQ(old.bytes, doc);
}

TEST(UnwrapOleObject, KeepsTheWholeValueWhenTheHeadersDoNotHold) {
    // Bytes stored without any OLE wrapping are the file itself.
    const Bytes jpeg = Of("\xFF\xD8\xFF\xE0 jfif");
    EXPECT_EQ(UnwrapOleObject(jpeg).extension, "jpg");
    EXPECT_EQ(UnwrapOleObject(jpeg).bytes.size(), jpeg.size());
    EXPECT_EQ(UnwrapOleObject(Of("\x89PNG\r\n\x1A\nIHDR")).extension, "png");
    EXPECT_EQ(UnwrapOleObject(Of("plain bytes")).extension, "bin");
    EXPECT_EQ(UnwrapOleObject({}).extension, "bin");

    // Every cut of a wrapped object: the lengths are checked, so nothing is read past the value, and
    // whatever cannot be unwrapped is kept whole.
    const Bytes whole = AccessOleObject("Package", PackageNative("x.pdf", Of("%PDF-1.7")));
    for (std::size_t size = 0; size < whole.size() - 8; ++size) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        const ObjectContent c = UnwrapOleObject(cut);
        ASSERT_LE(c.bytes.size(), cut.size()) << size;
        ASSERT_TRUE(c.bytes.empty() ||
                    std::search(cut.begin(), cut.end(), c.bytes.begin(), c.bytes.end()) != cut.end())
            << size;
    }
}

TEST(SafeFileNamePart, LeavesNoWayOutOfTheFolder) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"Photo", "Photo"},
        {"..", "__"},
        {".", "_"},
        {"../../etc/passwd", "___.._etc_passwd"},
        {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
        {std::string("tab\there\nnul") + '\0' + "x\x7f", "tab_here_nul_x_"},
        {".hidden", "_hidden"},
        {"ends with dots. . ", "ends with dots"},
        {"", "_"},
        {"   ", "_"},
        {"Mitarbeiterfoto ü", "Mitarbeiterfoto ü"},
    };
    for (const Case& c : cases) EXPECT_EQ(SafeFileNamePart(c.in), c.out) << c.in;
    // Bounded, and never cutting a character: 61 emoji are 122 units, cut to 30 whole ones.
    std::string emoji;
    for (int i = 0; i < 61; ++i) emoji += "\xF0\x9F\x98\x80";
    EXPECT_EQ(SafeFileNamePart(emoji).size(), 30u * 4u);
    EXPECT_EQ(SafeFileNamePart(std::string(200, 'x')).size(), kLongestFileNamePart);
}

std::string FileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ObjectFolder, CreatesFilesBesideTheWorkbookWithoutOverwriting) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    ObjectFolder folder(root / "files", root);
    const Bytes a = Of("first"), b = Of("second"), c = Of("third");
    EXPECT_EQ(folder.Write("Employees", "1-Photo", "bmp", a), "files/Employees/1-Photo.bmp");
    // The same name again, and a name that is the same once made safe: suffixes, nothing overwritten.
    EXPECT_EQ(folder.Write("Employees", "1-Photo", "bmp", b), "files/Employees/1-Photo (2).bmp");
    EXPECT_EQ(folder.Write("Employees", "1:Photo", "bmp", c), "files/Employees/1_Photo.bmp");
    EXPECT_EQ(FileText(root / "files/Employees/1-Photo.bmp"), "first");
    EXPECT_EQ(FileText(root / "files/Employees/1-Photo (2).bmp"), "second");
    // A table name cannot lead outside the folder.
    EXPECT_EQ(folder.Write("../..", "2-Doc", "pdf", a), "files/___/2-Doc.pdf");
    EXPECT_TRUE(fs::exists(root / "files/___/2-Doc.pdf"));

    // A folder given relative to another place than the workbook's: the path leads there from the
    // workbook's folder.
    ObjectFolder elsewhere(root / "out", root / "books" / "2024");
    EXPECT_EQ(elsewhere.Write("T", "1-F", "bin", a), "../../out/T/1-F.bin");

    // A file where the table's folder should be: the write fails and says so.
    std::ofstream(root / "blocked").put('x');
    ObjectFolder blocked(root / "blocked", root);
    EXPECT_THROW(blocked.Write("T", "1-F", "bin", a), std::runtime_error);
}

std::string FileSays(const fs::path& path) {
    std::string out;
    tabvert::test::RunCommand("file -b " + tabvert::test::ShellQuote(path.string()), &out);
    return out;
}

std::uint32_t Le32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(bytes.at(at + static_cast<std::size_t>(i)));
    return v;
}

// Every OLE object of a table becomes a file of the type it holds, in a folder named after the table,
// and its cell the file's path from the workbook's folder, in both formats; Nulls stay empty.
TEST(ObjectExport, ObjectsBecomeFilesTheirCellsName) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    fixtures::Table table;
    table.name = "Staff/Photos";
    table.columns = {{"ID", fixtures::ColumnType::Long},
                     {"Name", fixtures::ColumnType::Text, 40},
                     {"Photo", fixtures::ColumnType::Ole}};
    table.rows = {
        {std::int64_t{1}, std::string("Nancy"), AccessOleObject("Paint.Picture", Bitmap(3, 2))},
        {std::int64_t{2}, std::string("Andrew"), fixtures::Null{}},
        {std::int64_t{3}, std::string("Janet"),
         AccessOleObject("Package", PackageNative("cv.pdf", Of("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n")))},
        {std::int64_t{4}, std::string("Margaret"), PngHead(5, 4)},
    };
    fixtures::Database desc;
    desc.tables = {table};
    const std::string db = test::WriteDb(desc, root / "staff.mdb").string();

    for (const char* format : {"xlsx", "xls"}) {
        SCOPED_TRACE(format);
        const fs::path book = root / format / (std::string("staff.") + format);
        fs::create_directories(book.parent_path());
        test::RecordingObserver observer;
        NameDigitGenerator digits;
        ExportRequest request = test::Request(db, book.string());
        request.attachmentsFolder = (root / format / "objects").string();
        const ExportResult result = RunExport(request, observer, digits);
        ASSERT_EQ(result.outcome, ExportResult::Outcome::Completed) << result.message;

        const auto read = tabvert::test::ReadWorkbookFile(book);
        ASSERT_TRUE(read.has_value());
        const auto& sheet = read->sheets.at(0);
        const auto pathIn = [&](long row) -> std::string {
            const auto* cell = sheet.Find(row, 3);
            return cell && cell->type == "s" ? cell->text : "";
        };
        EXPECT_EQ(pathIn(2), "objects/Staff_Photos/1-Photo.bmp");
        EXPECT_EQ(pathIn(3), "");
        EXPECT_EQ(pathIn(4), "objects/Staff_Photos/3-Photo.pdf");
        EXPECT_EQ(pathIn(5), "objects/Staff_Photos/4-Photo.png");
        if (std::string(format) == "xlsx") {  // the cell opens its file; .xls keeps the text only
            std::string target;
            tabvert::test::RunCommand(
                std::string(tabvert::test::SystemPython()) + " -c " +
                    tabvert::test::ShellQuote("import sys, openpyxl\n"
                                              "c = openpyxl.load_workbook(sys.argv[1]).worksheets[0]['C2']\n"
                                              "print(c.hyperlink.target if c.hyperlink else '', end='')") +
                    " " + tabvert::test::ShellQuote(book.string()),
                &target);
            EXPECT_EQ(target, pathIn(2));
        }

        const fs::path folder = book.parent_path();
        const std::string bmp = FileText(folder / pathIn(2));
        ASSERT_GE(bmp.size(), 54u);
        EXPECT_EQ(Le32At(bmp, 2), bmp.size());  // the size its header gives
        EXPECT_EQ(Le32At(bmp, 18), 3u);
        EXPECT_EQ(Le32At(bmp, 22), 2u);
        EXPECT_NE(FileSays(folder / pathIn(2)).find("PC bitmap"), std::string::npos);
        EXPECT_NE(FileSays(folder / pathIn(2)).find("3 x 2"), std::string::npos);
        EXPECT_NE(FileSays(folder / pathIn(4)).find("PDF document"), std::string::npos);
        EXPECT_NE(FileSays(folder / pathIn(5)).find("PNG image data, 5 x 4"), std::string::npos);
        std::size_t files = 0;
        for (const auto& entry : fs::recursive_directory_iterator(folder / "objects"))
            files += entry.is_regular_file();
        EXPECT_EQ(files, 3u);
    }

    // A folder that cannot be made: the workbook is still written, the cells stay empty, and the closing
    // message counts the objects of the table.
    std::ofstream(root / "blocker").put('x');
    test::RecordingObserver observer;
    NameDigitGenerator digits;
    ExportRequest request = test::Request(db, (root / "blocked.xlsx").string());
    request.attachmentsFolder = (root / "blocker" / "objects").string();
    const ExportResult result = RunExport(request, observer, digits);
    EXPECT_EQ(result.outcome, ExportResult::Outcome::CompletedWithWarnings);
    ASSERT_EQ(result.problems.size(), 1u);
    EXPECT_EQ(result.problems[0].table, "Staff/Photos");
    EXPECT_EQ(result.problems[0].what.rfind(
                  "3 OLE objects could not be written as files and their cells are empty: ", 0),
              0u)
        << result.problems[0].what;
}

// The real samples' OLE objects: each file written is one file(1) knows, and each cell's path leads to
// its file.
TEST(ObjectExport, RealSampleObjects) {
    const fs::path samples = tabvert::test::SamplesDir();
    if (samples.empty()) GTEST_SKIP() << "no sample databases";
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    for (const char* name : {"test2V2003.mdb", "testAccess2.accdb"}) {
        SCOPED_TRACE(name);
        const fs::path book = root / (std::string(name) + ".xlsx");
        test::RecordingObserver observer;
        NameDigitGenerator digits;
        ExportRequest request = test::Request((samples / name).string(), book.string());
        request.attachmentsFolder = (root / (std::string(name) + "-files")).string();
        const ExportResult result = RunExport(request, observer, digits);
        ASSERT_NE(result.outcome, ExportResult::Outcome::NothingWritten) << result.message;
        const auto read = tabvert::test::ReadWorkbookFile(book);
        ASSERT_TRUE(read.has_value());
        std::size_t linked = 0;
        for (const auto& sheet : read->sheets)
            for (const auto& cell : sheet.cells)
                if (cell.type == "s" && cell.text.starts_with(std::string(name) + "-files/")) {
                    ++linked;
                    const fs::path file = root / cell.text;
                    ASSERT_TRUE(fs::is_regular_file(file)) << cell.text;
                    EXPECT_GT(fs::file_size(file), 0u);
                    const std::string says = FileSays(file);
                    EXPECT_FALSE(says.starts_with("data")) << cell.text << ": " << says;
                }
        EXPECT_GE(linked, 1u);
    }
}

// An attachment's FileData as Access stores it: the flag and the content's length, then the content
// (its header with the extension in UTF-16, then the file), deflated with zlib when `packed`.
Bytes FileData(std::string_view extension, const Bytes& file, bool packed) {
    Bytes content;
    const std::size_t headerSize = 8 + 2 * (extension.size() + 1);
    Put(content, static_cast<std::uint32_t>(headerSize), 4);
    Put(content, 1, 4);
    for (char c : extension) Put(content, static_cast<std::uint8_t>(c), 2);
    Put(content, 0, 2);
    content.insert(content.end(), file.begin(), file.end());
    Bytes out;
    Put(out, packed ? 1 : 0, 4);
    Put(out, static_cast<std::uint32_t>(content.size()), 4);
    if (!packed) {
        out.insert(out.end(), content.begin(), content.end());
        return out;
    }
    uLongf size = compressBound(static_cast<uLong>(content.size()));
    Bytes deflated(size);
    EXPECT_EQ(compress2(deflated.data(), &size, content.data(), static_cast<uLong>(content.size()), 9), Z_OK);
    out.insert(out.end(), deflated.begin(), deflated.begin() + static_cast<std::ptrdiff_t>(size));
    return out;
}

TEST(DecodeAttachment, TakesTheFileOutOfPlainAndDeflatedData) {
    const Bytes png = PngHead(7, 3);
    for (bool packed : {false, true}) {
        SCOPED_TRACE(packed ? "deflated" : "plain");
        const auto content = DecodeAttachment(FileData("PNG", png, packed));
        ASSERT_TRUE(content.has_value());
        EXPECT_EQ(content->bytes, png);
        EXPECT_EQ(content->extension, "png");
    }
    // Without an extension in its header the FileType decides, then the content, then "bin".
    const Bytes pdf = Of("%PDF-1.4\n");
    EXPECT_EQ(DecodeAttachment(FileData("", pdf, true), "Txt")->extension, "txt");
    EXPECT_EQ(DecodeAttachment(FileData("", pdf, true))->extension, "pdf");
    EXPECT_EQ(DecodeAttachment(FileData("", Of("plain words"), false))->extension, "bin");
    // An extension that is no plain one is not taken for one.
    EXPECT_EQ(DecodeAttachment(FileData("../x", pdf, false))->extension, "pdf");
    const auto empty = DecodeAttachment(FileData("txt", {}, true));
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->bytes.empty());
}

TEST(DecodeAttachment, RefusesDamagedData) {
    const Bytes good =
        FileData("jpg", Of("\xFF\xD8\xFF\xE0 some picture bytes, repeated to deflate well"), true);
    ASSERT_TRUE(DecodeAttachment(good).has_value());
    Bytes cut(good.begin(), good.end() - 6);  // the stream ends early
    EXPECT_FALSE(DecodeAttachment(cut).has_value());
    Bytes flipped = good;
    flipped[12] ^= 0xFF;  // inside the deflated stream
    EXPECT_FALSE(DecodeAttachment(flipped).has_value());
    Bytes unknownFlag = good;
    unknownFlag[0] = 7;
    EXPECT_FALSE(DecodeAttachment(unknownFlag).has_value());
    Bytes longer = good;  // the content is shorter than its declared length
    longer[4] = static_cast<std::uint8_t>(longer[4] + 1);
    EXPECT_FALSE(DecodeAttachment(longer).has_value());
    Bytes shorter = good;  // ... or longer
    shorter[4] = static_cast<std::uint8_t>(shorter[4] - 1);
    EXPECT_FALSE(DecodeAttachment(shorter).has_value());
    Bytes plain = FileData("txt", Of("words"), false);
    plain[8] = 200;  // a header longer than the content
    EXPECT_FALSE(DecodeAttachment(plain).has_value());
    EXPECT_FALSE(DecodeAttachment(Bytes(plain.begin(), plain.end() - 1)).has_value());
    EXPECT_FALSE(DecodeAttachment(Of("\x01\x00")).has_value());
    EXPECT_FALSE(DecodeAttachment({}).has_value());
}

// Several files of one value each get a file; a damaged one is told and the others still written.
TEST(ObjectFolder, WritesTheFilesOfAnAttachmentValue) {
    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    ObjectFolder folder(root / "files", root);
    const Bytes bmp = Bitmap(2, 2);
    const Bytes pdf = Of("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n");
    Bytes damaged = FileData("doc", Of("anything"), true);
    damaged.resize(damaged.size() / 2);
    const std::vector<ado::AttachedFile> files = {
        {"photo.bmp", "bmp", FileData("bmp", bmp, true)},
        {"report.doc", "doc", damaged},
        {"scan.pdf", "pdf", FileData("pdf", pdf, false)},
    };
    std::vector<std::string> told;
    const auto tell = [&](const std::string& why) { told.push_back(why); };
    const auto paths = folder.WriteAttachments("Staff", "4-Files", files, tell);
    EXPECT_EQ(paths, (std::vector<std::string>{"files/Staff/4-Files-1.bmp", "files/Staff/4-Files-3.pdf"}));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find("report.doc"), std::string::npos) << told[0];
    EXPECT_EQ(FileText(root / "files/Staff/4-Files-1.bmp"), std::string(bmp.begin(), bmp.end()));
    EXPECT_EQ(FileText(root / "files/Staff/4-Files-3.pdf"), std::string(pdf.begin(), pdf.end()));
    EXPECT_NE(FileSays(root / "files/Staff/4-Files-1.bmp").find("PC bitmap"), std::string::npos);
    EXPECT_NE(FileSays(root / "files/Staff/4-Files-3.pdf").find("PDF document"), std::string::npos);

    // A single file takes the stem alone; a value none of whose files decodes keeps its text.
    told.clear();
    EXPECT_EQ(folder.WriteAttachments("Staff", "5-Files", {files[0]}, tell),
              std::vector<std::string>{"files/Staff/5-Files.bmp"});
    EXPECT_TRUE(folder.WriteAttachments("Staff", "6-Files", {files[1]}, tell).empty());
    EXPECT_EQ(told.size(), 1u);
    EXPECT_TRUE(folder.WriteAttachments("Staff", "7-Files", {}, tell).empty());
}

// The attachment column of a real sample: the provider gives its files only when asked, and the export
// writes them where the cells say, with the content Access stored.
TEST(ObjectExport, RealSampleAttachments) {
    const fs::path samples = tabvert::test::SamplesDir();
    if (samples.empty()) GTEST_SKIP() << "no sample databases";
    const fs::path db = samples / "complexDataTestV2010.accdb";
    const std::string first = "this is some test data for attachment.";
    const std::string second = "this is some more test data for attachment.";

    ado::Connection connection;
    connection.Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + db.string());
    ado::Recordset rows;
    rows.Open("select * from [Table1]", connection);
    std::vector<std::string> seen;
    for (; !rows.Eof(); rows.MoveNext()) {
        EXPECT_EQ(rows.GetFields().Item("memo-data").Attachments(), std::nullopt);
        const auto files = rows.GetFields().Item("attach-data").Attachments();
        ASSERT_TRUE(files.has_value());
        std::string names;
        for (const auto& f : *files) names += f.name + ":" + f.type + " ";
        seen.push_back(names);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"", "test_data.txt:txt test_data2.txt:txt ", "",
                                              "test_data2.txt:txt "}));

    QTemporaryDir dir;
    const fs::path root = dir.path().toStdString();
    const fs::path book = root / "complex.xlsx";
    test::RecordingObserver observer;
    NameDigitGenerator digits;
    ExportRequest request = test::Request(db.string(), book.string());
    request.attachmentsFolder = (root / "files").string();
    const ExportResult result = RunExport(request, observer, digits);
    ASSERT_EQ(result.outcome, ExportResult::Outcome::Completed) << result.message;
    const auto read = tabvert::test::ReadWorkbookFile(book);
    ASSERT_TRUE(read.has_value());
    const auto* sheet = &read->sheets.at(0);
    for (const auto& s : read->sheets)
        if (s.name == "Table1") sheet = &s;
    const auto textAt = [&](long row) -> std::string {
        const auto* cell = sheet->Find(row, 6);
        return cell ? cell->text : "";
    };
    EXPECT_EQ(textAt(3), "files/Table1/2-attach-data-1.txt; files/Table1/2-attach-data-2.txt");
    EXPECT_EQ(textAt(4), "");
    EXPECT_EQ(textAt(5), "files/Table1/4-attach-data.txt");
    EXPECT_EQ(FileText(root / "files/Table1/2-attach-data-1.txt"), first);
    EXPECT_EQ(FileText(root / "files/Table1/2-attach-data-2.txt"), second);
    EXPECT_EQ(FileText(root / "files/Table1/4-attach-data.txt"), second);
    EXPECT_NE(FileSays(root / "files/Table1/4-attach-data.txt").find("ASCII text"), std::string::npos);

    // Without a folder the cells keep the files' names.
    const fs::path plainBook = root / "plain.xlsx";
    const ExportResult plain = RunExport(test::Request(db.string(), plainBook.string()), observer, digits);
    ASSERT_EQ(plain.outcome, ExportResult::Outcome::Completed) << plain.message;
    const auto plainRead = tabvert::test::ReadWorkbookFile(plainBook);
    ASSERT_TRUE(plainRead.has_value());
    for (const auto& s : plainRead->sheets)
        if (s.name == "Table1") sheet = &s;
    EXPECT_EQ(textAt(3), "test_data.txt, test_data2.txt");
}

}  // namespace
}  // namespace tabvert::exporting
