// Office-encrypted sample databases through the provider: the right password reads every table with the
// values of the same file decrypted, wrong and empty ones are refused as a database password is, and a
// damaged or unknown encryption header is reported with the file's name.
//
// Expected rows: mdb-reader 3.2.0 (npm) read db2013-enc.accdb, V2010_with-password.accdb and
// office-agile-4.4.accdb to the same rows. It cannot open db2007-enc.accdb (its agile SHA-1 key is cut to
// the wrong length) nor db2007-oldenc.accdb (RC4 CryptoAPI is not implemented there); their rows are the
// ones Jackcess Encrypt's own tests expect of those files.

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/access/crypto/encrypted_file.h"
#include "core/database/connection_rule.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"
#include "support/paths.h"

namespace tabvert::ado {
namespace {

namespace fs = std::filesystem;

std::string Connect(const fs::path& p, int flag, const std::string& password) {
    return database::BuildConnectionString(p.string(), flag, password);
}

// name|value|value... per record, every field's text, records joined by newlines.
std::string TableText(Connection& c, const std::string& table) {
    Recordset rs;
    rs.Open("select * from [" + table + "]", c);
    std::string out;
    for (; !rs.Eof(); rs.MoveNext()) {
        for (long i = 0; i < rs.GetFields().Count(); ++i)
            out += (i ? "|" : "") + text::ValueToText(rs.GetFields().Item(i).Value(), text::Locale::EnUS());
        out += "\n";
    }
    return out;
}

// Every table's name and text.
std::vector<std::pair<std::string, std::string>> Everything(const std::string& connection) {
    Connection c;
    c.Open(connection);
    std::vector<std::pair<std::string, std::string>> tables;
    for (auto schema = c.OpenSchema(kSchemaTables); !schema->Eof(); schema->MoveNext())
        tables.emplace_back(schema->GetFields().Item("TABLE_NAME").Value().text(), "");
    for (auto& [name, text] : tables) text = TableText(c, name);
    return tables;
}

long ErrorNumber(const std::string& connection, std::string* description = nullptr) {
    try {
        Connection().Open(connection);
    } catch (const ProviderError& e) {
        if (description) *description = e.Description();
        return e.Number();
    }
    return 0;
}

struct Sample {
    const char *file, *password, *table, *rows;
};
const Sample kSamples[] = {
    {"db2007-enc.accdb", "Test123", "Table1", "1|foo\n"},
    {"db2007-oldenc.accdb", "Test123", "Table1", "1|foo\n"},
    {"db2013-enc.accdb", "1234", "Customers", "1|Test\n2|Test2\n3|a\n4|\n5|c\n6|d\n7|f\n"},
    {"V2010_with-password.accdb", "password", "Table1", "1|One\n2|Two\n3|Three\n"},
    {"office-agile-4.4.accdb", "password", "Table1", "1|One\n2|Two\n3|Three\n"},
};

class EncryptedSamples : public ::testing::Test {
  protected:
    void SetUp() override {
        if (test::SamplesDir().empty()) GTEST_SKIP() << "no sample databases";
    }
    fs::path Sample(const char* name) const { return test::SamplesDir() / name; }
    fs::path Dir() const { return fs::path(tmp_.path().toStdString()); }
    QTemporaryDir tmp_;
};

TEST_F(EncryptedSamples, RightPasswordReadsEveryTableAsTheDecryptedFileDoes) {
    for (const auto& s : kSamples) {
        SCOPED_TRACE(s.file);
        const auto tables = Everything(Connect(Sample(s.file), 1, s.password));
        const auto user =
            std::find_if(tables.begin(), tables.end(), [&](const auto& t) { return t.first == s.table; });
        ASSERT_NE(user, tables.end());
        EXPECT_EQ(user->second, s.rows);

        // The same file decrypted once and stored plain must read alike, table by table.
        const fs::path twin = Dir() / s.file;
        const auto plain = crypto::DecryptFile(Sample(s.file).string(), s.password);
        std::ofstream(twin, std::ios::binary)
            .write(reinterpret_cast<const char*>(plain->data()), static_cast<std::streamsize>(plain->size()));
        EXPECT_EQ(tables, Everything(Connect(twin, 0, "")));
    }
}

TEST_F(EncryptedSamples, MissingWrongOrMistypedPasswordsAreRefused) {
    for (const auto& s : kSamples) {
        const std::string right = s.password;
        std::string lower = right;
        for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const std::pair<int, std::string> refused[] = {{0, ""},    {1, ""},          {1, "wrong"},
                                                       {0, right}, {1, right + "x"}, {1, right.substr(1)}};
        for (const auto& [flag, password] : refused) {
            std::string description;
            EXPECT_EQ(ErrorNumber(Connect(Sample(s.file), flag, password), &description), kErrAuthentication)
                << s.file << " flag " << flag << " '" << password << "'";
            EXPECT_EQ(description, "Not a valid password.");
        }
        if (lower != right) {
            EXPECT_EQ(ErrorNumber(Connect(Sample(s.file), 1, lower)), kErrAuthentication) << s.file;
        }
    }
}

// A recordset keeps reading after its connection is closed: the decrypted copy lives as long as a reader.
TEST_F(EncryptedSamples, RecordsetOutlivesItsConnection) {
    Connection c;
    c.Open(Connect(Sample("db2013-enc.accdb"), 1, "1234"));
    Recordset rs;
    rs.Open("select * from [Customers]", c);
    c.Close();
    std::string names;
    for (; !rs.Eof(); rs.MoveNext())
        names += text::ValueToText(rs.GetFields().Item(1).Value(), text::Locale::EnUS()) + ",";
    EXPECT_EQ(names, "Test,Test2,a,,c,d,f,");
}

// The encryption description of a copy is damaged or made to name another scheme; opening says so and
// names the file, never "Unrecognized database format".
TEST_F(EncryptedSamples, DamagedOrUnknownEncryptionIsReportedWithTheFile) {
    const std::string original = [&] {
        std::ifstream in(Sample("db2007-oldenc.accdb"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    const struct {
        std::size_t at;
        std::string bytes;
        const char* says;
    } cases[] = {
        {0x299, std::string("\xff\xff", 2), "damaged encryption header"},
        {0x29b, std::string("\x01\0\x01\0", 4), "Office 97-2003 RC4 encryption (version 1.1)"},
        {0x29b, std::string("\x04\0\x03\0", 4), "extensible encryption"},
        {0x29b + 12 + 0x76, std::string("\xff\xff\xff\x7f", 4), "salt size"},
    };
    for (const auto& k : cases) {
        std::string copy = original;
        copy.replace(k.at, k.bytes.size(), k.bytes);
        const fs::path p = Dir() / "copy.accdb";
        std::ofstream(p, std::ios::binary | std::ios::trunc) << copy;
        std::string description;
        EXPECT_EQ(ErrorNumber(Connect(p, 1, "Test123"), &description), kErrUnspecified) << k.says;
        EXPECT_NE(description.find(k.says), std::string::npos) << description;
        EXPECT_NE(description.find(p.string()), std::string::npos) << description;
    }
}

// Decrypted pages are held from the open on: the process then leaves no core dump. A plain file changes
// nothing. Each open runs in a child of its own, as the setting lasts for the process.
TEST_F(EncryptedSamples, OpeningAnEncryptedFileEndsCoreDumps) {
    struct Case {
        const char* file;
        const char* password;
        bool encrypted;
    };
    const Case cases[] = {{"testV2003.mdb", "", false},
                          {"db-enc.mdb", "", true},
                          {"V2003_with-password.mdb", "password", true},
                          {"db2013-enc.accdb", "1234", true}};
    for (const Case& c : cases) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // As a fresh process is, whatever files this one opened before.
            prctl(PR_SET_DUMPABLE, 1);
            struct rlimit allowed {};
            getrlimit(RLIMIT_CORE, &allowed);
            allowed.rlim_cur = allowed.rlim_max;
            if (allowed.rlim_cur == 0 || setrlimit(RLIMIT_CORE, &allowed) != 0) _exit(9);
            Connection().Open(Connect(Sample(c.file), *c.password ? 1 : 0, c.password));
            struct rlimit core {};
            getrlimit(RLIMIT_CORE, &core);
            _exit((prctl(PR_GET_DUMPABLE) == 1 ? 1 : 0) | (core.rlim_cur > 0 ? 2 : 0));
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << c.file;
        if (WEXITSTATUS(status) == 9) GTEST_SKIP() << "core files are not allowed here at all";
        // 1: still dumpable, 2: a core file size above 0.
        EXPECT_EQ(WEXITSTATUS(status), c.encrypted ? 0 : 3) << c.file;
    }
}

}  // namespace
}  // namespace tabvert::ado
