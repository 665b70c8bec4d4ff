// bifflens-bench: times the reader's phases on big workbooks.
//
// Each run of a phase happens in a child process of its own, so the peak
// memory reported (the child's maximum resident set) belongs to that phase
// alone. Figures are medians over the runs.
#include "Commands.h"
#include "WorkbookCommand.h"
#include "platform/text/AsciiText.h"
#include "platform/CompoundFile.h"
#include "xls/MSExcel.h"
#ifdef BIFFLENS_BENCH_GENERATOR
#include "EncryptedCopy.h"
#include "GeneratedWorkbook.h"
#endif

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct TPhaseResult {
  double Seconds = 0;
  std::uint64_t Items = 0;  // records or cells, as the phase counts them
};

struct TMeasured {
  double Seconds;
  long PeakKb;
  std::uint64_t Items;
};

using TPhase = std::function<TPhaseResult(const std::string& file)>;

double Now()
{
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

/// Runs `phase` in a child; returns its time, item count and peak memory.
TMeasured RunInChild(const TPhase& phase, const std::string& file)
{
  int fds[2];
  if (pipe(fds) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    TPhaseResult result{};
    try {
      result = phase(file);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s: %s\n", file.c_str(), e.what());
      _exit(1);
    }
    if (write(fds[1], &result, sizeof result) != sizeof result)
      _exit(1);
    _exit(0);
  }
  close(fds[1]);
  TPhaseResult result{};
  const bool got = read(fds[0], &result, sizeof result) == sizeof result;
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "phase failed on %s\n", file.c_str());
    std::exit(1);
  }
  return {result.Seconds, usage.ru_maxrss, result.Items};
}

TPhaseResult OpenStream(const std::string& file)
{
  // As a load opens a workbook on disk: the compound file by its structures,
  // then the workbook stream's sectors read into one block.
  const double start = Now();
  const auto reader = TFileReader::Open(file);
  TCompoundFile storage = TCompoundFile::OpenReader(reader);
  std::uint64_t size = 0;
  for (const TStorageElement& element : storage.RootElements()) {
    const std::string upper = AsciiUpper(element.Name);
    if (upper != "WORKBOOK" && upper != "BOOK")
      continue;
    const auto runs = storage.StreamRuns(element.Name);
    if (runs.empty())
      break;
    size = runs.back().StreamOffset + runs.back().Length;
    auto block = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
    for (const auto& run : runs) {
      std::size_t read = 0;
      if (!reader->ReadAt(run.FileOffset, std::span(block.get() + run.StreamOffset, run.Length), read) ||
          read < run.Length)
        throw std::runtime_error("cannot read " + file);
    }
    break;
  }
  return {Now() - start, size};
}

TPhaseResult RecordLoop(const std::string& file)
{
  TMSExcel reader;
  std::uint64_t records = 0;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader,
                        std::span<const std::uint8_t>) { ++records; };
  // No model: every model-filling event has a handler that drops it.
  reader.OnCellValue = [](TCustomSpreadSheetFile&, int, int, int, int, const TVariant&,
                          TAlignment) {};
  reader.OnSheet = [](TCustomSpreadSheetFile&, const std::string&, int, bool&) {};
  reader.OnDimensions = [](TCustomSpreadSheetFile&, int, int, int, int, int) {};
  reader.OnColumnWidth = [](TCustomSpreadSheetFile&, int, int, int) {};
  const double start = Now();
  reader.LoadFromFile(file);
  return {Now() - start, records};
}

std::uint64_t CountCells(const TMSExcel& reader)
{
  std::uint64_t cells = 0;
  for (int s = 0; s < reader.Sheets().Count(); ++s) {
    const TSpreadSheetCells& sheetCells = reader.Sheets().Items(s).Cells;
    sheetCells.ForEachRow([&](int, const TSpreadSheetRow& row) {
      row.Cols.ForEachCell([&](int, const TZymCell&) { ++cells; });
    });
  }
  return cells;
}

