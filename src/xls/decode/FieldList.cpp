#include "xls/decode/FieldList.h"

#include <algorithm>

std::string MissingText(std::size_t recordEnd)
{
  return "missing: record ends at byte " + std::to_string(recordEnd);
}

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
  field.Text = MissingText(recordEnd);
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

void TFieldList::NotePartSize(int part, std::size_t size)
{
  if (part < 0)
    return;
  const auto index = static_cast<std::size_t>(part);
  if (FPartSizes.size() <= index)
    FPartSizes.resize(index + 1, 0);
  FPartSizes[index] = size;
}

void TFieldList::End(std::size_t endOffset)
{
  if (FOpen.empty())
    return;
  TRecordField& group = *FOpen.back();
  FOpen.pop_back();
  if (group.Part == FPart) {
    group.Size = endOffset >= group.Offset ? endOffset - group.Offset : 0;
    return;
  }
  // A group that went on into another part ends, in its own, where that
  // part ends; its fields in later parts say where they lie.
  const auto part = static_cast<std::size_t>(group.Part);
  const std::size_t partEnd = part < FPartSizes.size() ? FPartSizes[part] : group.Offset;
  group.Size = partEnd >= group.Offset ? partEnd - group.Offset : 0;
}

std::vector<TRecordField> TFieldList::TakeFields()
{
  FOpen.clear();
  return std::move(FFields);
}

std::size_t PartPosition(const std::vector<std::size_t>& partStarts, int part, std::size_t offset)
{
  if (part <= 0 || partStarts.empty())
    return offset;
  const auto index = std::min(static_cast<std::size_t>(part), partStarts.size() - 1);
  return partStarts[index] + offset;
}

TFieldExtent FieldExtent(const TRecordField& field, const std::vector<std::size_t>& partStarts,
                         std::size_t recordEnd)
{
  const std::size_t first = PartPosition(partStarts, field.Part, field.Offset);
  if (field.Lazy)
    return {first, std::max(first, recordEnd)};
  if (field.Fields.empty() || field.BitCount > 0)
    return {first, first + field.Size};
  TFieldExtent extent{first, first + field.Size};
  for (const TRecordField& inner : field.Fields) {
    const TFieldExtent e = FieldExtent(inner, partStarts, recordEnd);
    extent.First = std::min(extent.First, e.First);
    extent.End = std::max(extent.End, e.End);
  }
  return extent;
}
