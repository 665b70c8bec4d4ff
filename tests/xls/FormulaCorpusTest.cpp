// Every formula cell of the public corpus against a second peer reader's
// text (corpus/formulas/, see its README): whitespace outside quotes and
// the case of function names do not count.

#include "xls/MSExcel.h"
#include "xls/formula/FormulaBook.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

struct TCellKey {
  std::string Sheet;
  int Row = 0;
  int Column = 0;
  auto operator<=>(const TCellKey&) const = default;
};

/// Our formula text of every formula cell of a file, by sheet name and cell:
/// the reader's records fed to the workbook's formula book.
std::map<TCellKey, std::string> DecodeFile(const fs::path& path)
{
  TMSExcel reader;
  std::unique_ptr<TFormulaBook> owned;
  reader.OnStreamRecord = [&](const TStreamRecord& record) {
    if (!owned)
      owned = std::make_unique<TFormulaBook>(reader.WalkStart());
    owned->Add(record);
  };
  try {
    reader.LoadFromFile(path.string());
  } catch (const std::exception&) {
    // What was read before the failure still counts.
  }
  std::map<TCellKey, std::string> texts;
  if (!owned)
    return texts;
  for (const TFormulaCellText& cell : owned->Cells()) {
    const std::string caption =
        cell.Sheet < reader.Sheets().Count() ? reader.Sheets().Items(cell.Sheet).Caption : "";
    texts[{caption, cell.Row, cell.Column}] = cell.Result.Ok() ? cell.Result.Text : "error: " + cell.Result.Error;
  }
  return texts;
}

bool IsNameChar(unsigned char c)
{
  return std::isalnum(c) || c == '_' || c == '.' || c >= 0x80;
}

/// The text without whitespace outside quotes, function names upper-case.
std::string Normalize(std::string_view text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '"' || c == '\'') {
      const std::size_t start = i++;
      while (i < text.size()) {
        if (text[i] == c && !(i + 1 < text.size() && text[i + 1] == c)) {
          ++i;
          break;
        }
        i += text[i] == c ? 2 : 1;
      }
      out.append(text.substr(start, i - start));
      continue;
    }
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      ++i;
      continue;
    }
    if (IsNameChar(static_cast<unsigned char>(c))) {
      const std::size_t start = i;
      while (i < text.size() && IsNameChar(static_cast<unsigned char>(text[i])))
        ++i;
      std::string word(text.substr(start, i - start));
      std::size_t next = i;
      while (next < text.size() && text[next] == ' ')
        ++next;
      if (next < text.size() && text[next] == '(')
        for (char& ch : word)
          ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      out += word;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

// Where the peer's text follows its own conventions rather than Excel's,
// its form is turned into Excel's before comparing (each a documented
// difference of the peer, none a second reading of the tokens):
//  - a linked book's path: the peer writes it inside the brackets with "/"
//    ('[/dir/Book.xls]Sheet'!A1), Excel before them, as the EXTERNSHEET
//    and SUPBOOK paths are stored ('\dir\[Book.xls]Sheet'!A1);
//  - whole rows: the peer has no short form ($A1:$IV3), Excel writes 1:3;
//  - a range of sheets: the peer quotes each name that needs it
//    (Data:'Sheet 2'!A1), Office the range as a whole ('Data:Sheet 2'!A1);
//  - whole columns: the peer drops their "$" (A:B for $A:$B), so both
//    sides compare without it;

bool IsWordChar(char c)
{
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' ||
         static_cast<unsigned char>(c) >= 0x80;
}

std::string PeerPathToExcel(std::string_view text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const bool quoted = text[i] == '\'' && i + 1 < text.size() && text[i + 1] == '[';
    if (!(quoted || (text[i] == '[' && (i == 0 || text[i - 1] != '\'')))) {
      out += text[i++];
      continue;
    }
    const std::size_t open = quoted ? i + 1 : i;
    const std::size_t close = text.find(']', open);
    if (close == std::string_view::npos) {
      out += text[i++];
      continue;
    }
    const std::string_view path = text.substr(open + 1, close - open - 1);
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) {
      out += text[i++];
      continue;
    }
    std::string directory(path.substr(0, slash + 1));
    for (char& c : directory)
      if (c == '/')
        c = '\\';
    out += '\'';
    out += directory;
    out += '[';
    out.append(path.substr(slash + 1));
    out += ']';
    i = close + 1;
    if (!quoted) {
      // An unquoted sheet name runs to the "!"; the path needs the quotes.
      const std::size_t bang = text.find('!', i);
      out.append(text.substr(i, bang - i));
      out += '\'';
      i = bang == std::string_view::npos ? text.size() : bang;
    }
  }
  return out;
}

