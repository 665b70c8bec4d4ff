#pragma once

// Layouts of the records of a chart substream ([MS-XLS] 2.4.x, codes 0x1001
// to 0x1068). A chart is a tree of blocks: a record that opens a block is
// followed by BEGIN, its children, and END; the inspector shows the path of
// opening records a record sits in (ChartBlockPath). Each record's own
// fields are fixed words, colours, numbers and flags.

#include "xls/RecordCodes.h"
#include "xls/decode/Layout.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ChartLayout {

inline constexpr TNamedValue kLinePatterns[] = {
    {0, "solid"}, {1, "dash"}, {2, "dot"}, {3, "dash-dot"}, {4, "dash-dot-dot"},
    {5, "none"}, {6, "dark grey"}, {7, "medium grey"}, {8, "light grey"}};
inline constexpr TNamedValue kLineWeights[] = {
    {-1, "hairline"}, {0, "narrow"}, {1, "medium"}, {2, "wide"}};
inline constexpr TNamedValue kMarkers[] = {
    {0, "none"}, {1, "square"}, {2, "diamond"}, {3, "triangle"}, {4, "X"}, {5, "star"},
    {6, "Dow Jones"}, {7, "standard deviation"}, {8, "circle"}, {9, "plus"}};
inline constexpr TNamedValue kAxisTypes[] = {{0, "category"}, {1, "value"}, {2, "series"}};
inline constexpr TNamedValue kSeriesDataTypes[] = {{0, "dates"}, {1, "numeric"}, {2, "sequence"}, {3, "text"}};
inline constexpr TNamedValue kLinkedObjects[] = {
    {1, "chart title"}, {2, "value axis"}, {3, "category axis"}, {4, "series or data point"},
    {7, "series axis"}, {12, "display units"}};
inline constexpr TNamedValue kAxisLines[] = {
    {0, "axis line"}, {1, "major gridlines"}, {2, "minor gridlines"}, {3, "walls or floor"}};
inline constexpr TNamedValue kBraiIds[] = {
    {0, "title or text"}, {1, "series values"}, {2, "categories"}, {3, "bubble sizes"}};
inline constexpr TNamedValue kBraiTypes[] = {{0, "automatic"}, {1, "literal"}, {2, "reference"}};
inline constexpr TNamedValue kSiIndexes[] = {{1, "series values"}, {2, "categories"}, {3, "bubble sizes"}};
inline constexpr TNamedValue kPositionModes[] = {
    {0, "relative to the chart (MDFX)"}, {1, "absolute (MDABS)"}, {2, "parent (MDPARENT)"},
    {3, "kind-specific (MDKTH)"}, {5, "chart points (MDCHART)"}};
inline constexpr TNamedValue kTickMarks[] = {{0, "none"}, {1, "inside"}, {2, "outside"}, {3, "crossing"}};
inline constexpr TNamedValue kTickLabels[] = {{0, "none"}, {1, "low"}, {2, "high"}, {3, "next to the axis"}};

}  // namespace ChartLayout

