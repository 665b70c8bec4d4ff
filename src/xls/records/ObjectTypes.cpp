// The catalogue's entries for drawings, objects and text boxes: one entry and
// one decoder per record type, in code order.

#include "xls/records/TypeEntries.h"

namespace {

constexpr TRecordType kTypes[] = {
    Layout<TNoteDecoder>(kRecNote, "NOTE"),
    Layout<TObjDecoder>(kRecObj, "OBJ"),
    Continued<TDrawingDecoder>(kRecMsoDrawingGroup, "MSODRAWINGGROUP"),
    Continued<TDrawingDecoder>(kRecMsoDrawing, "MSODRAWING"),
    Continued<TDrawingDecoder>(kRecMsoDrawingSelection, "MSODRAWINGSELECTION"),
    Layout<TCondFmtDecoder>(kRecCondFmt, "CONDFMT"),
    Layout<TCfDecoder>(kRecCf, "CF"),
    Layout<TDValDecoder>(kRecDVal, "DVAL", "DVAL"),
    Continued<TTxoDecoder>(kRecTxo, "TXO"),
    Layout<THLinkDecoder>(kRecHLink, "HLINK", "HLINK"),
    Layout<TDvDecoder>(kRecDv, "DV"),
};

}  // namespace

std::span<const TRecordType> ObjectRecordTypes()
{
  return kTypes;
}
