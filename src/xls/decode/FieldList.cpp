#include "xls/decode/FieldList.h"

std::vector<TRecordField>& TFieldList::Target()
{
  return FOpen.empty() ? FFields : FOpen.back()->Fields;
}

void TFieldList::Add(std::string_view name, std::size_t offset, std::size_t size,
                     TFieldValue value)
{
  TRecordField field;
  field.Name = name;
  field.Offset = offset;
  field.Size = size;
  field.Value = std::move(value);
  field.Part = FPart;
  Target().push_back(std::move(field));
}

void TFieldList::AddMissing(std::string_view name, std::size_t offset, std::size_t present,
                            std::size_t recordEnd)
{
  Add(name, offset, present, std::string());
  TRecordField& field = *Last();
  field.Missing = true;
  field.Text = "missing: record ends at byte " + std::to_string(recordEnd);
}

TRecordField* TFieldList::Last()
{
  std::vector<TRecordField>& target = Target();
  return target.empty() ? nullptr : &target.back();
}

void TFieldList::Begin(std::string_view name, std::size_t offset)
{
  Add(name, offset, 0, std::string());
  FOpen.push_back(&Target().back());
}

void TFieldList::End(std::size_t endOffset)
{
  if (FOpen.empty())
    return;
  TRecordField& group = *FOpen.back();
  FOpen.pop_back();
  // A group that went on into another part ends where its own part ends.
  group.Size = group.Part == FPart && endOffset >= group.Offset ? endOffset - group.Offset : 0;
}