// "$A1:$IV3" -> "1:3", "$A$1:$IV$3" -> "$1:$3".
std::string PeerRowsToExcel(std::string_view text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const bool boundary = i == 0 || !IsWordChar(text[i - 1]);
    if (boundary && text.substr(i).starts_with("$A")) {
      std::size_t j = i + 2;
      const std::size_t firstRow = j;
      if (j < text.size() && text[j] == '$')
        ++j;
      const std::size_t digits1 = j;
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j])))
        ++j;
      if (j > digits1 && text.substr(j).starts_with(":$IV")) {
        const std::size_t secondRow = j + 4;
        std::size_t k = secondRow;
        if (k < text.size() && text[k] == '$')
          ++k;
        const std::size_t digits2 = k;
        while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k])))
          ++k;
        if (k > digits2 && (k == text.size() || !IsWordChar(text[k]))) {
          out.append(text.substr(firstRow, j - firstRow));
          out += ':';
          out.append(text.substr(secondRow, k - secondRow));
          i = k;
          continue;
        }
      }
    }
    out += text[i++];
  }
  return out;
}

// "$A:$B" -> "A:B" (letters only on both sides of the colon).
std::string WithoutWholeColumnDollars(std::string_view text)
{
  auto letters = [&](std::size_t at) {
    std::size_t n = 0;
    while (at + n < text.size() && text[at + n] >= 'A' && text[at + n] <= 'Z')
      ++n;
    return n;
  };
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const bool boundary = i == 0 || !IsWordChar(text[i - 1]);
    if (boundary) {
      std::size_t j = i + (text[i] == '$' ? 1 : 0);
      const std::size_t first = j;
      const std::size_t n1 = letters(j);
      j += n1;
      if (n1 > 0 && j < text.size() && text[j] == ':') {
        std::size_t k = j + 1;
        k += k < text.size() && text[k] == '$' ? 1 : 0;
        const std::size_t second = k;
        const std::size_t n2 = letters(k);
        k += n2;
        if (n2 > 0 && (k == text.size() || (!IsWordChar(text[k]) && text[k] != '!'))) {
          out.append(text.substr(first, n1));
          out += ':';
          out.append(text.substr(second, n2));
          i = k;
          continue;
        }
      }
    }
    out += text[i++];
  }
  return out;
}

// "Data:'Sheet 2'!A1" -> "'Data:Sheet 2'!A1": Office quotes a range of
// sheets as a whole, the peer each name that needs it.
std::string PeerSheetRangeToExcel(std::string_view text)
{
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const bool boundary = i == 0 || !IsWordChar(text[i - 1]);
    std::size_t j = i;
    while (j < text.size() && IsWordChar(text[j]))
      ++j;
    if (boundary && j > i && text.substr(j).starts_with(":'")) {
      const std::size_t close = text.find("'!", j + 2);
      if (close != std::string_view::npos) {
        out += '\'';
        out.append(text.substr(i, j - i));
        out += ':';
        out.append(text.substr(j + 2, close - j - 2));
        out += "'!";
        i = close + 2;
        continue;
      }
    }
    if (j > i) {
      out.append(text.substr(i, j - i));
      i = j;
      continue;
    }
    out += text[i++];
  }
  return out;
}

std::string PeerToExcel(std::string_view peer)
{
  return PeerSheetRangeToExcel(PeerRowsToExcel(PeerPathToExcel(peer)));
}

TEST(FormulaCorpus, AgreesWithThePeersTextOnNearlyEveryCell)
{
  const fs::path dir = fs::path(BIFFLENS_CORPUS_DIR) / "formulas";
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "no corpus at " << dir;
  std::vector<fs::path> listings;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().extension() == ".jsonl")
      listings.push_back(entry.path());
  std::sort(listings.begin(), listings.end());

  std::size_t total = 0;
  std::size_t agreed = 0;
  std::size_t strictlyAgreed = 0;
  std::size_t peerConventions = 0;  // differ only where the peer writes its own forms
  for (const fs::path& listing : listings) {
    std::ifstream in(listing);
    std::string line;
    std::vector<json> cells;
    bool ok = false;
    std::string file;
    while (std::getline(in, line)) {
      if (line.empty())
        continue;
      json j = json::parse(line);
      if (j.value("meta", false)) {
        ok = j.value("ok", false);
        file = j.value("file", "");
      } else {
        cells.push_back(std::move(j));
      }
    }
    if (!ok || cells.empty())
      continue;
    const auto ours = DecodeFile(fs::path(BIFFLENS_CORPUS_DIR) / file);
    for (const json& cell : cells) {
      ++total;
      const TCellKey key{cell["caption"].get<std::string>(), cell["row"].get<int>(),
                         cell["col"].get<int>()};
      const std::string peer = cell["formula"].get<std::string>();
      const auto found = ours.find(key);
      const std::string mine = found == ours.end() ? "(no formula)" : found->second;
      if (Normalize(mine) == Normalize(peer)) {
        ++agreed;
        ++strictlyAgreed;
        continue;
      }
      if (WithoutWholeColumnDollars(Normalize(mine)) ==
          WithoutWholeColumnDollars(Normalize(PeerToExcel(peer)))) {
        ++agreed;
        ++peerConventions;
        continue;
      }
      std::cout << "difference: " << file << " " << key.Sheet << " R" << key.Row + 1 << "C"
                << key.Column + 1 << ": ours [" << mine << "] peer [" << peer << "]\n";
    }
  }
  std::cout << "formula agreement: " << agreed << " of " << total << " (" << strictlyAgreed
            << " as written, " << peerConventions
            << " once the peer's own forms are written as Excel's)\n";
  ASSERT_GT(total, 1000u);
  EXPECT_GE(static_cast<double>(agreed), 0.995 * static_cast<double>(total));
}

