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

// What the macros analysis says (Macros.h); "%s" stands for a name or number.
inline constexpr char kMacroNoteLocked[] =
    "The workbook is encrypted and no password opened it: the records' contents were not read";
inline constexpr char kMacroNoteCancelled[] = "The reading was stopped before its end";
inline constexpr char kMacroStateHidden[] = "hidden";
inline constexpr char kMacroStateVeryHidden[] = "very hidden";
inline constexpr char kMacroStateMisplaced[] = "misplaced";
/// The structure check's macro findings.
inline constexpr char kLintVbaProject[] = "VBA project in %s with %s";
inline constexpr char kLintStompedVba[] =
    "module %s holds compiled code but no source: the source was removed (%s)";
inline constexpr char kLintMacroSheet[] = "Excel 4 macro sheet \"%s\" with %s";
inline constexpr char kLintIntlMacroSheet[] = "international Excel 4 macro sheet \"%s\" with %s";
inline constexpr char kLintAutorunName[] = "the name %s runs %s by itself";
inline constexpr char kLintAutorunProcedure[] = "the procedure %s of module %s runs by itself";
inline constexpr char kLintVeryHiddenSheet[] = "sheet \"%s\" is very hidden: only a program can show it";
inline constexpr char kLintDdeLink[] = "DDE link %s";
inline constexpr char kLintOleLink[] = "OLE link %s";
inline constexpr char kLintExternalBook[] = "link to the workbook %s";
inline constexpr char kLintAddIn[] = "add-in function %s";
inline constexpr char kLintWebQuery[] = "web query reading %s";
inline constexpr char kLintEmbeddedObject[] = "embedded object in %s%s";
inline constexpr char kLintEmbeddedMissing[] = "; the container has no such storage";
