// Exported functions of the session and the phone book file. Each forwards to the component
// that owns the operation and returns its result unchanged.
#include "interface/session.h"
#include "interface/telbook.h"

using telbook::FromHandle;
using telbook::Session;

extern "C" {

#if defined(_WIN32)
TL_EXPORT int TL_CALLEE DllEntryPoint(void*, uint32_t, void*) { return 1; }
#endif

TL_EXPORT TL_FaxUtl* TL_CALLER TL_CreateFaxUtl(void) {
  return telbook::ToHandle(Session::Create(telbook::SessionEnv()));
}

TL_EXPORT void TL_CALLER TL_DestroyFaxUtl(TL_FaxUtl* session) {
  Session::Destroy(FromHandle(session));
}

TL_EXPORT short TL_CALLEE TL_getErrorInfo(TL_FaxUtl* session, unsigned short* category,
                                          unsigned short* detail) {
  telbook::ErrorPair error = FromHandle(session)->store.error();
  if (category != nullptr) *category = error.category;
  if (detail != nullptr) *detail = error.detail;
  return 0;
}

TL_EXPORT short TL_CALLEE TL_createDataBase(TL_FaxUtl* session, const char* path) {
  return FromHandle(session)->CreateDataBase(path);
}

TL_EXPORT short TL_CALLEE TL_openDataBase(TL_FaxUtl* session, const char* path) {
  return FromHandle(session)->OpenDataBase(path);
}

TL_EXPORT short TL_CALLEE TL_closeDataBase(TL_FaxUtl* session, short discard) {
  return FromHandle(session)->closer.Close(static_cast<uint16_t>(discard));
}

TL_EXPORT short TL_CALLER TL_getFileVersion(TL_FaxUtl* session) {
  Session* s = FromHandle(session);
  return s->store.is_open() ? static_cast<short>(s->store.format_version) : 0;
}

TL_EXPORT short TL_CALLEE TL_readDataCount(TL_FaxUtl* session, unsigned short* personal_count,
                                           unsigned short* group_count) {
  Session* s = FromHandle(session);
  uint16_t personal = 0;
  uint16_t groups = 0;
  short status = telbook::kOk;
  if (s->store.is_open()) {
    personal = s->store.personal_count();
    groups = s->store.group_count();
  } else {
    s->store.RecordError(telbook::category::kBuffers, telbook::detail::kOpenFailed);
    status = telbook::kFailed;
  }
  if (personal_count != nullptr) *personal_count = personal;
  if (group_count != nullptr) *group_count = groups;
  return status;
}

}  // extern "C"
