#pragma once

#include <cstdint>
#include <vector>

/// A big BIFF8 workbook made with the test writer: `sheets` worksheets of
/// `rows` rows by 12 columns mixing every common cell record (NUMBER, RK,
/// MULRK, LABELSST, FORMULA with number and text results, BOOLERR, dates),
/// a ROW record per row, inside a compound file. 4 sheets of 65,536 rows
/// give about 3.4 million records.
std::vector<std::uint8_t> GenerateWorkbook(int sheets, int rows);
