/* A converter that accepts every file and produces a long document in blocks of changing
 * sizes. The document holds a line count N in decimal; the RTF is
 *
 *   "{\rtf1\ansi\n" followed by "%07d\par\n" for 0 .. N-1, then "}"
 *
 * reported in blocks of 4096, 1, 4095, 17, 4000, 2, 4096, 333 bytes, over and over, the last
 * block holding what is left. It has no InitConverter32, which is optional. */
#include <stdio.h>
#include <stdlib.h>

#include "rtf_block_writer.h"

static const size_t kBlockSizes[] = {4096, 1, 4095, 17, 4000, 2, 4096, 333};
enum { kBlockSizeCount = sizeof kBlockSizes / sizeof kBlockSizes[0] };

long IsFormatCorrect32(const char* path, char* class_name) { return 1; }

static long read_line_count(const char* path) {
  FILE* file = fopen(path, "rb");
  if (!file) return -1;
  long count = -1;
  if (fscanf(file, "%ld", &count) != 1) count = -1;
  fclose(file);
  return count;
}

long ForeignToRtf32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    const char* subset, OstrivelRtfOutput output) {
  const long line_count = read_line_count(path);
  if (line_count < 0) return -2;
  RtfBlockWriter writer = rtf_writer_start(rtf_block, output);
  size_t next_size = 0;
  writer.limit = kBlockSizes[next_size];
  size_t reported_blocks = 0;
  char piece[32];
  for (long line = -1; line <= line_count && !writer.stopped; ++line) {
    if (line < 0) {
      snprintf(piece, sizeof piece, "{\\rtf1\\ansi\n");
    } else if (line < line_count) {
      snprintf(piece, sizeof piece, "%07ld\\par\n", line);
    } else {
      snprintf(piece, sizeof piece, "}");
    }
    for (const char* p = piece; *p && !writer.stopped; ++p) {
      rtf_writer_put(&writer, p, 1);
      if (writer.used == 0) { /* a block went out: the next one has the next size */
        ++reported_blocks;
        writer.limit = kBlockSizes[reported_blocks % kBlockSizeCount];
      }
    }
  }
  rtf_writer_flush(&writer);
  return writer.stopped ? -4 : 0;
}

long RtfToForeign32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    OstrivelRtfInput input) {
  return -1;
}
