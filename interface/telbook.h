/* telbook: phone book library of the PC-fax front end.
 * Public interface: the exported TL_ functions and the packed host structures. C and C++. */
#ifndef TELBOOK_TELBOOK_H_
#define TELBOOK_TELBOOK_H_

#include <stdint.h>

#if defined(_WIN32)
#define TL_CALLEE __stdcall
#define TL_CALLER __cdecl
#define TL_EXPORT
#else
#define TL_CALLEE
#define TL_CALLER
#define TL_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The session object; opaque to the host. */
typedef struct TL_FaxUtl TL_FaxUtl;

#pragma pack(push, 1)

/* Personal entry (896 bytes). Texts are zero-terminated code page 932. */
typedef struct TL_Kojin {
  uint16_t HostWord1;
  uint16_t HostWord2;
  uint8_t AltDestFlag;
  char Name[41];
  char Furigana[81];
  char Affiliation[83];
  char FaxNumber[129];
  char SpeedDial[4];
  char Phone[33];
  char EMail[257];
  char Memo[65];
  char FCode[21];
  char PCode[21];
  char BoxNumber[17];
  char BoxPassword[17];
  char HostText1[17];
  char RelayId[17];
  char BroadcastList[65];
  char HostText2[17];
  uint8_t LineType;
  uint8_t Favourite;
  uint8_t CommMode;
  uint8_t HostByte1;
  uint8_t HostByte2;
  uint8_t RelayOutput;
} TL_Kojin;

/* Summary of a personal entry or a group (696 bytes). */
typedef struct TL_ListItem {
  uint16_t RecordNumber;
  uint8_t Kind;
  char Name[41];
  char Furigana[81];
  char Affiliation[83];
  char FaxNumber[129];
  char SpeedDial[4];
  char Phone[33];
  char EMail[257];
  char Memo[65];
} TL_ListItem;

/* Group (129 bytes). */
typedef struct TL_Group {
  uint16_t HostWord1;
  uint16_t HostWord2;
  char Name[41];
  char Furigana[81];
  uint16_t MemberCount;
  uint8_t Favourite;
} TL_Group;

/* Keyword list of the settings (822 bytes). */
typedef struct TL_KeyWordInfo {
  uint16_t Count;
  char KeyWord[10][82];
} TL_KeyWordInfo;

typedef struct TL_PhoneBookColumn {
  int32_t Stored;
  uint16_t Width[5];
} TL_PhoneBookColumn;

typedef struct TL_PhoneBookSort {
  int32_t Stored;
  int32_t SortItem;
  int32_t SortOrder;
} TL_PhoneBookSort;

typedef struct TL_RecipentsColumn {
  int32_t Stored;
  uint16_t Width[4];
} TL_RecipentsColumn;

typedef struct TL_SearchInfo {
  int32_t Stored;
  uint16_t SearchCategory;
  uint16_t SearchOption;
} TL_SearchInfo;

#pragma pack(pop)

#ifdef __cplusplus
#define TL_STATIC_ASSERT static_assert
#else
#define TL_STATIC_ASSERT _Static_assert
#endif
TL_STATIC_ASSERT(sizeof(TL_Kojin) == 896, "TL_Kojin is 896 bytes");
TL_STATIC_ASSERT(sizeof(TL_ListItem) == 696, "TL_ListItem is 696 bytes");
TL_STATIC_ASSERT(sizeof(TL_Group) == 129, "TL_Group is 129 bytes");
TL_STATIC_ASSERT(sizeof(TL_KeyWordInfo) == 822, "TL_KeyWordInfo is 822 bytes");
TL_STATIC_ASSERT(sizeof(TL_PhoneBookColumn) == 14, "TL_PhoneBookColumn is 14 bytes");
TL_STATIC_ASSERT(sizeof(TL_PhoneBookSort) == 12, "TL_PhoneBookSort is 12 bytes");
TL_STATIC_ASSERT(sizeof(TL_RecipentsColumn) == 12, "TL_RecipentsColumn is 12 bytes");
TL_STATIC_ASSERT(sizeof(TL_SearchInfo) == 8, "TL_SearchInfo is 8 bytes");

/* Statuses are signed 16-bit: 0 success, -1 failure (the error pair tells which), and a few
 * operation-specific values. 16-bit arguments take one 32-bit stack slot each. */

/* ---- Library and session ---- */
#if defined(_WIN32)
TL_EXPORT int TL_CALLEE DllEntryPoint(void* instance, uint32_t reason, void* reserved);
#endif
TL_EXPORT TL_FaxUtl* TL_CALLER TL_CreateFaxUtl(void);
TL_EXPORT void TL_CALLER TL_DestroyFaxUtl(TL_FaxUtl* session);
/* Writes the error pair of the last recorded failure; a null pointer is skipped. Returns 0. */
TL_EXPORT short TL_CALLEE TL_getErrorInfo(TL_FaxUtl* session, unsigned short* category,
                                          unsigned short* detail);

