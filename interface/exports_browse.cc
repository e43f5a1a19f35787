// Exported functions of the index tabs and of reading one personal entry, which the tab browser
// runs. Each forwards to it and returns its result unchanged.
#include <cstdint>

#include "interface/session.h"
#include "interface/telbook.h"

using telbook::FromHandle;

extern "C" {

TL_EXPORT short TL_CALLEE TL_readKojin(TL_FaxUtl* session, TL_Kojin* entry,
                                       unsigned short record_number) {
  return FromHandle(session)->tab_browser.ReadKojin(record_number, entry);
}

TL_EXPORT short TL_CALLEE TL_openTag(TL_FaxUtl* session, int tab_code) {
  return FromHandle(session)->tab_browser.OpenTag(static_cast<uint8_t>(tab_code));
}

TL_EXPORT short TL_CALLEE TL_closeTag(TL_FaxUtl* session) {
  return FromHandle(session)->tab_browser.CloseTag();
}

TL_EXPORT short TL_CALLEE TL_readTagWeightCount(TL_FaxUtl* session, int tab_code,
                                                unsigned short* count) {
  return FromHandle(session)->tab_browser.ReadTagWeightCount(static_cast<uint8_t>(tab_code), count);
}

TL_EXPORT short TL_CALLEE TL_readTagData(TL_FaxUtl* session, int tab_code, TL_ListItem* item) {
  return FromHandle(session)->tab_browser.ReadTagData(static_cast<uint8_t>(tab_code), item);
}

}  // extern "C"
