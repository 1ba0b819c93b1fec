// tabvert-cli against mdbtools' own tools: the same user tables, row counts and values, for every sample
// database and every fixture.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>

#include "fixtures/fixture_set.h"
#include "support/paths.h"

namespace {

namespace fs = std::filesystem;
using tabvert::test::BuildDir;
using tabvert::test::RunCommand;
using tabvert::test::ShellQuote;
using tabvert::test::SourceDir;

int Compare(const std::vector<std::string>& databases, std::string* report) {
    std::string cmd = std::string(tabvert::test::SystemPython()) + " " +
                      ShellQuote((SourceDir() / "tests/core/access/compare_with_mdbtools.py").string()) +
                      " " + ShellQuote((BuildDir() / "tabvert-cli").string());
    for (const auto& db : databases) cmd += " " + ShellQuote(db);
    return RunCommand(cmd + " 2>&1", report);
}

TEST(AgainstMdbtools, Samples) {
    const fs::path dir = tabvert::test::SamplesDir();
    if (dir.empty()) GTEST_SKIP() << "no sample databases";
    std::vector<std::string> dbs;
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() != ".mdb" && e.path().extension() != ".accdb") continue;
        // Office-encrypted files cannot be read; password files are listed with their password below.
        if (name.find("enc.accdb") != std::string::npos || name.find("with-password") != std::string::npos ||
            name == "office-agile-4.4.accdb" || name == "password.mdb")
            continue;
        dbs.push_back(e.path().string());
    }
    dbs.push_back((dir / "V2000_with-password.mdb").string() + "::password");
    dbs.push_back((dir / "V2003_with-password.mdb").string() + "::password");
    dbs.push_back((dir / "password.mdb").string() + "::ucanaccess");
    std::string report;
    EXPECT_EQ(Compare(dbs, &report), 0) << report;
}

TEST(AgainstMdbtools, Fixtures) {
    QTemporaryDir tmp;
    std::vector<std::string> dbs;
    for (const auto& f : tabvert::fixtures::FixtureList()) {
        if (f.name == "columns") continue;  // mdbtools prints a calculated column's stored wrapper
        const fs::path p = tabvert::fixtures::WriteFixtureInto(f.name, tmp.path().toStdString());
        if (f.name == "password")
            dbs.push_back(p.string() + "::" + tabvert::fixtures::kFixturePassword);
        else if (f.name == "password-semicolon")
            dbs.push_back(p.string() + "::" + tabvert::fixtures::kSemicolonPassword);
        else
            dbs.push_back(p.string());
    }
    std::string report;
    EXPECT_EQ(Compare(dbs, &report), 0) << report;
}

}  // namespace