TPhaseResult FullLoad(const std::string& file)
{
  TMSExcel reader;
  const double start = Now();
  reader.LoadFromFile(file);
  const double seconds = Now() - start;
  return {seconds, CountCells(reader)};
}

/// The load the command-line tool makes: the workbook stream read a window
/// at a time, as nothing keeps the records.
TPhaseResult FullLoadWindowed(const std::string& file)
{
  TMSExcel reader;
  reader.KeepStreamBuffer = false;
  const double start = Now();
  reader.LoadFromFile(file);
  const double seconds = Now() - start;
  return {seconds, CountCells(reader)};
}

/// `bifflens-cli` with these arguments before the file, its output thrown
/// away; counts the stored cells.
TPhaseResult TimeCli(const std::vector<std::string>& command, const std::string& file)
{
  std::ofstream devNull("/dev/null");
  std::ostringstream err;
  std::vector<std::string> args = command;
  args.push_back(file);
  const double start = Now();
  const int status = RunCli(args, devNull, err);
  const double seconds = Now() - start;
  if (status != kExitOk)
    throw std::runtime_error(err.str());
  TMSExcel reader;
  reader.KeepStreamBuffer = false;
  reader.LoadFromFile(file);
  return {seconds, CountCells(reader)};
}

TPhaseResult CellsOutput(const std::string& file)
{
  return TimeCli({"cells"}, file);
}

TPhaseResult CellsWithFormulas(const std::string& file)
{
  return TimeCli({"cells", "--formulas"}, file);
}

TPhaseResult CsvOutput(const std::string& file)
{
  return TimeCli({"csv"}, file);
}

/// One run of a whole program, its output to /dev/null: the wall time from
/// its start to its end and its peak memory. Fails when it cannot start or
/// does not exit with 0.
bool RunProgram(const std::vector<std::string>& command, TMeasured& measured)
{
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> words = command;
  std::vector<char*> argv;
  for (std::string& word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t child = 0;
  const double start = Now();
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0)
    return false;
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  measured = {Now() - start, usage.ru_maxrss, 0};
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The peer Python reader's full read of the workbook, then its standard CSV
// writer over the first sheet: what a script that converts a sheet does.
constexpr char kXlrdCsvScript[] =
    "import csv, sys, xlrd\n"
    "book = xlrd.open_workbook(sys.argv[1])\n"
    "sheet = book.sheet_by_index(0)\n"
    "out = csv.writer(sys.stdout)\n"
    "for r in range(sheet.nrows):\n"
    "    out.writerow(sheet.row_values(r))\n";

/// A Python that has the peer reader (Debian's python3-xlrd), or "".
std::string PythonWithXlrd()
{
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    TMeasured ignored{};
    if (RunProgram({python, "-c", "import xlrd"}, ignored))
      return python;
  }
  return {};
}

