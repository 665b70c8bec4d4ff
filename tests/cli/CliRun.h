#pragma once

// Runs bifflens-cli in the test process and reads its JSON lines, for the
// command tests.

#include "Commands.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

/// What a run of the tool gave: its exit status, its output's JSON lines,
/// its standard error.
struct TRun {
  int Status = 0;
  std::vector<nlohmann::json> Lines;
  std::string Err;
};

/// Each non-empty line of `text` as JSON.
inline std::vector<nlohmann::json> JsonLines(const std::string& text)
{
  std::vector<nlohmann::json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty())
      lines.push_back(nlohmann::json::parse(line));
  return lines;
}

inline std::vector<nlohmann::json> JsonFile(const std::filesystem::path& path)
{
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return JsonLines(text.str());
}

inline TRun RunTool(const std::vector<std::string>& args)
{
  std::ostringstream out;
  std::ostringstream err;
  TRun run;
  run.Status = RunCli(args, out, err);
  run.Lines = JsonLines(out.str());
  run.Err = err.str();
  return run;
}