/* ---- Phone book file ---- */
TL_EXPORT short TL_CALLEE TL_createDataBase(TL_FaxUtl* session, const char* path);
/* Returns -2 when the file is in use by another program. */
TL_EXPORT short TL_CALLEE TL_openDataBase(TL_FaxUtl* session, const char* path);
/* discard 0 saves the changes; any other value drops them. */
TL_EXPORT short TL_CALLEE TL_closeDataBase(TL_FaxUtl* session, short discard);
TL_EXPORT short TL_CALLER TL_getFileVersion(TL_FaxUtl* session);
TL_EXPORT short TL_CALLEE TL_readDataCount(TL_FaxUtl* session, unsigned short* personal_count,
                                           unsigned short* group_count);

/* ---- Records ---- */

/* Favourite category names, in 16-byte places: index 0 for all of them (five places, 80 bytes),
 * 1 to 5 for one. Only the low 16 bits of index count. */
TL_EXPORT short TL_CALLEE TL_readOkonomi(TL_FaxUtl* session, int index, char* names);
TL_EXPORT short TL_CALLEE TL_writeOkonomi(TL_FaxUtl* session, int index, const char* names);

/* Personal entries 1 to 9999 and groups 16385 to 21384 (groups 21385 to 26383 are read only).
 * Texts handed out are cut to their fields and always terminated. */
TL_EXPORT short TL_CALLEE TL_readKojin(TL_FaxUtl* session, TL_Kojin* entry,
                                       unsigned short record_number);
/* *record_number 0 adds an entry under the lowest free number; the number used comes back.
 * host_value is accepted and ignored. Returns 5 when the phone book holds 9999 entries. */
TL_EXPORT short TL_CALLEE TL_writeKojin(TL_FaxUtl* session, const TL_Kojin* entry,
                                        unsigned short* record_number, unsigned short host_value);
/* One group is loaded at a time; a later write to it is seen after it is opened again. */
TL_EXPORT short TL_CALLEE TL_openGroup(TL_FaxUtl* session, unsigned short record_number);
TL_EXPORT short TL_CALLEE TL_closeGroup(TL_FaxUtl* session);
TL_EXPORT short TL_CALLEE TL_readGroupData(TL_FaxUtl* session, TL_Group* group);
TL_EXPORT short TL_CALLEE TL_readGroupMember(TL_FaxUtl* session, TL_ListItem* item);
/* Stores member_count record numbers from members (at most 9999). Returns 5 when no group
 * number is free. */
TL_EXPORT short TL_CALLEE TL_writeGroup(TL_FaxUtl* session, const TL_Group* group,
                                        unsigned short* record_number,
                                        unsigned short member_count,
                                        const unsigned short* members);
/* Removes personal entry 1 to 9999, and takes its number out of every group that lists it, so
 * that an entry added later under the same number joins no group. Removes group 16385 to 26383.
 * The record is gone for reads, tabs, the search walk and exports at once, and its number is
 * free for the next write; the phone book file changes at a saving close. A failure changes
 * nothing. See the README for the error pairs. */
TL_EXPORT short TL_CALLEE TL_deleteKojin(TL_FaxUtl* session, unsigned short record_number);
TL_EXPORT short TL_CALLEE TL_deleteGroup(TL_FaxUtl* session, unsigned short record_number);

/* ---- Index tabs and search ---- */

/* Tab codes: 0x01 to 0x0B a reading class (0x0A the わ row with ー, 0x0B every other initial),
 * 0x10 to 0x50 a favourite category. Only the low byte of tab_code counts. */
TL_EXPORT short TL_CALLEE TL_openTag(TL_FaxUtl* session, int tab_code);
TL_EXPORT short TL_CALLEE TL_closeTag(TL_FaxUtl* session);
TL_EXPORT short TL_CALLEE TL_readTagWeightCount(TL_FaxUtl* session, int tab_code,
                                                unsigned short* count);
TL_EXPORT short TL_CALLEE TL_readTagData(TL_FaxUtl* session, int tab_code, TL_ListItem* item);

/* The search walk: every record once, personal entries in number order, then groups.
 * TL_beginSRCH writes the number of records announced; TL_readSrchData fills the next one.
 * Both return -1 without an error pair while a walk runs (begin), before begin or after the last
 * record (read), and with no phone book open. TL_endSRCH always returns 0. */
TL_EXPORT short TL_CALLEE TL_beginSRCH(TL_FaxUtl* session, unsigned short* count);
TL_EXPORT short TL_CALLEE TL_readSrchData(TL_FaxUtl* session, TL_ListItem* item);
TL_EXPORT short TL_CALLEE TL_endSRCH(TL_FaxUtl* session);

