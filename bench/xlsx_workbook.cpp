// Saves a workbook of numeric cells (rows × 10 columns) with this writer and
// with libxlsxwriter (in its default mode and in its constant-memory mode),
// and prints the time and the peak memory of each.
//
// Every save runs in a child process of its own: the child measures its wall
// time from the first call to the finished file, the parent reads the
// child's peak resident set size from wait4. The writers alternate, and the
// best time and the smallest peak of several runs are shown; the peak of a
// child that writes nothing is shown as the baseline every child starts from.
// Beside them, this writer's speed against libxlsxwriter's constant-memory
// mode (the writer that needs the same memory) and the load average at the
// end of the rounds of that row count.
//
//   build/bench/bench/bench_xlsx_workbook [runs] [rows ...]
//   (default: 3 runs of 10000 and 100000 rows)
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "load_average.h"
#include "xlsx/workbook.h"

namespace {

constexpr int kColumns = 10;

// The value of a cell, the same for every writer.
float CellValue(std::uint32_t row, int column) {
  return static_cast<float>(row) * 0.37f + static_cast<float>(column) / 7.0f;
}

bool SaveWithThisWriter(const std::string& path, std::uint32_t rows) {
  Xlsx::CWorkbook book(Xlsx::XlsxTextRecord("bench"));
  Xlsx::CWorksheet& sheet = book.AddSheet(Xlsx::XlsxTextRecord("Data"), {});
  for (std::uint32_t r = 0; r < rows; ++r) {
    sheet.BeginRow(0.0);
    for (int c = 0; c < kColumns; ++c) sheet.AddCell(CellValue(r, c), 0);
  }
  sheet.EndRow();
  return book.Save(path);
}

bool SaveWithLibxlsxwriter(const std::string& path, std::uint32_t rows, bool constantMemory) {
  lxw_workbook_options options{};
  options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (!book) return false;
  lxw_worksheet* sheet = workbook_add_worksheet(book, "Data");
  for (std::uint32_t r = 0; r < rows; ++r)
    for (int c = 0; c < kColumns; ++c)
      worksheet_write_number(sheet, r, static_cast<lxw_col_t>(c), static_cast<double>(CellValue(r, c)), nullptr);
  return workbook_close(book) == LXW_NO_ERROR;
}

enum class Writer { kNone, kThis, kLxw, kLxwConstantMemory };

const char* WriterName(Writer w) {
  switch (w) {
    case Writer::kNone:
      return "baseline (no save)";
    case Writer::kThis:
      return "this writer";
    case Writer::kLxw:
      return "libxlsxwriter";
    case Writer::kLxwConstantMemory:
      return "libxlsxwriter constant_memory";
  }
  return "";
}

struct Run {
  bool ok = false;
  double seconds = 0;
  long peakKiB = 0;
  long long fileBytes = 0;
};

Run RunInChild(Writer writer, std::uint32_t rows, const std::string& path) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid < 0) return {};
  if (pid == 0) {
    ::close(pipeFds[0]);
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    if (writer == Writer::kThis) ok = SaveWithThisWriter(path, rows);
    if (writer == Writer::kLxw) ok = SaveWithLibxlsxwriter(path, rows, false);
    if (writer == Writer::kLxwConstantMemory) ok = SaveWithLibxlsxwriter(path, rows, true);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const bool written = ::write(pipeFds[1], &seconds, sizeof seconds) == static_cast<ssize_t>(sizeof seconds);
    ::_exit(ok && written ? 0 : 1);
  }
  ::close(pipeFds[1]);
  Run run;
  const bool haveTime =
      ::read(pipeFds[0], &run.seconds, sizeof run.seconds) == static_cast<ssize_t>(sizeof run.seconds);
  ::close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return {};
  run.ok = haveTime && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.peakKiB = usage.ru_maxrss;
  struct stat st {};
  if (writer != Writer::kNone && ::stat(path.c_str(), &st) == 0) run.fileBytes = st.st_size;
  ::unlink(path.c_str());
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::vector<std::uint32_t> rowCounts;
  for (int i = 2; i < argc; ++i) rowCounts.push_back(static_cast<std::uint32_t>(std::strtoul(argv[i], nullptr, 10)));
  if (rowCounts.empty()) rowCounts = {10000, 100000};

  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench_xlsx_XXXXXX";
  if (!::mkdtemp(folder.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string path = folder + "/bench.xlsx";
  const Writer writers[] = {Writer::kNone, Writer::kThis, Writer::kLxw, Writer::kLxwConstantMemory};

  std::printf("%-30s %9s %8s %10s %12s %12s\n", "writer", "rows", "cells", "best s", "peak MiB", "file bytes");
  bool allOk = true;
  for (const std::uint32_t rows : rowCounts) {
    std::vector<Run> best(std::size(writers));
    for (auto& b : best) {
      b.seconds = 1e300;
      b.peakKiB = 1L << 40;
    }
    for (int r = 0; r < runs; ++r) {
      for (std::size_t w = 0; w < std::size(writers); ++w) {
        const Run run = RunInChild(writers[w], rows, path);
        if (!run.ok) {
          std::fprintf(stderr, "%s failed at %u rows\n", WriterName(writers[w]), rows);
          allOk = false;
          continue;
        }
        best[w].ok = true;
        best[w].seconds = std::min(best[w].seconds, run.seconds);
        best[w].peakKiB = std::min(best[w].peakKiB, run.peakKiB);
        best[w].fileBytes = run.fileBytes;
      }
    }
    for (std::size_t w = 0; w < std::size(writers); ++w) {
      if (!best[w].ok) continue;
      std::printf("%-30s %9u %8u %10.3f %12.1f %12lld\n", WriterName(writers[w]), rows, rows * kColumns,
                  writers[w] == Writer::kNone ? 0.0 : best[w].seconds, best[w].peakKiB / 1024.0, best[w].fileBytes);
    }
    // writers[1] is this one, writers[3] the constant-memory mode.
    if (best[1].ok && best[3].ok)
      std::printf("  speed against the constant-memory mode: x%.2f (its time / this writer's), %s\n",
                  best[3].seconds / best[1].seconds, ORV::Bench::LoadAverageText().c_str());
  }
  ::rmdir(folder.c_str());
  return allOk ? 0 : 1;
}
