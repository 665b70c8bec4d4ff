#pragma once

#include <cstdint>
#include <vector>

/// A big BIFF8 workbook made with the test writer: `sheets` worksheets of
/// `rows` rows by 12 columns mixing every common cell record (NUMBER, RK,
/// MULRK, LABELSST, FORMULA with number and text results, BOOLERR, dates),
/// a ROW record per row, inside a compound file. 4 sheets of 65,536 rows
/// give about 3.4 million records.
std::vector<std::uint8_t> GenerateWorkbook(int sheets, int rows);

/// A BIFF8 workbook of `sheets` worksheets of `rows` rows: a number, a
/// formula of its own ("A1*2", re-based per row) and a shared formula
/// (blocks of 16 rows sharing "A1+B1" through SHRFMLA) per row: half the
/// formula cells point to a shared master.
std::vector<std::uint8_t> GenerateFormulaWorkbook(int sheets, int rows);
