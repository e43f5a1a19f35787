// Exported functions of the settings record and its registry persistence. Each forwards to the
// settings record; none touches the phone book.
#include "interface/session.h"
#include "interface/telbook.h"

using telbook::FromHandle;

extern "C" {

TL_EXPORT int TL_CALLER TL_ReadFaxFileInfo(TL_FaxUtl* session, const char* keyword_value_name) {
  return FromHandle(session)->settings.ReadFaxFileInfo(keyword_value_name);
}

TL_EXPORT int TL_CALLER TL_WriteFaxFileInfo(TL_FaxUtl* session, const void*) {
  return FromHandle(session)->settings.WriteFaxFileInfo();
}

TL_EXPORT int TL_CALLER TL_WriteKeyWordInfo(TL_FaxUtl* session, const char* keyword_value_name) {
  return FromHandle(session)->settings.WriteKeyWordInfo(keyword_value_name);
}

TL_EXPORT void TL_CALLER TL_IniInfoGetFileName(TL_FaxUtl* session, char* file_name) {
  FromHandle(session)->settings.GetFileName(file_name);
}

TL_EXPORT void TL_CALLER TL_IniInfoGetKeyWordInfo(TL_FaxUtl* session, TL_KeyWordInfo* out) {
  FromHandle(session)->settings.GetKeyWordInfo(out);
}

TL_EXPORT void TL_CALLER TL_IniInfoSetKeyWordInfo(TL_FaxUtl* session, const TL_KeyWordInfo* in) {
  FromHandle(session)->settings.SetKeyWordInfo(in);
}

TL_EXPORT void TL_CALLER TL_IniInfoSetFuriganaTab(TL_FaxUtl* session, int32_t value) {
  FromHandle(session)->settings.SetFuriganaTab(value);
}

TL_EXPORT void TL_CALLER TL_IniInfoGetFuriganaTab(TL_FaxUtl* session, int32_t* out) {
  FromHandle(session)->settings.GetFuriganaTab(out);
}

TL_EXPORT void TL_CALLER TL_IniInfoSetPhoneBookColumn(TL_FaxUtl* session,
                                                      const TL_PhoneBookColumn* in) {
  FromHandle(session)->settings.SetPhoneBookColumn(in);
}

TL_EXPORT void TL_CALLER TL_IniInfoGetPhoneBookColumn(TL_FaxUtl* session, TL_PhoneBookColumn* out) {
  FromHandle(session)->settings.GetPhoneBookColumn(out);
}

TL_EXPORT void TL_CALLER TL_IniInfoSetPhoneBookSort(TL_FaxUtl* session,
                                                    const TL_PhoneBookSort* in) {
  FromHandle(session)->settings.SetPhoneBookSort(in);
}

TL_EXPORT void TL_CALLER TL_IniInfoGetPhoneBookSort(TL_FaxUtl* session, TL_PhoneBookSort* out) {
  FromHandle(session)->settings.GetPhoneBookSort(out);
}

TL_EXPORT void TL_CALLER TL_IniInfoSetRecipentsColumn(TL_FaxUtl* session,
                                                      const TL_RecipentsColumn* in) {
  FromHandle(session)->settings.SetRecipentsColumn(in);
}

TL_EXPORT void TL_CALLER TL_IniInfoGetRecipentsColumn(TL_FaxUtl* session, TL_RecipentsColumn* out) {
  FromHandle(session)->settings.GetRecipentsColumn(out);
}

TL_EXPORT void TL_CALLER TL_IniInfoSetSearchInfo(TL_FaxUtl* session, const TL_SearchInfo* in) {
  FromHandle(session)->settings.SetSearchInfo(in);
}

TL_EXPORT void TL_CALLER TL_IniInfoGetSearchInfo(TL_FaxUtl* session, TL_SearchInfo* out) {
  FromHandle(session)->settings.GetSearchInfo(out);
}

TL_EXPORT void TL_CALLEE TL_IniInfoGetCurrSrchItem(TL_FaxUtl* session, unsigned short* out) {
  FromHandle(session)->settings.GetCurrSrchItem(out);
}

TL_EXPORT void TL_CALLEE TL_IniInfoSetCurrSrchItem(TL_FaxUtl* session, unsigned short value) {
  FromHandle(session)->settings.SetCurrSrchItem(value);
}

TL_EXPORT void TL_CALLEE TL_IniInfoGetCurrSrchKeyWord(TL_FaxUtl* session, unsigned short* out) {
  FromHandle(session)->settings.GetCurrSrchKeyWord(out);
}

TL_EXPORT void TL_CALLEE TL_IniInfoSetCurrSrchKeyWord(TL_FaxUtl* session, uint32_t value) {
  FromHandle(session)->settings.SetCurrSrchKeyWord(value);
}

TL_EXPORT void TL_CALLEE TL_IniInfoGetCurrSrchCondition(TL_FaxUtl* session, unsigned short* out) {
  FromHandle(session)->settings.GetCurrSrchCondition(out);
}

TL_EXPORT void TL_CALLEE TL_IniInfoSetCurrSrchCondition(TL_FaxUtl* session, unsigned short value) {
  FromHandle(session)->settings.SetCurrSrchCondition(value);
}

}  // extern "C"