/// `bifflens-cli csv` beside `stats` and the other converters, each run as
/// a program of its own with its output to /dev/null; medians of `runs`
/// (one run for a converter slower than 5 s). A converter that is not
/// installed is named and left out.
void CompareConverters(const std::string& file, int runs)
{
  struct TConverter {
    std::string Name;
    std::vector<std::string> Command;
  };
  std::vector<TConverter> converters;
#ifdef BIFFLENS_BENCH_CLI
  converters.push_back({"bifflens-cli csv", {BIFFLENS_BENCH_CLI, "csv", file}});
  converters.push_back({"bifflens-cli stats", {BIFFLENS_BENCH_CLI, "stats", file}});
#endif
  if (const std::string python = PythonWithXlrd(); !python.empty())
    converters.push_back({"xlrd + csv (Python)", {python, "-c", kXlrdCsvScript, file}});
  else
    std::printf("  (no python3-xlrd: the Python reader is left out)\n");
  converters.push_back({"xls2csv (catdoc)", {"xls2csv", file}});
  double ours = 0;
  for (const TConverter& converter : converters) {
    std::vector<TMeasured> measured;
    for (int i = 0; i < runs; ++i) {
      TMeasured run{};
      if (!RunProgram(converter.Command, run)) {
        measured.clear();
        break;
      }
      measured.push_back(run);
      if (run.Seconds > 5)
        break;
    }
    if (measured.empty()) {
      std::printf("  %-28s (not installed, or it failed)\n", converter.Name.c_str());
      continue;
    }
    std::sort(measured.begin(), measured.end(),
              [](const TMeasured& a, const TMeasured& b) { return a.Seconds < b.Seconds; });
    const TMeasured& median = measured[measured.size() / 2];
    long peak = 0;
    for (const TMeasured& m : measured)
      peak = std::max(peak, m.PeakKb);
    if (ours == 0)
      ours = median.Seconds;
    std::printf("  %-28s %8.3f s  %6.1fx bifflens-cli csv  peak %7.1f MB  (%zu runs)\n",
                converter.Name.c_str(), median.Seconds, median.Seconds / ours, peak / 1024.0,
                measured.size());
  }
}

#ifdef BIFFLENS_BENCH_VIEWER
/// The viewer's open flow runs in a program of its own (it needs a
/// QApplication); its peak memory comes from wait4 like the other phases'.
TMeasured RunViewer(const std::string& file, const char* mode)
{
  int fds[2];
  if (pipe(fds) != 0) {
    std::perror("pipe");
    std::exit(1);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::string program = BIFFLENS_BENCH_VIEWER;
  char* const argv[] = {program.data(), const_cast<char*>(file.c_str()), const_cast<char*>(mode), nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, program.c_str(), &actions, nullptr, argv, environ) != 0) {
    std::perror("posix_spawn");
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  char text[128] = {};
  const ssize_t n = read(fds[0], text, sizeof text - 1);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  double seconds = 0;
  unsigned long long rows = 0;
  if (n <= 0 || std::sscanf(text, "%lf %llu", &seconds, &rows) != 2 || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "viewer open failed on %s\n", file.c_str());
    std::exit(1);
  }
  return {seconds, usage.ru_maxrss, rows};
}
#endif

struct TPhaseSpec {
  const char* Name;
  const char* Unit;
  TPhase Run;
  const char* ViewerMode = nullptr;  // for the viewer's phases: its argument
};

TMeasured ViewerRun([[maybe_unused]] const std::string& file, [[maybe_unused]] const char* mode)
{
#ifdef BIFFLENS_BENCH_VIEWER
  return RunViewer(file, mode);
#else
  return {};
#endif
}

void Report(const std::string& file, const TPhaseSpec& spec, int runs)
{
  std::vector<TMeasured> measured;
  for (int i = 0; i < runs; ++i)
    measured.push_back(spec.Run ? RunInChild(spec.Run, file) : ViewerRun(file, spec.ViewerMode));
  std::sort(measured.begin(), measured.end(),
            [](const TMeasured& a, const TMeasured& b) { return a.Seconds < b.Seconds; });
  const TMeasured& median = measured[measured.size() / 2];
  long peak = 0;
  for (const TMeasured& m : measured)
    peak = std::max(peak, m.PeakKb);
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  const double megabytes = static_cast<double>(in.tellg()) / 1e6;
  std::printf("  %-28s %8.3f s  %8.1f MB/s  %12.0f %s/s  peak %7.1f MB\n", spec.Name,
              median.Seconds, megabytes / median.Seconds,
              static_cast<double>(median.Items) / median.Seconds, spec.Unit, peak / 1024.0);
}

}  // namespace