/// The chart records of fixed layout.
struct TChartDecoder {
  template <typename C, typename TOut>
  void operator()(C& c, const TDecodeContext& context, std::uint16_t code, TOut&&) const
  {
    using namespace ChartLayout;
    const auto named = [&](std::int64_t value, const auto& names) {
      c.Meaning([&] { return NameOf(names, value); });
    };
    switch (code) {
    case kRecChartUnits: c.U16("reserved"); break;
    case kRecChart:
      ReadFixedPoint(c, "x");
      ReadFixedPoint(c, "y");
      ReadFixedPoint(c, "width");
      ReadFixedPoint(c, "height");
      break;
    case kRecChartSeries:
      named(c.U16("categories_type"), kSeriesDataTypes);
      named(c.U16("values_type"), kSeriesDataTypes);
      c.U16("categories");
      c.U16("values");
      named(c.U16("bubbles_type"), kSeriesDataTypes);
      c.U16("bubbles");
      break;
    case kRecChartDataFormat:
      c.U16("point");
      c.U16("series");
      c.U16("series_order");
      c.U16("options");
      break;
    case kRecChartLineFormat:
      ReadLongRgb(c, "color");
      named(c.U16("pattern"), kLinePatterns);
      named(c.I16("weight"), kLineWeights);
      c.U16("options");
      c.Flag("auto", 0);
      c.Flag("axis_on", 2);
      c.Flag("auto_color", 3);
      if (c.Remaining() >= 2)
        c.U16("color_index");
      break;
    case kRecChartMarkerFormat:
      ReadLongRgb(c, "foreground");
      ReadLongRgb(c, "background");
      named(c.U16("marker"), kMarkers);
      c.U16("options");
      c.Flag("auto", 0);
      c.Flag("no_foreground", 4);
      c.Flag("no_background", 5);
      if (c.Remaining() >= 8) {
        c.U16("foreground_index");
        c.U16("background_index");
        c.U32("size");
      }
      break;
    case kRecChartAreaFormat:
      ReadLongRgb(c, "foreground");
      ReadLongRgb(c, "background");
      c.U16("pattern");
      c.U16("options");
      c.Flag("auto", 0);
      c.Flag("invert_negative", 1);
      if (c.Remaining() >= 4) {
        c.U16("foreground_index");
        c.U16("background_index");
      }
      break;
    case kRecChartPieFormat: c.I16("explosion"); break;
    case kRecChartAttachedLabel:
      c.U16("options");
      c.Flag("value", 0);
      c.Flag("percent", 1);
      c.Flag("label_and_percent", 2);
      c.Flag("label", 4);
      c.Flag("bubble_sizes", 5);
      c.Flag("series_name", 6);
      break;
    case kRecChartSeriesText:
      c.U16("id");
      if (context.Biff8())
        ReadUnicodeString8(c, "length", "text");
      else
        ReadByteString8(c, context, "length", "text");
      break;
    case kRecChartFormat:
      c.Skip("reserved", 16);
      c.U16("options");
      c.Flag("varied_colors", 0);
      c.U16("drawing_order");
      break;
    case kRecChartLegend:
      c.U32("x");
      c.U32("y");
      c.U32("width");
      c.U32("height");
      c.U8("type");
      c.U8("spacing");
      c.U16("options");
      c.Flag("auto_position", 0);
      c.Flag("auto_x", 2);
      c.Flag("auto_y", 3);
      c.Flag("vertical", 4);
      c.Flag("was_data_table", 5);
      break;
    case kRecChartSeriesList: {
      const std::size_t count = c.U16("count");
      for (std::size_t i = 0; i < count && !c.Short(); ++i)
        c.U16("series");
      break;
    }
    case kRecChartBar:
      c.I16("overlap");
      c.U16("gap");
      c.U16("options");
      c.Flag("horizontal", 0);
      c.Flag("stacked", 1);
      c.Flag("percent", 2);
      c.Flag("shadow", 3);
      break;
    case kRecChartLine:
    case kRecChartArea:
      c.U16("options");
      c.Flag("stacked", 0);
      c.Flag("percent", 1);
      c.Flag("shadow", 2);
      break;
    case kRecChartPie:
      c.U16("start_angle");
      c.U16("donut_hole");
      c.U16("options");
      c.Flag("shadow", 0);
      c.Flag("leader_lines", 1);
      break;
    case kRecChartScatter:
      c.U16("bubble_size_ratio");
      c.U16("bubble_size");
      c.U16("options");
      c.Flag("bubbles", 0);
      c.Flag("negative_bubbles", 1);
      c.Flag("shadow", 2);
      break;
    case kRecChartChartLine: {
      const std::uint16_t id = c.U16("type");
      c.Meaning([&] {
        static constexpr TNamedValue kLines[] = {
            {0, "drop lines"}, {1, "high-low lines"}, {2, "series lines"}, {3, "leader lines"}};
        return NameOf(kLines, id);
      });
      break;
    }
    case kRecChartAxis:
      named(c.U16("type"), kAxisTypes);
      c.Skip("reserved", 16);
      break;
    case kRecChartTick:
      named(c.U8("major"), kTickMarks);
      named(c.U8("minor"), kTickMarks);
      named(c.U8("labels"), kTickLabels);
      c.U8("background");
      ReadLongRgb(c, "color");
      c.Skip("reserved", 16);
      c.U16("options");
      c.Flag("auto_color", 0);
      c.Flag("auto_mode", 1);
      c.Bits("rotation", 2, 3);
      c.Flag("auto_rotation", 5);
      c.Bits("reading_order", 14, 2);
      if (c.Remaining() >= 4) {
        c.U16("color_index");
        c.U16("rotation");
      }
      break;
    case kRecChartValueRange:
      c.F64("min");
      c.F64("max");
      c.F64("major");
      c.F64("minor");
      c.F64("cross");
      c.U16("options");
      c.Flag("auto_min", 0);
      c.Flag("auto_max", 1);
      c.Flag("auto_major", 2);
      c.Flag("auto_minor", 3);
      c.Flag("auto_cross", 4);
      c.Flag("log_scale", 5);
      c.Flag("reversed", 6);
      c.Flag("max_cross", 7);
      break;
    case kRecChartCatSerRange:
      c.I16("cross");
      c.I16("label_frequency");
      c.I16("mark_frequency");
      c.U16("options");
      c.Flag("between", 0);
      c.Flag("max_cross", 1);
      c.Flag("reversed", 2);
      break;
    case kRecChartAxisLine: named(c.U16("line"), kAxisLines); break;
    case kRecChartFormatLink: c.Skip("reserved", 10); break;
    case kRecChartDefaultText: c.U16("id"); break;
    case kRecChartText:
      c.U8("horizontal_align");
      c.U8("vertical_align");
      c.U16("background");
      ReadLongRgb(c, "color");
      c.I32("x");
      c.I32("y");
      c.I32("width");
      c.I32("height");
      c.U16("options");
      c.Flag("auto_color", 0);
      c.Flag("show_key", 1);
      c.Flag("show_value", 2);
      c.Flag("auto_text", 4);
      c.Flag("generated", 5);
      c.Flag("deleted", 6);
      c.Flag("auto_mode", 7);
      c.Flag("show_label_and_percent", 11);
      c.Flag("show_percent", 12);
      c.Flag("show_bubble_sizes", 13);
      c.Flag("show_label", 14);
      if (c.Remaining() >= 6) {
        c.U16("color_index");
        c.U16("options2");
        c.Bits("label_position", 0, 4);
        c.Bits("reading_order", 14, 2);
        c.U16("rotation");
      }
      break;
    case kRecChartFontX: {
      const std::uint16_t font = c.U16("font");
      c.Link(TFieldLinkKind::lkFont);
      c.Meaning([&] { return FontIndexText(font); });
      break;
    }
    case kRecChartObjectLink:
      named(c.U16("object"), kLinkedObjects);
      c.U16("series");
      c.U16("point");
      break;
    case kRecChartFrame:
      c.U16("border");
      c.U16("options");
      c.Flag("auto_size", 0);
      c.Flag("auto_position", 1);
      break;
    case kRecChart3d:
      c.U16("rotation");
      c.I16("elevation");
      c.U16("distance");
      c.U16("height");
      c.U16("depth");
      c.U16("gap");
      c.U16("options");
      c.Flag("perspective", 0);
      c.Flag("clustered", 1);
      c.Flag("auto_scaling", 2);
      c.Flag("not_pie", 4);
      c.Flag("walls_2d", 5);
      break;
    case kRecChartPicF:
      c.U16("picture_type");
      c.U16("unused");
      c.U16("options");
      c.F64("scale");
      break;
    case kRecChartDropBar: c.I16("gap"); break;
    case kRecChartRadar:
    case kRecChartRadarArea:
      c.U16("options");
      c.Flag("axis_labels", 0);
      c.Flag("shadow", 1);
      c.U16("unused");
      break;
    case kRecChartSurf:
      c.U16("options");
      c.Flag("fill", 0);
      c.Flag("phong_shading", 1);
      break;
    case kRecChartAxisParent: {
      const std::uint16_t axis = c.U16("axis_group");
      c.Meaning([&] { return std::string(axis == 0 ? "primary axes" : "secondary axes"); });
      c.I32("x");
      c.I32("y");
      c.I32("width");
      c.I32("height");
      break;
    }
    case kRecChartLegendException:
      c.U16("series");
      c.U16("options");
      c.Flag("deleted", 0);
      c.Flag("label", 1);
      break;
    case kRecChartShtProps: {
      c.U16("options");
      c.Flag("manual_series", 0);
      c.Flag("plot_visible_only", 1);
      c.Flag("not_size_with_window", 2);
      c.Flag("manual_plot_area", 3);
      c.Flag("always_auto_plot_area", 4);
      const std::uint8_t blanks = c.U8("blanks_as");
      c.Meaning([&] {
        static constexpr TNamedValue kBlanks[] = {{0, "gaps"}, {1, "zero"}, {2, "interpolated"}};
        return NameOf(kBlanks, blanks);
      });
      if (c.Remaining() > 0)
        c.U8("unused");
      break;
    }
    case kRecChartSerToCrt: c.U16("chart_group"); break;
    case kRecChartAxesUsed: c.U16("axis_groups"); break;
    case kRecChartSerParent: c.U16("series"); break;
    case kRecChartSerAuxTrend:
      c.U8("type");
      c.U8("order");
      c.F64("intercept");
      c.U8("show_equation");
      c.U8("show_r_squared");
      c.F64("forecast");
      c.F64("backcast");
      break;
    case kRecChartIFmt: {
      const std::uint16_t format = c.U16("format");
      c.Link(TFieldLinkKind::lkFormat);
      c.Meaning([&] { return "number format " + std::to_string(format); });
      break;
    }
    case kRecChartPos:
      named(c.U16("top_left_mode"), kPositionModes);
      named(c.U16("bottom_right_mode"), kPositionModes);
      c.I16("x1");
      c.U16("unused1");
      c.I16("y1");
      c.U16("unused2");
      c.I16("x2");
      c.U16("unused3");
      c.I16("y2");
      c.U16("unused4");
      break;
    case kRecChartAlRuns: {
      const std::size_t count = c.U16("count");
      for (std::size_t i = 0; i < count && !c.Short(); ++i) {
        c.Begin("run");
        c.U16("first_char");
        const std::uint16_t font = c.U16("font");
        c.Link(TFieldLinkKind::lkFont);
        c.Meaning([&] { return FontIndexText(font); });
        c.End();
      }
      break;
    }
    case kRecChartBrai: {
      named(c.U8("id"), kBraiIds);
      named(c.U8("reference_type"), kBraiTypes);
      c.U16("options");
      c.Flag("own_number_format", 0);
      const std::uint16_t format = c.U16("format");
      c.Link(TFieldLinkKind::lkFormat);
      c.Meaning([&] { return "number format " + std::to_string(format); });
      const std::size_t size = ReadByteCount16(c, "formula_size");
      ReadTokens(c, size);
      break;
    }
    case kRecChartSerAuxErrBar:
      c.U8("type");
      c.U8("source");
      c.U8("tee_top");
      c.U8("reserved");
      c.F64("value");
      c.U16("values");
      break;
    case kRecChartClrtClient: {
      const std::size_t count = c.U16("count");
      for (std::size_t i = 0; i < count && !c.Short(); ++i)
        ReadLongRgb(c, "color");
      break;
    }
    case kRecChartSerFmt:
      c.U16("options");
      c.Flag("smoothed", 0);
      c.Flag("bubbles_3d", 1);
      c.Flag("shadow", 2);
      break;
    case kRecChart3dBarShape:
      c.U8("riser");
      c.U8("taper");
      break;
    case kRecChartFbi:
    case kRecChartFbi2: {
      c.U16("width");
      c.U16("height");
      c.U16("basis");
      c.U16("scale");
      const std::uint16_t font = c.U16("font");
      c.Link(TFieldLinkKind::lkFont);
      c.Meaning([&] { return FontIndexText(font); });
      break;
    }
    case kRecChartBopPop:
      c.U8("type");
      c.U8("auto_split");
      c.U16("split");
      c.I16("split_position");
      c.I16("split_percent");
      c.I16("second_pie_size");
      c.I16("gap");
      c.F64("split_value");
      c.U16("options");
      c.Flag("shadow", 0);
      break;
    case kRecChartAxcExt:
      c.U16("min");
      c.U16("max");
      c.U16("major");
      c.U16("major_unit");
      c.U16("minor");
      c.U16("minor_unit");
      c.U16("base_unit");
      c.U16("cross_date");
      c.U16("options");
      c.Flag("auto_min", 0);
      c.Flag("auto_max", 1);
      c.Flag("auto_major", 2);
      c.Flag("auto_minor", 3);
      c.Flag("date_axis", 4);
      c.Flag("auto_base", 5);
      c.Flag("auto_cross", 6);
      c.Flag("auto_date", 7);
      break;
    case kRecChartDat:
      c.U16("options");
      c.Flag("horizontal_borders", 0);
      c.Flag("vertical_borders", 1);
      c.Flag("outline", 2);
      c.Flag("series_keys", 3);
      break;
    case kRecChartPlotGrowth:
      ReadFixedPoint(c, "x_growth");
      ReadFixedPoint(c, "y_growth");
      break;
    case kRecChartSiIndex: named(c.U16("index"), kSiIndexes); break;
    case kRecChartBopPopCustom: {
      const std::size_t bits = c.U16("bit_count");
      c.BytesUpTo("points", (bits + 7) / 8);
      break;
    }
    default: break;
    }
    c.SkipRest("unused");
  }
};

/// Where a chart record stands in the chart's tree of blocks: the records
/// that opened the blocks around it, outermost first. `codes` are the
/// records of the chart substream from its BOF up to the record itself.
/// Unbalanced END records (a damaged stream) are passed over.
std::vector<std::uint16_t> ChartBlockPath(std::span<const std::uint16_t> codes);
