#include "platform/Variant.h"

#include <memory>

TVariant::TVariant(std::string value) : FType(TVarType::vtString)
{
  auto block = std::make_unique<TTextBlock>();
  block->Text = std::move(value);
  // The value owns the block from here on, through its count.
  FPayload.Text = block.release();
}

TVariant TVariant::Null()
{
  TVariant v;
  v.FType = TVarType::vtNull;
  return v;
}

TVariant TVariant::Date(double days)
{
  TVariant v;
  v.FType = TVarType::vtDate;
  v.FPayload.Double = days;
  return v;
}

TVariant TVariant::Currency(TCurrencyValue value)
{
  TVariant v;
  v.FType = TVarType::vtCurrency;
  v.FPayload.Scaled = value.Scaled;
  return v;
}

void TVariant::FreeText(TTextBlock* block) noexcept
{
  std::unique_ptr<TTextBlock>{block};
}

bool TVariant::operator==(const TVariant& other) const
{
  if (FType != other.FType)
    return false;
  switch (FType) {
  case TVarType::vtEmpty:
  case TVarType::vtNull: return true;
  case TVarType::vtInteger: return FPayload.Integer == other.FPayload.Integer;
  case TVarType::vtDouble:
  case TVarType::vtDate: return FPayload.Double == other.FPayload.Double;
  case TVarType::vtString:
    return FPayload.Text == other.FPayload.Text || FPayload.Text->Text == other.FPayload.Text->Text;
  case TVarType::vtBoolean: return FPayload.Boolean == other.FPayload.Boolean;
  case TVarType::vtCurrency: return FPayload.Scaled == other.FPayload.Scaled;
  }
  return false;
}

const char* VarTypeName(TVarType type)
{
  switch (type) {
  case TVarType::vtEmpty: return "empty";
  case TVarType::vtNull: return "null";
  case TVarType::vtInteger: return "integer";
  case TVarType::vtDouble: return "double";
  case TVarType::vtDate: return "date";
  case TVarType::vtString: return "string";
  case TVarType::vtBoolean: return "boolean";
  case TVarType::vtCurrency: return "currency";
  }
  return "empty";
}
