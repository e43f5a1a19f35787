// Exported function of the export of chosen entries and groups. It forwards to the export
// driver and returns its result unchanged.
#include "interface/session.h"
#include "interface/telbook.h"

using telbook::FromHandle;

extern "C" {

TL_EXPORT short TL_CALLEE TL_writeSrchData(TL_FaxUtl* session, const unsigned short* personal,
                                           int personal_count, const unsigned short* groups,
                                           int group_count, int format, const char* path,
                                           short* empty_group) {
  return FromHandle(session)->export_driver.WriteSrchData(
      personal, static_cast<uint32_t>(personal_count), groups, static_cast<uint32_t>(group_count),
      static_cast<uint32_t>(format), path, empty_group);
}

}  // extern "C"
