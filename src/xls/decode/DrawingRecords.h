#pragma once

// Layouts of the drawing records (MSODRAWINGGROUP, MSODRAWING,
// MSODRAWINGSELECTION, and the drawing inside HFPICTURE and the chart's
// GELFRAME): they carry OfficeArt records ([MS-ODRAW] 2.1): an 8-byte
// header (version and instance, type, length), then either more records
// (a container, version 0xF) or the atom's data. A sheet's drawing is one
// OfficeArt stream cut into several MSODRAWING records with OBJ and TXO
// records between; a container that goes on past its record says so.

#include "xls/RecordCodes.h"
#include "xls/decode/Layout.h"
#include "xls/decode/PartCursor.h"

#include <cstdint>
#include <string>

namespace DrawingLayout {

// [MS-ODRAW] 2.2 record types.
inline constexpr TNamedValue kRecordTypes[] = {
    {0xF000, "OfficeArtDggContainer"},   {0xF001, "OfficeArtBStoreContainer"},
    {0xF002, "OfficeArtDgContainer"},    {0xF003, "OfficeArtSpgrContainer"},
    {0xF004, "OfficeArtSpContainer"},    {0xF005, "OfficeArtSolverContainer"},
    {0xF006, "OfficeArtFDGGBlock"},      {0xF007, "OfficeArtFBSE"},
    {0xF008, "OfficeArtFDG"},            {0xF009, "OfficeArtFSPGR"},
    {0xF00A, "OfficeArtFSP"},            {0xF00B, "OfficeArtFOPT"},
    {0xF00D, "OfficeArtClientTextbox"},  {0xF00F, "OfficeArtChildAnchor"},
    {0xF010, "OfficeArtClientAnchor"},   {0xF011, "OfficeArtClientData"},
    {0xF012, "OfficeArtFConnectorRule"}, {0xF014, "OfficeArtFArcRule"},
    {0xF017, "OfficeArtFCalloutRule"},   {0xF01A, "OfficeArtBlipEMF"},
    {0xF01B, "OfficeArtBlipWMF"},        {0xF01C, "OfficeArtBlipPICT"},
    {0xF01D, "OfficeArtBlipJPEG"},       {0xF01E, "OfficeArtBlipPNG"},
    {0xF01F, "OfficeArtBlipDIB"},        {0xF029, "OfficeArtBlipTIFF"},
    {0xF02A, "OfficeArtBlipJPEG (CMYK)"}, {0xF118, "OfficeArtFRITContainer"},
    {0xF119, "OfficeArtFDGSL"},          {0xF11A, "OfficeArtColorMRUContainer"},
    {0xF11D, "OfficeArtFPSPL"},          {0xF11E, "OfficeArtSplitMenuColorContainer"},
    {0xF121, "OfficeArtSecondaryFOPT"},  {0xF122, "OfficeArtTertiaryFOPT"},
};

inline constexpr std::uint16_t kFdgg = 0xF006;
inline constexpr std::uint16_t kFdg = 0xF008;
inline constexpr std::uint16_t kFsp = 0xF00A;
inline constexpr std::uint16_t kFopt = 0xF00B;
inline constexpr std::uint16_t kClientAnchor = 0xF010;
inline constexpr std::uint16_t kSecondaryFopt = 0xF121;
inline constexpr std::uint16_t kTertiaryFopt = 0xF122;
inline constexpr std::size_t kClientAnchorSize = 18;
inline constexpr std::uint16_t kVersionMask = 0x0F;

/// Containers nest at most this deep here; deeper ones are shown raw.
inline constexpr int kMaxDepth = 10;
inline constexpr std::uint16_t kContainerVersion = 0xF;

}  // namespace DrawingLayout

/// Reads `size` bytes of data across the parts: a field per part they lie
/// in. Returns the bytes there were.
template <typename TFields>
std::uint64_t ReadAcrossParts(TBasicPartCursor<TFields>& parts, std::uint64_t size, const char* name)
{
  std::uint64_t done = 0;
  while (done < size) {
    auto* c = &parts.Current();
    if (c->Remaining() == 0) {
      if (!parts.NextPart())
        break;
      continue;
    }
    const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(size - done, c->Remaining()));
    c->Bytes(name, piece);
    done += piece;
  }
  return done;
}

