/* A C host: loads a configuration, checks it, adds the LIN diagnostic frames
 * and saves it under a new name. Usage: c_host IN.xml OUT.xml */
#include <stdio.h>

#include <zor/zor.h>

static void OnError(const char *text) { fprintf(stderr, "error: %s\n", text); }
static void OnWarning(const char *text) { fprintf(stderr, "warning: %s\n", text); }

int main(int argc, char **argv) {
  TZOR_RAM *ram;
  bool errors;
  if (argc != 3) {
    fprintf(stderr, "usage: c_host IN.xml OUT.xml\n");
    return 2;
  }
  _Init(OnError, OnWarning, 0, NULL);
  printf("library %s, file format %s\n", _GetVerStr(), _GetCurrentFileVerStr());
  ram = _LoadFile(argv[1]);
  if (!ram) return 2; /* the error sink said why */
  errors = _CheckRAM(ram, 3);
  printf("check: %s\n", errors ? "errors found" : "no errors");
  _CreateLINdiagObjects(ram);
  if (_SaveRAM(ram, argv[2])) {
    _FreeRAM(ram);
    return 2;
  }
  printf("saved %s\n", argv[2]);
  _FreeRAM(ram);
  return 0;
}