// The formula zoo (corpus/formula-zoo, see its README): the same formulas
// written by two other spreadsheet programs, BIFF8 and BIFF7, and the text
// Excel shows for every cell. Every cell must agree once the expected
// text's own forms (the peer's, which made most of it) are Excel's.
TEST(FormulaZoo, EveryCellReadsAsExcelShowsIt)
{
  const fs::path dir = fs::path(BIFFLENS_CORPUS_DIR) / "formula-zoo";
  if (!fs::is_directory(dir / "expected"))
    GTEST_SKIP() << "no formula zoo at " << dir;
  std::size_t total = 0;
  for (const char* file : {"zoo_lo8.xls", "zoo_gnm8.xls", "zoo_gnm7.xls"}) {
    SCOPED_TRACE(file);
    const auto ours = DecodeFile(dir / file);
    std::ifstream in(dir / "expected" / (std::string(file) + ".jsonl"));
    std::string line;
    std::size_t cells = 0;
    while (std::getline(in, line)) {
      const json j = json::parse(line);
      if (j.value("meta", false))
        continue;
      ++cells;
      const TCellKey key{j["caption"].get<std::string>(), j["row"].get<int>(),
                         j["col"].get<int>()};
      const std::string expected = j["formula"].get<std::string>();
      const auto found = ours.find(key);
      ASSERT_NE(found, ours.end()) << key.Sheet << " R" << key.Row + 1 << "C" << key.Column + 1;
      EXPECT_EQ(WithoutWholeColumnDollars(Normalize(found->second)),
                WithoutWholeColumnDollars(Normalize(PeerToExcel(expected))))
          << key.Sheet << " R" << key.Row + 1 << "C" << key.Column + 1 << " expected "
          << expected;
    }
    total += cells;
  }
  EXPECT_EQ(total, 398u);
}

TEST(FormulaCorpusNormalize, WritesThePeersOwnFormsAsExcelDoes)
{
  EXPECT_EQ(PeerToExcel("SUM($A1:$IV3)+$A$2:$IV$2+$A1:$IV1A"), "SUM(1:3)+$2:$2+$A1:$IV1A");
  EXPECT_EQ(PeerToExcel("SUM(Data:'Sheet 2'!A1)+'Sheet 2'!B1+a:'x'!C1"),
            "SUM('Data:Sheet 2'!A1)+'Sheet 2'!B1+'a:x'!C1");
  EXPECT_EQ(WithoutWholeColumnDollars("VLOOKUP(A1,$A:$B,2)+Sheet1!C:$D"),
            "VLOOKUP(A1,A:B,2)+Sheet1!C:D");
  EXPECT_EQ(WithoutWholeColumnDollars("'AB:CD'!A1+AB:CD!A1+$A1:$B2"), "'AB:CD'!A1+AB:CD!A1+$A1:$B2");
  EXPECT_EQ(PeerPathToExcel("'[/TCM/Reports/Book 1.xls]Sheet 1'!S9+1"),
            "'\\TCM\\Reports\\[Book 1.xls]Sheet 1'!S9+1");
  EXPECT_EQ(PeerPathToExcel("[/a/b.xls]S!A1"), "'\\a\\[b.xls]S'!A1");
  EXPECT_EQ(PeerPathToExcel("[b.xls]S!A1"), "[b.xls]S!A1");
}

TEST(FormulaCorpusNormalize, DropsSpacesOutsideQuotesAndCapitalisesFunctions)
{
  EXPECT_EQ(Normalize("sum( A1 , 'My Sheet'!B2 )&\" a \""), "SUM(A1,'My Sheet'!B2)&\" a \"");
  EXPECT_EQ(Normalize("'it''s x'!A1+\"say \"\"x y\"\"\""), "'it''s x'!A1+\"say \"\"x y\"\"\"");
  EXPECT_EQ(Normalize("Total + total"), "Total+total");
}

}  // namespace
