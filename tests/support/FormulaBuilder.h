#pragma once

// Builds formula token arrays (and the constant data after them) for tests,
// from the token layouts of each BIFF version, independent of the decoder:
//
//   const auto f = TFormulaBuilder(TExcelVersion::evExcel8)
//       .Ref(0, 0).Int(2).Op(kFbMul).Build();   // A1*2
//   decoder.Decode(f.Tokens, f.Extra, {0, 1});
//
// Operand tokens are written in the value class (0x40 + number) unless a
// helper takes a class; the class does not change the text.

#include "xls/MSExcel.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Operator tokens for Op().
inline constexpr std::uint8_t kFbAdd = 0x03;
inline constexpr std::uint8_t kFbSub = 0x04;
inline constexpr std::uint8_t kFbMul = 0x05;
inline constexpr std::uint8_t kFbDiv = 0x06;
inline constexpr std::uint8_t kFbPower = 0x07;
inline constexpr std::uint8_t kFbConcat = 0x08;
inline constexpr std::uint8_t kFbLt = 0x09;
inline constexpr std::uint8_t kFbLe = 0x0A;
inline constexpr std::uint8_t kFbEq = 0x0B;
inline constexpr std::uint8_t kFbGe = 0x0C;
inline constexpr std::uint8_t kFbGt = 0x0D;
inline constexpr std::uint8_t kFbNe = 0x0E;
inline constexpr std::uint8_t kFbIsect = 0x0F;
inline constexpr std::uint8_t kFbUnion = 0x10;
inline constexpr std::uint8_t kFbRange = 0x11;
inline constexpr std::uint8_t kFbUplus = 0x12;
inline constexpr std::uint8_t kFbUminus = 0x13;
inline constexpr std::uint8_t kFbPercent = 0x14;
inline constexpr std::uint8_t kFbParen = 0x15;

// Token classes.
inline constexpr std::uint8_t kFbRefClass = 0x20;
inline constexpr std::uint8_t kFbValueClass = 0x40;
inline constexpr std::uint8_t kFbArrayClass = 0x60;

/// One value of an array constant.
struct TArrayValue {
  enum class TKind { akNil, akNumber, akString, akBool, akError } Kind = TKind::akNil;
  double Number = 0;
  std::string Text;  // akString: UTF-8 (BIFF8, written 8-bit when Latin-1) or raw bytes (before)
  bool Wide = false; // akString in BIFF8: UTF-16 even when Latin-1 would do
  std::uint8_t Code = 0;  // akBool (0/1), akError

  static TArrayValue Nil() { return {}; }
  static TArrayValue Num(double v)
  {
    TArrayValue a;
    a.Kind = TKind::akNumber;
    a.Number = v;
    return a;
  }
  static TArrayValue Str(std::string_view s, bool wide = false)
  {
    TArrayValue a;
    a.Kind = TKind::akString;
    a.Text = std::string(s);
    a.Wide = wide;
    return a;
  }
  static TArrayValue Bool(bool v)
  {
    TArrayValue a;
    a.Kind = TKind::akBool;
    a.Code = v ? 1 : 0;
    return a;
  }
  static TArrayValue Err(std::uint8_t code)
  {
    TArrayValue a;
    a.Kind = TKind::akError;
    a.Code = code;
    return a;
  }
};

/// Tokens and data, as a record holds them one after the other.
struct TBuiltFormula {
  std::vector<std::uint8_t> Tokens;
  std::vector<std::uint8_t> Extra;
};

class TFormulaBuilder {
public:
  explicit TFormulaBuilder(TExcelVersion version = TExcelVersion::evExcel8) : FVersion(version) {}

  // Constants.
  TFormulaBuilder& Int(std::uint16_t value);
  TFormulaBuilder& Num(double value);
  /// tStr: BIFF8 8-bit when `utf8` is Latin-1 and `wide` is false, UTF-16
  /// otherwise; before BIFF8 the bytes of `utf8` as they are.
  TFormulaBuilder& Str(std::string_view utf8, bool wide = false);
  TFormulaBuilder& Bool(bool value);
  TFormulaBuilder& Err(std::uint8_t code);
  TFormulaBuilder& MissArg();
  /// tArray, and its values (row by row) appended to the data.
  TFormulaBuilder& Array(std::size_t columns, std::size_t rows,
                         std::initializer_list<TArrayValue> values,
                         std::uint8_t cls = kFbArrayClass);

  // Operators.
  TFormulaBuilder& Op(std::uint8_t ptg);

