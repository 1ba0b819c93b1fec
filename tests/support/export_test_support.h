#pragma once
// Shared by the export tests: small databases written on the fly, what the provider itself reads from
// them, and an observer that records every step of a run.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/export/export_run.h"
#include "fixtures/access_writer.h"

namespace tabvert::exporting::test {

// Records the run's steps as text ("frame+", "table:T", "record:7", "max:500", "bar:7", "message:...",
// "frame-"), and keeps a bar that refuses values above its maximum, starting at 0 of 100 like the
// main window's.
class RecordingObserver : public ExportObserver {
  public:
    void FrameShown() override { events.push_back("frame+"); }
    void PreviewCleared() override { events.push_back("clear"); }
    void DatabaseDialogHidden() override { events.push_back("dialog-"); }
    void TableNameShown(const std::string& name) override { events.push_back("table:" + name); }
    void RecordNumberShown(std::int64_t n) override { events.push_back("record:" + std::to_string(n)); }
    void BarMaximumSet(int maximum) override {
        barMaximum = maximum;
        events.push_back("max:" + std::to_string(maximum));
    }
    void BarValueSet(int value) override {
        if (value <= barMaximum) barValue = value;
        events.push_back("bar:" + std::to_string(value));
    }
    void MessageShown(const std::string& text) override {
        messages.push_back(text);
        events.push_back("message");
    }
    void FrameHidden() override { events.push_back("frame-"); }

    std::vector<std::string> events;
    std::vector<std::string> messages;
    int barMaximum = 100;
    int barValue = 0;
};

// A table of `rows` generated rows: ID (1..rows) and a text.
fixtures::Table NumberedTable(const std::string& name, std::size_t rows);

std::filesystem::path WriteDb(const fixtures::Database& db, const std::filesystem::path& path);

// The catalogue's table names in the provider's order, and a table's records as text (Null as "").
std::vector<std::string> SchemaNames(const std::string& dbpath, const std::string& password = "");
std::vector<std::vector<std::string>> TableTexts(const std::string& dbpath, const std::string& table,
                                                 const std::string& password = "");
std::vector<std::string> FieldNames(const std::string& dbpath, const std::string& table,
                                    const std::string& password = "");

ExportRequest Request(const std::string& dbpath, const std::string& target);

std::string FileText(const std::filesystem::path& path);

}  // namespace tabvert::exporting::test
