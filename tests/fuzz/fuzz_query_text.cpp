// libFuzzer target: query text. It is parsed and translated against a schema where every name is a table
// of one column of each type; text either becomes SQL or fails with the provider's message, and nothing
// else (no crash, no other exception, no deep recursion) may come of it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/sql/access_sql.h"
#include "core/sql/sql_translate.h"
#include "core/value/provider_error.h"

namespace {

using namespace tabvert::ado;
using namespace tabvert::ado::sql;

class AnyTable : public Schema {
  public:
    Object object(const std::string& name) override {
        if (name.size() > 64) throw ProviderError(tabvert::ErrorReason::NoSuchTable, "no such table");
        return {Quote("table " + name),
                {{"B", Type::Boolean},
                 {"I", Type::Integer},
                 {"L", Type::Long},
                 {"C", Type::Currency},
                 {"S", Type::Single},
                 {"D", Type::Double},
                 {"T", Type::Text},
                 {"W", Type::Date}},
                true};
    }
    std::vector<Variant> Values(const std::string&, Type) override { return {Variant::Text("a"), {}}; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    AnyTable schema;
    try {
        const Translated t = Translate(Parse(text), schema);
        if (t.sql.empty()) __builtin_trap();  // a translation always says something
    } catch (const ProviderError&) {
    }
    return 0;
}