  // References: a cell's row and column, relative unless said absolute.
  TFormulaBuilder& Ref(std::uint32_t row, std::uint32_t column, bool rowRelative = true,
                       bool columnRelative = true, std::uint8_t cls = kFbValueClass);
  TFormulaBuilder& Area(std::uint32_t row1, std::uint32_t column1, std::uint32_t row2,
                        std::uint32_t column2, bool relative = true,
                        std::uint8_t cls = kFbRefClass);
  /// An area whose rows and columns have their own relative flags.
  TFormulaBuilder& AreaFlags(std::uint32_t row1, std::uint32_t column1, std::uint32_t row2,
                             std::uint32_t column2, bool rowRelative, bool columnRelative);
  /// tRefN/tAreaN: relative parts are offsets.
  TFormulaBuilder& RefN(int row, int column, bool rowRelative = true, bool columnRelative = true);
  TFormulaBuilder& AreaN(int row1, int column1, int row2, int column2);
  TFormulaBuilder& RefErr();
  TFormulaBuilder& AreaErr();
  /// BIFF8 3D reference through XTI `ixti`.
  TFormulaBuilder& Ref3d(std::uint16_t ixti, std::uint32_t row, std::uint32_t column,
                         bool relative = true);
  TFormulaBuilder& Area3d(std::uint16_t ixti, std::uint32_t row1, std::uint32_t column1,
                          std::uint32_t row2, std::uint32_t column2, bool relative = true);
  TFormulaBuilder& RefErr3d(std::uint16_t ixti);
  /// BIFF5-7 3D reference: EXTERNSHEET number (negative: own book) and
  /// first and last sheet.
  TFormulaBuilder& Ref3d5(std::int16_t ixals, std::int16_t first, std::int16_t last,
                          std::uint32_t row, std::uint32_t column, bool relative = true);
  TFormulaBuilder& Area3d5(std::int16_t ixals, std::int16_t first, std::int16_t last,
                           std::uint32_t row1, std::uint32_t column1, std::uint32_t row2,
                           std::uint32_t column2);
  /// BIFF2-4 tSheet / tEndSheet around external references.
  TFormulaBuilder& Sheet(std::int16_t externSheet);
  TFormulaBuilder& EndSheet();

  // Names.
  TFormulaBuilder& Name(std::uint16_t index, std::uint8_t cls = kFbRefClass);
  /// BIFF8: XTI number and name number.
  TFormulaBuilder& NameX(std::uint16_t ixti, std::uint16_t index);
  /// BIFF5-7: EXTERNSHEET number and name number.
  TFormulaBuilder& NameX5(std::int16_t ixals, std::uint16_t index);

  // Functions.
  TFormulaBuilder& Func(std::uint16_t index, std::uint8_t cls = kFbValueClass);
  TFormulaBuilder& FuncVar(std::uint16_t index, std::uint8_t count, bool command = false,
                           bool prompt = false, std::uint8_t cls = kFbValueClass);
  /// BIFF2-3 command-equivalent function.
  TFormulaBuilder& FuncCE(std::uint8_t index, std::uint8_t count);

  // tAttr.
  TFormulaBuilder& Attr(std::uint8_t flags, std::uint16_t data);
  TFormulaBuilder& Volatile() { return Attr(0x01, 0); }
  TFormulaBuilder& AttrIf(std::uint16_t jump) { return Attr(0x02, jump); }
  TFormulaBuilder& AttrSkip(std::uint16_t jump) { return Attr(0x08, jump); }
  TFormulaBuilder& AttrSum() { return Attr(0x10, 0); }
  /// tAttrChoose with a jump table of count + 1 entries.
  TFormulaBuilder& AttrChoose(std::uint16_t count);
  TFormulaBuilder& Space(std::uint8_t type, std::uint8_t count);

  // Subexpressions and shared formulas.
  TFormulaBuilder& MemArea(std::uint16_t cce, std::initializer_list<std::uint32_t> rangeRows = {});
  TFormulaBuilder& MemFunc(std::uint16_t cce);
  TFormulaBuilder& Exp(std::uint16_t row, std::uint16_t column);
  TFormulaBuilder& Tbl(std::uint16_t row, std::uint16_t column);

  TFormulaBuilder& Raw(std::initializer_list<std::uint8_t> bytes);
  TFormulaBuilder& RawExtra(std::initializer_list<std::uint8_t> bytes);

  std::size_t Size() const { return FTokens.size(); }
  TBuiltFormula Build() const { return {FTokens, FExtra}; }

private:
  bool Biff8() const { return FVersion >= TExcelVersion::evExcel8; }
  bool Biff2() const { return FVersion < TExcelVersion::evExcel3; }
  void U8(std::uint8_t v) { FTokens.push_back(v); }
  void U16(std::uint16_t v);
  void CellFields(std::uint32_t row, std::uint32_t column, bool rowRelative, bool columnRelative);
  void AreaFields(std::uint32_t row1, std::uint32_t column1, std::uint32_t row2,
                  std::uint32_t column2, bool rowRelative, bool columnRelative);
  void ExtraU16(std::uint16_t v);

  TExcelVersion FVersion;
  std::vector<std::uint8_t> FTokens;
  std::vector<std::uint8_t> FExtra;
};
