/* A host written in C: links the shared library through zor/zor.h alone. */
#include <stdio.h>
#include <string.h>

#include "zor/zor.h"

static int g_errors;
static void OnError(const char *text) { (void)text; ++g_errors; }
static void OnWarning(const char *text) { (void)text; }
static void OnProgress(int32_t percent, const char *text) { (void)percent; (void)text; }

#define EXPECT(cond)                                                  \
  do {                                                                \
    if (!(cond)) {                                                    \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                       \
    }                                                                 \
  } while (0)

int main(void) {
  TZOR_RAM *ram;
  TNetwork *network;
  TSignal *signal;
  ZorVersion version;

  EXPECT(sizeof(ZorVersion) == 20);
  EXPECT(_Init(OnError, OnWarning, 7, OnProgress) == 0);
  ram = _NewRAM();
  EXPECT(ram != NULL);
  network = _New_TZOR_Network(ram);
  signal = _New_TZOR_Signal(ram);
  EXPECT(network != NULL && signal != NULL);
  EXPECT(_New_TZOR_Node(NULL) == NULL);
  EXPECT(_CheckRAM(NULL, 3) == true);
  EXPECT(_SaveRAM(NULL, "x.xml") == true);
  EXPECT(_LoadFile("") == NULL);
  EXPECT(g_errors == 0);
  EXPECT(_LoadFile("/nonexistent/zor/file.xml") == NULL);
  EXPECT(g_errors == 1);
  EXPECT(strcmp(_GetCurrentFileVerStr(), "2.000") == 0);
  EXPECT(_GetDllVersion(&version) == &version);
  EXPECT(version.valid && version.major == 2 && version.minor == 1 && version.release == 7 && version.build == 7);
  EXPECT(strcmp(_GetVerStr(), "2.1.7.007") == 0);
  _UpdateRAM(ram);
  _FreeRAM(ram);
  _FreeRAM(NULL);
  printf("C host: all checks passed\n");
  return 0;
}
