// Exported functions of the record enumerator: the walk over every record that the host's own
// search runs on. Each forwards to the enumerator and returns its result unchanged.
#include "interface/session.h"
#include "interface/telbook.h"

using telbook::FromHandle;

extern "C" {

TL_EXPORT short TL_CALLEE TL_beginSRCH(TL_FaxUtl* session, unsigned short* count) {
  return FromHandle(session)->enumerator.Begin(count);
}

TL_EXPORT short TL_CALLEE TL_readSrchData(TL_FaxUtl* session, TL_ListItem* item) {
  return FromHandle(session)->enumerator.Read(item);
}

TL_EXPORT short TL_CALLEE TL_endSRCH(TL_FaxUtl* session) {
  return FromHandle(session)->enumerator.End();
}

}  // extern "C"
