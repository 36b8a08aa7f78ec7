/*
 * A plain C99 program on libwendrake_table: it reads a log piece by piece
 * and prints its first rows, the mean of one parameter over the items whose
 * own lines set it, and the drive's GPS fixes:
 *
 *   library 0.2.0
 *   row line record code
 *   ...                        (the first ROWS rows)
 *   rows 2549 lines 3466
 *   Rxagc count 421 mean -73.172895
 *   fixes 40 accepted 0 rejected
 *
 * Usage: table_summary LOG [PARAMETER [ROWS]]
 *        (PARAMETER defaults to Rxagc, ROWS to 5)
 *
 * Each piece, and everything it hands out, is valid until the next
 * wendrake_table_reader_next: the program takes what it needs from a piece
 * before it asks for the next one. Errors end it with a message on standard
 * error and status 1.
 */
#include <errno.h>
#include <inttypes.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "wendrake/table.h"

/* Lines per piece: the memory of the program is that of one piece. */
#define LINES_PER_PIECE 4096

static int Fail(const char* what, const char* detail) {
  fprintf(stderr, "table_summary: %s: %s\n", what, detail);
  return 1;
}

/* A result code of the library; errno says why a file failed. */
static int FailWith(const char* path, int result) {
  char detail[256];
  if (result == WENDRAKE_ERROR_OPEN || result == WENDRAKE_ERROR_READ) {
    snprintf(detail, sizeof detail, "%s (%s)", wendrake_error_message(result), strerror(errno));
    return Fail(path, detail);
  }
  return Fail(path, wendrake_error_message(result));
}

/* The index of the column named `name` in `piece`, or -1. */
static int FindColumn(const WendrakeTable* piece, const char* name, WendrakeColumn* column) {
  int i;
  for (i = 0; i < wendrake_table_column_count(piece); ++i) {
    if (wendrake_table_column(piece, i, column) == WENDRAKE_OK && strcmp(column->name, name) == 0) return i;
  }
  return -1;
}

/* Prints rows of `piece` while fewer than `wanted` are printed in all. */
static void PrintRows(const WendrakeTable* piece, int64_t firstRow, int64_t wanted) {
  WendrakeColumn line, record, code;
  int64_t row;
  if (FindColumn(piece, "line", &line) < 0 || FindColumn(piece, "record", &record) < 0 ||
      FindColumn(piece, "code", &code) < 0) {
    return;
  }
  for (row = 0; row < line.length && firstRow + row < wanted; ++row) {
    const int32_t token = ((const int32_t*)record.data)[row];
    printf("row %" PRId64 " line %" PRId64 " %s 0x%08" PRIX32 "\n", firstRow + row, ((const int64_t*)line.data)[row],
           token >= 0 && token < record.categoryCount ? record.categories[token] : "-",
           ((const uint32_t*)code.data)[row]);
  }
}

int main(int argc, char** argv) {
  const char* parameter = argc > 2 ? argv[2] : "Rxagc";
  const int64_t wanted = argc > 3 ? strtoll(argv[3], NULL, 10) : 5;
  WendrakeTableReader* reader = NULL;
  const WendrakeTable* piece = NULL;
  int64_t rows = 0, lines = 0, count = 0, accepted = 0, rejected = 0;
  double sum = 0;
  int result;

  if (argc < 2 || argc > 4) {
    fprintf(stderr, "usage: table_summary LOG [PARAMETER [ROWS]]\n");
    return 2;
  }
  /* A library older than this header lacks what the program was built for. */
  if (wendrake_version_number() < WENDRAKE_VERSION_NUMBER) {
    return Fail("library too old", wendrake_version());
  }
  printf("library %s\n", wendrake_version());

  /* Parameter cells only where the item's own line set the parameter. */
  result = wendrake_table_reader_open(argv[1], WENDRAKE_MODULE_B101, WENDRAKE_TABLE_CURRENT_ONLY,
                                      LINES_PER_PIECE, &reader);
  if (result != WENDRAKE_OK) return FailWith(argv[1], result);
  while ((result = wendrake_table_reader_next(reader, &piece)) == WENDRAKE_OK && piece != NULL) {
    WendrakeColumn values;
    int64_t row;
    PrintRows(piece, rows, wanted);
    /* A parameter has a column from the first piece where it has a value. */
    if (FindColumn(piece, parameter, &values) >= 0 && values.type == WENDRAKE_COLUMN_FLOAT64) {
      for (row = 0; row < values.length; ++row) {
        const double value = ((const double*)values.data)[row];
        if (!isnan(value)) {
          sum += value;
          ++count;
        }
      }
    }
    rows += wendrake_table_rows(piece);
    /* Lines and fixes are counted from the log's start: the last piece's
     * counts are the log's. */
    lines = wendrake_table_lines(piece);
    wendrake_table_fixes(piece, &accepted, &rejected);
  }
  if (result != WENDRAKE_OK) {
    FailWith(argv[1], result);
    wendrake_table_reader_free(reader);
    return 1;
  }
  wendrake_table_reader_free(reader);

  printf("rows %" PRId64 " lines %" PRId64 "\n", rows, lines);
  if (count > 0) {
    printf("%s count %" PRId64 " mean %f\n", parameter, count, sum / (double)count);
  } else {
    printf("%s count 0\n", parameter);
  }
  printf("fixes %" PRId64 " accepted %" PRId64 " rejected\n", accepted, rejected);
  if (fflush(stdout) != 0 || ferror(stdout)) return Fail("standard output", strerror(errno));
  return 0;
}