/* ---- Export ---- */

/* Writes the chosen personal entries, the chosen groups and their members to path: format 1 a
 * phone book holding only them, any other format a comma-separated text file. Only the low 16
 * bits of the counts (at most 9999 each) and of format count. An existing file at path is
 * replaced in one step, and only when the whole export succeeded. *empty_group (may be null) is
 * set to 1 when the phone book export meets a chosen group without members; never cleared. */
TL_EXPORT short TL_CALLEE TL_writeSrchData(TL_FaxUtl* session, const unsigned short* personal,
                                           int personal_count, const unsigned short* groups,
                                           int group_count, int format, const char* path,
                                           short* empty_group);

/* ---- Settings ---- */

/* Registry below HKEY_CURRENT_USER. TL_ReadFaxFileInfo resets every setting (the current search
 * choices included) and loads the stored ones; returns 0. TL_WriteFaxFileInfo stores the view
 * settings (its second argument is not read) and TL_WriteKeyWordInfo the keyword list under the
 * given value name; both return 1 when the (last) value was stored, else 0. */
TL_EXPORT int TL_CALLER TL_ReadFaxFileInfo(TL_FaxUtl* session, const char* keyword_value_name);
TL_EXPORT int TL_CALLER TL_WriteFaxFileInfo(TL_FaxUtl* session, const void* unused);
TL_EXPORT int TL_CALLER TL_WriteKeyWordInfo(TL_FaxUtl* session, const char* keyword_value_name);

/* The settings record. Structures are copied whole; null pointers are ignored. */
TL_EXPORT void TL_CALLER TL_IniInfoGetFileName(TL_FaxUtl* session, char* file_name);
TL_EXPORT void TL_CALLER TL_IniInfoGetKeyWordInfo(TL_FaxUtl* session, TL_KeyWordInfo* out);
TL_EXPORT void TL_CALLER TL_IniInfoSetKeyWordInfo(TL_FaxUtl* session, const TL_KeyWordInfo* in);
TL_EXPORT void TL_CALLER TL_IniInfoSetFuriganaTab(TL_FaxUtl* session, int32_t value);
TL_EXPORT void TL_CALLER TL_IniInfoGetFuriganaTab(TL_FaxUtl* session, int32_t* out);
TL_EXPORT void TL_CALLER TL_IniInfoSetPhoneBookColumn(TL_FaxUtl* session,
                                                      const TL_PhoneBookColumn* in);
TL_EXPORT void TL_CALLER TL_IniInfoGetPhoneBookColumn(TL_FaxUtl* session, TL_PhoneBookColumn* out);
TL_EXPORT void TL_CALLER TL_IniInfoSetPhoneBookSort(TL_FaxUtl* session, const TL_PhoneBookSort* in);
TL_EXPORT void TL_CALLER TL_IniInfoGetPhoneBookSort(TL_FaxUtl* session, TL_PhoneBookSort* out);
TL_EXPORT void TL_CALLER TL_IniInfoSetRecipentsColumn(TL_FaxUtl* session,
                                                      const TL_RecipentsColumn* in);
TL_EXPORT void TL_CALLER TL_IniInfoGetRecipentsColumn(TL_FaxUtl* session, TL_RecipentsColumn* out);
TL_EXPORT void TL_CALLER TL_IniInfoSetSearchInfo(TL_FaxUtl* session, const TL_SearchInfo* in);
TL_EXPORT void TL_CALLER TL_IniInfoGetSearchInfo(TL_FaxUtl* session, TL_SearchInfo* out);

/* Current search choices, kept for the host and never stored. The keyword choice keeps only the
 * low 16 bits of the value set. */
TL_EXPORT void TL_CALLEE TL_IniInfoGetCurrSrchItem(TL_FaxUtl* session, unsigned short* out);
TL_EXPORT void TL_CALLEE TL_IniInfoSetCurrSrchItem(TL_FaxUtl* session, unsigned short value);
TL_EXPORT void TL_CALLEE TL_IniInfoGetCurrSrchKeyWord(TL_FaxUtl* session, unsigned short* out);
TL_EXPORT void TL_CALLEE TL_IniInfoSetCurrSrchKeyWord(TL_FaxUtl* session, uint32_t value);
TL_EXPORT void TL_CALLEE TL_IniInfoGetCurrSrchCondition(TL_FaxUtl* session, unsigned short* out);
TL_EXPORT void TL_CALLEE TL_IniInfoSetCurrSrchCondition(TL_FaxUtl* session, unsigned short value);

#ifdef __cplusplus
}
#endif

#endif /* TELBOOK_TELBOOK_H_ */
