/* Links the installed table library and builds a table of two lines from a
 * buffer: proves that table.h, the library and its SONAME link are in place
 * for a consumer that uses the table library alone. */
#include <stdio.h>
#include <string.h>

#include <wendrake/table.h>

int main(void) {
  static const char log[] = "RegReport\tDM\tRxagc\nDM\t-85.5\n";
  WendrakeTable* table = NULL;
  int rc = wendrake_table_from_buffer(log, strlen(log), WENDRAKE_MODULE_B101, 0, &table);
  long long rows = rc == WENDRAKE_OK ? (long long)wendrake_table_rows(table) : -1;
  int ok = rc == WENDRAKE_OK && rows == 1;
  wendrake_table_free(table);
  printf("table consumer: wendrake %s, %lld row, %s\n", wendrake_version(), rows, ok ? "ok" : "WRONG");
  return ok ? 0 : 1;
}
