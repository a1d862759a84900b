/* Streams RTF through the block a converter is given, calling the output callback whenever
 * the block is full (or holds `limit` bytes, for converters that report odd block sizes). */
#ifndef OSTRIVEL_TEST_RTF_BLOCK_WRITER_H
#define OSTRIVEL_TEST_RTF_BLOCK_WRITER_H

#include <stddef.h>
#include <string.h>

#include "editor/converter_api.h"

typedef struct {
  char* block;
  size_t used;
  size_t limit; /* report when this many bytes are in the block; at most the block size */
  OstrivelRtfOutput output;
  int stopped;  /* the program asked us to stop */
} RtfBlockWriter;

static inline RtfBlockWriter rtf_writer_start(char* block, OstrivelRtfOutput output) {
  RtfBlockWriter writer = {block, 0, OSTRIVEL_RTF_BLOCK_SIZE, output, 0};
  return writer;
}

static inline void rtf_writer_flush(RtfBlockWriter* writer) {
  if (writer->stopped || writer->used == 0) return;
  if (writer->output((long)writer->used, 50) != 0) writer->stopped = 1;
  writer->used = 0;
}

static inline void rtf_writer_put(RtfBlockWriter* writer, const char* bytes, size_t count) {
  for (size_t i = 0; i < count && !writer->stopped; ++i) {
    writer->block[writer->used++] = bytes[i];
    if (writer->used == writer->limit) rtf_writer_flush(writer);
  }
}

static inline void rtf_writer_puts(RtfBlockWriter* writer, const char* text) {
  rtf_writer_put(writer, text, strlen(text));
}

#endif
