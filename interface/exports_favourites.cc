// Exported functions of the favourite category names; the group reader runs both.
// Only the low 16 bits of the index count, as the host passes a 16-bit value in a 32-bit slot.
#include "interface/session.h"
#include "interface/telbook.h"

using telbook::FromHandle;

extern "C" {

TL_EXPORT short TL_CALLEE TL_readOkonomi(TL_FaxUtl* session, int index, char* names) {
  return FromHandle(session)->group_reader.favourites.Read(static_cast<uint16_t>(index), names);
}

TL_EXPORT short TL_CALLEE TL_writeOkonomi(TL_FaxUtl* session, int index, const char* names) {
  return FromHandle(session)->group_reader.favourites.Write(static_cast<uint16_t>(index), names);
}

}  // extern "C"
