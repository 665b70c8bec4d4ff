// bifflens-bench: times the reader's phases on big workbooks.
//
// Each run of a phase happens in a child process of its own, so the peak
// memory reported (the child's maximum resident set) belongs to that phase
// alone. Figures are medians over the runs.
#include "Commands.h"
#include "WorkbookCommand.h"
#include "platform/CompoundFile.h"
#include "xls/MSExcel.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
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
  const double start = Now();
  const TCompoundFile storage = TCompoundFile::OpenFile(file);
  std::uint64_t size = 0;
  for (const TStorageElement& element : storage.RootElements()) {
    std::string upper = element.Name;
    for (char& c : upper)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper == "WORKBOOK" || upper == "BOOK") {
      const TCompoundStream stream = storage.OpenStream(element.Name);
      size = stream.Bytes().size();
      break;
    }
  }
  return {Now() - start, size};
}

TPhaseResult RecordLoop(const std::string& file)
{
  TMSExcel reader;
  std::uint64_t records = 0;
  std::uint64_t bytes = 0;
  reader.OnRecord = [&](TCustomSpreadSheetFile&, TBIFFRecordHeader,
                        std::span<const std::uint8_t> data) {
    ++records;
    bytes += data.size();
  };
  // No model: every model-filling event has a handler that drops it.
  reader.OnCellValue = [](TCustomSpreadSheetFile&, int, int, int, int, const TVariant&,
                          TAlignment) {};
  reader.OnSheet = [](TCustomSpreadSheetFile&, const std::string&, int, bool&) {};
  reader.OnDimensions = [](TCustomSpreadSheetFile&, int, int, int, int, int) {};
  reader.OnColumnWidth = [](TCustomSpreadSheetFile&, int, int, int) {};
  const double start = Now();
  reader.LoadFromFile(file);
  return {Now() - start, records + (bytes == 0 ? 0 : 0)};
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

TPhaseResult CellsOutput(const std::string& file)
{
  std::ofstream devNull("/dev/null");
  std::ostringstream err;
  const std::vector<std::string> args{"cells", file};
  const double start = Now();
  const int status = RunCli(args, devNull, err);
  const double seconds = Now() - start;
  if (status != kExitOk)
    throw std::runtime_error(err.str());
  TMSExcel reader;
  reader.LoadFromFile(file);
  return {seconds, CountCells(reader)};
}

struct TPhaseSpec {
  const char* Name;
  const char* Unit;
  TPhase Run;
};

void Report(const std::string& file, const TPhaseSpec& spec, int runs)
{
  std::vector<TMeasured> measured;
  for (int i = 0; i < runs; ++i)
    measured.push_back(RunInChild(spec.Run, file));
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
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
    else if (arg == "--help" || arg == "-h") {
      std::puts("Usage: bifflens-bench [--runs N] FILE.xls...\n"
                "Times opening the compound file, the record loop, the full load into the\n"
                "model and the `cells` output, each in a child process; medians of N runs.");
      return 0;
    } else
      files.push_back(arg);
  }
  if (files.empty()) {
    for (const char* name : {"big8.xls", "big5.xls", "multi8.xls"})
      files.push_back(std::string(BIFFLENS_BENCH_DIR) + "/" + name);
  }
  const TPhaseSpec phases[] = {
      {"open + read stream", "bytes", OpenStream},
      {"record loop (OnRecord only)", "records", RecordLoop},
      {"full load into the model", "cells", FullLoad},
      {"cells output (JSON)", "cells", CellsOutput},
  };
  for (const std::string& file : files) {
    std::printf("%s (median of %d runs)\n", file.c_str(), runs);
    for (const TPhaseSpec& phase : phases)
      Report(file, phase, runs);
  }
  return 0;
}
