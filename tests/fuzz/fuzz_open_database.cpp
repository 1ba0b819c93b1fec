// libFuzzer target: a whole database file opened as the program opens one, its tables schema read and
// every value of every table turned into text. The input lives in an anonymous memory file reached
// by its /proc path (no extension: the ACE provider, which reads every format).

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/database/connection_rule.h"
#include "core/export/export_run.h"
#include "core/provider/ado.h"
#include "core/value/value_text.h"

namespace {

void ReadEverything(const std::string& path) {
    using namespace tabvert;
    ado::Connection connection;
    connection.Open(database::BuildConnectionString(path, 0, ""));
    const text::Locale locale = text::Locale::EnUS();
    std::vector<std::string> tables;
    auto schema = connection.OpenSchema(ado::kSchemaTables);
    for (; !schema->Eof(); schema->MoveNext())
        tables.push_back(text::ValueToText(schema->GetFields().Item("TABLE_NAME").Value(), locale));
    for (const std::string& table : tables) {
        try {
            ado::Recordset rows;
            rows.Open(exporting::TableQuery(table), connection);
            for (; !rows.Eof(); rows.MoveNext())
                for (long i = 0; i < rows.GetFields().Count(); ++i)
                    text::ValueToText(rows.GetFields().Item(i).Value(), locale);
        } catch (const ado::ProviderError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = memfd_create("fuzz-database", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 0) != 0) return 0;
    if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    try {
        ReadEverything("/proc/self/fd/" + std::to_string(fd));
    } catch (const tabvert::ado::ProviderError&) {
    }
    return 0;
}
