/* A host of the installed library, built against what `cmake --install` put in a prefix: it
 * creates a phone book in the directory given, adds two entries, deletes one, saves, and reads
 * the count back. */
#include <stdio.h>
#include <string.h>

#include <telbook.h>

int main(int argc, char** argv) {
  char path[512];
  TL_FaxUtl* session;
  TL_Kojin entry;
  unsigned short number = 0, second = 0, personal = 9, groups = 9;
  int ok;
  if (argc != 2) return 2;
  snprintf(path, sizeof(path), "%s/consumer.tlb", argv[1]);
  session = TL_CreateFaxUtl();
  if (session == NULL) return 1;
  memset(&entry, 0, sizeof(entry));
  strcpy(entry.Name, "consumer");
  ok = TL_createDataBase(session, path) == 0 && TL_writeKojin(session, &entry, &number, 0) == 0 &&
       TL_writeKojin(session, &entry, &second, 0) == 0 && TL_deleteKojin(session, second) == 0 &&
       TL_closeDataBase(session, 0) == 0 && TL_openDataBase(session, path) == 0 &&
       TL_readDataCount(session, &personal, &groups) == 0 && personal == 1 && groups == 0;
  TL_closeDataBase(session, 1);
  TL_DestroyFaxUtl(session);
  printf("%s: entry %u, %u entries\n", ok ? "ok" : "failed", number, personal);
  return ok ? 0 : 1;
}
