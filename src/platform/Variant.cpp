#include "platform/Variant.h"

TVariant TVariant::Null()
{
  TVariant v;
  v.FPayload = TNullValue{};
  return v;
}

TVariant TVariant::Date(double days)
{
  TVariant v;
  v.FPayload = TDateValue{days};
  return v;
}

TVariant TVariant::Currency(TCurrencyValue value)
{
  TVariant v;
  v.FPayload = value;
  return v;
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