int main(int argc, char** argv)
{
  int runs = 5;
  std::vector<std::string> files;
  std::string generate;
  int sheets = 4;
  int rows = 65536;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--generate" && i + 1 < argc)
      generate = argv[++i];
    else if (arg == "--sheets" && i + 1 < argc)
      sheets = std::clamp(std::atoi(argv[++i]), 1, 255);
    else if (arg == "--rows" && i + 1 < argc)
      rows = std::clamp(std::atoi(argv[++i]), 1, 65536);
#ifdef BIFFLENS_BENCH_GENERATOR
    else if (arg == "--encrypt" && i + 3 < argc) {
      // An encrypted copy to time against its plain original.
      WriteEncryptedCopy(argv[i + 2], argv[i + 3], argv[i + 1]);
      std::printf("wrote %s\n", argv[i + 3]);
      return 0;
    }
#endif
    else if (arg == "--help" || arg == "-h") {
      std::puts("Usage: bifflens-bench [--runs N] [--generate OUT.xls [--sheets N] [--rows N]]\n"
                "                      [FILE.xls...]\n"
                "       bifflens-bench --encrypt rc4|cryptoapi|xor IN.xls OUT.xls\n"
                "Times opening the compound file, the record loop, the full load into the\n"
                "model, the `cells` and `csv` output, the viewer's open flow and its\n"
                "selecting the SST record (fields, strings list, dump), each in a child\n"
                "process, then `bifflens-cli csv` beside `stats`, the Python reader\n"
                "with its CSV writer (python3-xlrd) and catdoc's xls2csv where installed;\n"
                "medians of N runs. Without files: the three workbooks of the\n"
                "bench folder and a generated one of 3.4 million records (--generate\n"
                "writes it to OUT.xls, made anew if missing; 13 records per row).\n"
                "--encrypt writes a copy of IN's workbook stream encrypted with Excel's\n"
                "default password, which every load opens without asking.");
      return 0;
    } else
      files.push_back(arg);
  }
  if (files.empty()) {
    for (const char* name : {"big8.xls", "big5.xls", "multi8.xls"})
      files.push_back(std::string(BIFFLENS_BENCH_DIR) + "/" + name);
    if (generate.empty())
      generate = "generated-3m-records.xls";
  }
#ifdef BIFFLENS_BENCH_GENERATOR
  if (!generate.empty()) {
    if (!std::ifstream(generate)) {
      std::printf("generating %s ...\n", generate.c_str());
      // In a child: the phases' children are forks of this process, and
      // Linux counts a fork's inherited pages in its peak memory.
      RunInChild(
          [&](const std::string& path) {
            const auto bytes = GenerateWorkbook(sheets, rows);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            return TPhaseResult{};
          },
          generate);
    }
    files.push_back(generate);
    // 100,000 formula cells, half of them shared: what formula text costs.
    const std::string formulas = "generated-formulas.xls";
    if (!std::ifstream(formulas)) {
      RunInChild(
          [&](const std::string& path) {
            const auto bytes = GenerateFormulaWorkbook(2, 50000);
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            return TPhaseResult{};
          },
          formulas);
    }
    files.push_back(formulas);
  }
#endif
  const TPhaseSpec phases[] = {
      {"open + read stream", "bytes", OpenStream},
      {"record loop (OnRecord only)", "records", RecordLoop},
      {"full load into the model", "cells", FullLoad},
      {"full load, stream by window", "cells", FullLoadWindowed},
      {"cells output (JSON)", "cells", CellsOutput},
      {"cells --formulas (JSON)", "cells", CellsWithFormulas},
      {"csv output (first sheet)", "cells", CsvOutput},
#ifdef BIFFLENS_BENCH_VIEWER
      {"viewer open (offscreen)", "records", nullptr},
      {"viewer: select the SST", "records", nullptr, "sst"},
#endif
  };
  for (const std::string& file : files) {
    std::printf("%s (median of %d runs)\n", file.c_str(), runs);
    for (const TPhaseSpec& phase : phases)
      Report(file, phase, runs);
    std::printf(" CSV side by side, whole programs (first sheet to /dev/null):\n");
    CompareConverters(file, runs);
  }
  return 0;
}
