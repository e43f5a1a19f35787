// Exported functions of personal entries and groups. Each forwards to the component that owns
// the operation and returns its result unchanged.
#include <cstdint>

#include "interface/session.h"
#include "interface/telbook.h"

using telbook::FromHandle;

extern "C" {

TL_EXPORT short TL_CALLEE TL_writeKojin(TL_FaxUtl* session, const TL_Kojin* entry,
                                        unsigned short* record_number, unsigned short) {
  return FromHandle(session)->writer.WriteKojin(entry, record_number);
}

TL_EXPORT short TL_CALLEE TL_openGroup(TL_FaxUtl* session, unsigned short record_number) {
  return FromHandle(session)->group_reader.OpenGroup(record_number);
}

TL_EXPORT short TL_CALLEE TL_closeGroup(TL_FaxUtl* session) {
  return FromHandle(session)->group_reader.CloseGroup();
}

TL_EXPORT short TL_CALLEE TL_readGroupData(TL_FaxUtl* session, TL_Group* group) {
  return FromHandle(session)->group_reader.ReadGroupData(group);
}

TL_EXPORT short TL_CALLEE TL_readGroupMember(TL_FaxUtl* session, TL_ListItem* item) {
  return FromHandle(session)->group_reader.ReadGroupMember(item);
}

TL_EXPORT short TL_CALLEE TL_writeGroup(TL_FaxUtl* session, const TL_Group* group,
                                        unsigned short* record_number, unsigned short member_count,
                                        const unsigned short* members) {
  return FromHandle(session)->writer.WriteGroup(group, record_number, member_count, members);
}

TL_EXPORT short TL_CALLEE TL_deleteKojin(TL_FaxUtl* session, unsigned short record_number) {
  return FromHandle(session)->deleter.DeleteKojin(record_number);
}

TL_EXPORT short TL_CALLEE TL_deleteGroup(TL_FaxUtl* session, unsigned short record_number) {
  return FromHandle(session)->deleter.DeleteGroup(record_number);
}

}  // extern "C"
