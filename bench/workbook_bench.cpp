// Cells per second and peak memory of the workbook engine against libxlsxwriter used directly.
//   workbook_bench engine|engine-reverse|export|export-unsized|lxw OUTPUT_FILE ROWS COLUMNS
// "engine" writes through the Excel stand-in (one SetValue per cell, then SaveAs; the extension of
// OUTPUT_FILE picks .xlsx or .xls); "engine-reverse" does the same from the last row up, the worst
// order for the spool (every row a run of its own); "export" writes as the export does, into a
// workbook planned for its file, a formatted header, sized columns and a frozen header, with texts,
// numbers and dates; "export-unsized" the same without the sizing and the frozen header, to show what
// they cost; "lxw" writes the same cells as "engine" with libxlsxwriter in constant-memory mode. Prints one
// line: mode, file, cells, seconds, cells per second, peak resident memory (MiB), processor seconds. Run it
// in one process per measurement (see workbook_bench.sh): peak memory is per process.

#include <sys/resource.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/workbook/excel.h"

namespace {

// Short texts that stay texts: neither numbers nor dates.
void CellText(long row, long col, std::string& out) {
    out = "r";
    out += std::to_string(row);
    out += 'c';
    out += std::to_string(col);
}

int RunEngine(const std::string& path, long rows, long cols, bool reverse) {
    using namespace tabvert::excel;
    ApplicationOptions options;
    options.tempFolder = std::filesystem::path(path).parent_path().string();
    if (options.tempFolder.empty()) options.tempFolder = ".";
    auto excel = CreateApplication(kApplicationClassId, options);
    Workbook& book = excel->GetWorkbooks().Add();
    Worksheet& sheet = book.GetWorksheets().Add();
    sheet.SetName("Bench");
    std::string text;
    for (long c = 1; c <= cols; ++c) sheet.Cells(1, c).SetValue("Column" + std::to_string(c));
    sheet.GetRange("A1", "Z1").GetFont().SetBold(true);
    for (long i = 2; i <= rows; ++i) {
        const long r = reverse ? rows + 2 - i : i;
        for (long c = 1; c <= cols; ++c) {
            CellText(r, c, text);
            sheet.Cells(r, c).SetValue(text);
        }
    }
    book.SaveAs(path, kWorkbookNormal);
    book.Close();
    excel->Quit();
    return 0;
}

// Export-shaped rows: every third column a number, every third a date, the rest texts of varied length.
int RunExport(const std::string& path, long rows, long cols, bool sized) {
    using namespace tabvert::excel;
    ApplicationOptions options;
    options.tempFolder = std::filesystem::path(path).parent_path().string();
    if (options.tempFolder.empty()) options.tempFolder = ".";
    options.locale = tabvert::text::Locale::EnUS();
    auto excel = CreateApplication(kApplicationClassId, options);
    Workbook& book = excel->GetWorkbooks().Add();
    book.PlanSaveAs(path, kWorkbookNormal);
    Worksheet& sheet = book.GetWorksheets().Add();
    sheet.SetName("Bench");
    if (sized) {
        sheet.FitColumnWidths();
        sheet.FreezeTopRow();
    }
    for (long c = 1; c <= cols; ++c) sheet.Cells(1, c).SetValue("Column" + std::to_string(c));
    sheet.GetRange("A1", "Z1").GetFont().SetBold(true);
    sheet.GetRange("A1", "Z1").GetFont().SetSize(15);
    sheet.GetRange("A1", "Z1").GetFont().SetUnderline(true);
    const long lastRow = std::min(rows, path.ends_with(".xls") ? kMaxXlsRows : kMaxRows);
    std::string text;
    for (long r = 2; r <= lastRow; ++r) {
        for (long c = 1; c <= cols; ++c) {
            switch (c % 3) {
                case 0:
                    sheet.Cells(r, c).SetNumber(static_cast<double>(r) * 1.25, "0.00");
                    break;
                case 1:
                    sheet.Cells(r, c).SetNumber(45000.0 + static_cast<double>(r % 1000), "m/d/yyyy");
                    break;
                default:
                    CellText(r, c, text);
                    text.append(static_cast<size_t>(r % 17), 'x');
                    sheet.Cells(r, c).SetValue(text);
            }
        }
    }
    book.SaveAs(path, kWorkbookNormal);
    book.Close();
    excel->Quit();
    return 0;
}

int RunLxw(const std::string& path, long rows, long cols) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
    if (wb == nullptr) return 1;
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Bench");
    lxw_format* bold = workbook_add_format(wb);
    format_set_bold(bold);
    std::string text;
    for (long c = 1; c <= cols; ++c) {
        worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c - 1), ("Column" + std::to_string(c)).c_str(),
                               bold);
    }
    for (long r = 2; r <= rows; ++r) {
        for (long c = 1; c <= cols; ++c) {
            CellText(r, c, text);
            worksheet_write_string(ws, static_cast<lxw_row_t>(r - 1), static_cast<lxw_col_t>(c - 1),
                                   text.c_str(), nullptr);
        }
    }
    return workbook_close(wb) == LXW_NO_ERROR ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: %s engine|engine-reverse|export|export-unsized|lxw OUTPUT_FILE ROWS COLUMNS\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const std::string path = argv[2];
    const long rows = std::atol(argv[3]);
    const long cols = std::atol(argv[4]);
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    try {
        if (mode == "lxw") {
            status = RunLxw(path, rows, cols);
        } else if (mode == "export" || mode == "export-unsized") {
            status = RunExport(path, rows, cols, mode == "export");
        } else {
            status = RunEngine(path, rows, cols, mode == "engine-reverse");
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "failed: %s\n", e.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cells = static_cast<double>(rows) * static_cast<double>(cols);
    // Processor time of all threads as well: on a busy machine it varies far less than the wall clock.
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%-14s %-20s %10.0f cells %8.2f s %12.0f cells/s peak %7.1f MiB cpu %7.2f s\n", mode.c_str(),
                std::filesystem::path(path).filename().c_str(), cells, seconds, cells / seconds,
                static_cast<double>(usage.ru_maxrss) / 1024.0, cpu);
    return status;
}
