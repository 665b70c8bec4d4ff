#pragma once

// Fixed texts of the opened workbook and what the views read of it.

/// A record handed to the listed records from outside the stream they keep.
inline constexpr char kMsgRecordListNeedsStream[] =
    "The record list needs the records of one whole workbook stream";
/// Kinds of substream in the outline, by their BOF's type.
inline constexpr char kSubstreamGlobals[] = "Workbook globals";
inline constexpr char kSubstreamVbModule[] = "VB module";
inline constexpr char kSubstreamWorksheet[] = "Worksheet";
inline constexpr char kSubstreamChart[] = "Chart";
inline constexpr char kSubstreamMacroSheet[] = "Macro sheet";
inline constexpr char kSubstreamWorkspace[] = "Workspace";
inline constexpr char kSubstreamOther[] = "Substream";