/// The data of an atom whose bytes lie in one part, field by field for the
/// atoms that say where shapes are and what they are.
template <typename C>
void ReadOfficeArtAtom(C& c, std::uint16_t type, std::uint16_t instance, std::size_t size)
{
  using namespace DrawingLayout;
  const std::size_t end = c.Position() + size;
  switch (type) {
  case kFsp:  // FSP: the shape's id and options; the instance is its shape type
    c.U32("shape_id");
    c.U32("options");
    c.Flag("group", 0);
    c.Flag("child", 1);
    c.Flag("patriarch", 2);
    c.Flag("deleted", 3);
    c.Flag("ole_shape", 4);
    c.Flag("have_master", 5);
    c.Flag("flip_h", 6);
    c.Flag("flip_v", 7);
    c.Flag("connector", 8);
    c.Flag("have_anchor", 9);
    c.Flag("background", 10);
    c.Flag("have_shape_type", 11);
    break;
  case kFdg:  // FDG: the drawing's shape count and last shape id
    c.U32("shapes");
    c.U32("last_shape_id");
    break;
  case kFdgg:  // FDGGBlock: the workbook's shape ids
    c.U32("max_shape_id");
    c.U32("id_clusters_plus_1");
    c.U32("shapes_saved");
    c.U32("drawings_saved");
    while (c.Position() + 8 <= end) {
      c.Begin("id_cluster");
      c.U32("drawing");
      c.U32("shapes");
      c.End();
    }
    break;
  case kClientAnchor:  // Excel's: the cells the shape spans
    if (size >= kClientAnchorSize) {
      c.U16("options");
      c.Flag("move", 0);
      c.Flag("size", 1);
      c.U16("left_col");
      c.U16("left_offset");
      c.U16("top_row");
      c.U16("top_offset");
      c.U16("right_col");
      c.U16("right_offset");
      c.U16("bottom_row");
      c.U16("bottom_offset");
    }
    break;
  case kFopt:  // the instance counts the properties
  case kSecondaryFopt:
  case kTertiaryFopt:
    for (std::size_t i = 0; i < instance && c.Position() + 6 <= end; ++i) {
      c.Begin("property");
      c.U16("id");
      c.Bits("number", 0, 14);
      c.Flag("blip_id", 14);
      c.Flag("complex", 15);
      c.U32("value");
      c.End();
    }
    break;
  default: break;
  }
  if (c.Position() < end)
    c.BytesUpTo("data", end - c.Position());
}

/// OfficeArt records from the part cursor's position until `length` bytes
/// are read or the parts end; returns the bytes read.
template <typename TFields>
std::uint64_t ReadOfficeArt(TBasicPartCursor<TFields>& parts, std::uint64_t length, int depth)
{
  using namespace DrawingLayout;
  std::uint64_t done = 0;
  while (done < length) {
    auto* c = &parts.Current();
    if (c->Remaining() == 0) {
      if (!parts.NextPart())
        break;
      continue;
    }
    if (c->Remaining() < 8 || length - done < 8) {
      // Too few bytes for a header: they are not a record of their own.
      const std::size_t rest = static_cast<std::size_t>(std::min<std::uint64_t>(c->Remaining(), length - done));
      c->Bytes("unread", rest);
      done += rest;
      continue;
    }
    c->Begin("record");
    const std::uint16_t head = c->U16("version_instance");
    c->Bits("version", 0, 4);
    c->Bits("instance", 4, 12);
    const std::uint16_t type = c->U16("type");
    c->Meaning([&] { return NameOf(kRecordTypes, type); });
    const std::uint32_t size = c->U32("length");
    done += 8;
    const std::uint64_t body = std::min<std::uint64_t>(size, length - done);
    std::uint64_t read = 0;
    if ((head & kVersionMask) == kContainerVersion && depth < kMaxDepth) {
      read = ReadOfficeArt(parts, body, depth + 1);
    } else if (body <= parts.Current().Remaining()) {
      ReadOfficeArtAtom(parts.Current(), type, static_cast<std::uint16_t>(head >> 4),
                        static_cast<std::size_t>(body));
      read = body;
    } else {
      read = ReadAcrossParts(parts, body, "data");
    }
    done += read;
    parts.Current().End();
    parts.Current().Meaning([&] {
      std::string text = NameOf(kRecordTypes, type);
      if (read < size)
        text += ", goes on past this record";
      return text;
    });
    if (read < body)
      break;  // the parts ended
  }
  return done;
}

/// MSODRAWINGGROUP, MSODRAWING, MSODRAWINGSELECTION: OfficeArt records
/// running over the record and its CONTINUE records.
struct TDrawingDecoder {
  template <typename TFields, typename TOut>
  void operator()(TBasicPartCursor<TFields>& parts, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    ReadOfficeArt(parts, ~std::uint64_t{0}, 0);
  }
};

/// HFPICTURE: a picture of a page header or footer, as drawing records
/// after the future record's header and options.
struct THfPictureDecoder {
  template <typename TFields, typename TOut>
  void operator()(TBasicPartCursor<TFields>& parts, const TDecodeContext&, std::uint16_t, TOut&&) const
  {
    auto& c = parts.Current();
    ReadFrtHeader(c);
    c.U16("options");
    c.Flag("drawing", 0);
    c.Flag("drawing_group", 1);
    c.Flag("continued", 2);
    if (!c.Short())
      ReadOfficeArt(parts, ~std::uint64_t{0}, 0);
  }
};
