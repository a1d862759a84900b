/* The interface between Ostrivel and an installable text converter: a shared library that
 * turns a document of another format into RTF. A converter exports these four functions
 * with C linkage; Ostrivel loads it with dlopen and looks them up by name.
 *
 * All paths are NUL-terminated byte strings in the file system's own encoding. */
#ifndef OSTRIVEL_CONVERTER_API_H
#define OSTRIVEL_CONVERTER_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Size of the block the converter fills with RTF before each call of the output callback. */
#define OSTRIVEL_RTF_BLOCK_SIZE 4096
/* Size of the class-name block handed to IsFormatCorrect32 (zeroed by the caller). */
#define OSTRIVEL_CLASS_NAME_SIZE 256
/* What the output callback answers when it has no block to read from. */
#define OSTRIVEL_CONVERTER_NO_BLOCK (-9)
/* What the output callback answers when the converter is to stop: it reported a byte count
 * outside 0..OSTRIVEL_RTF_BLOCK_SIZE, or Ostrivel no longer waits for its output. */
#define OSTRIVEL_CONVERTER_STOP (-1)

/* Called by the converter each time it has put `byte_count` bytes of RTF at the start of the
 * block; `percent_done` is its progress. The call returns once Ostrivel has taken the bytes,
 * so the converter may then refill the block. Answers 0 to go on; a non-zero answer asks the
 * converter to stop. A count of 0 is answered with 0 at once.
 *
 * The callback has no context argument, so Ostrivel runs only one conversion at a time, and
 * the callback may be called only while ForeignToRtf32 runs. */
typedef long (*OstrivelRtfOutput)(long byte_count, int percent_done);
/* Used by export converters to fetch RTF; Ostrivel never exports. */
typedef long (*OstrivelRtfInput)(int flags, int reserved);

/* Optional set-up: the main window (an opaque handle, may be null) and the application name
 * in upper case. The result is not looked at. */
long InitConverter32(void* main_window, const char* application_name);

/* Answers 1 when the converter reads `path`. `class_name` is a zeroed block of
 * OSTRIVEL_CLASS_NAME_SIZE bytes the converter may write its format's name into. */
long IsFormatCorrect32(const char* path, char* class_name);

/* Converts `path` to RTF. `rtf_block` holds OSTRIVEL_RTF_BLOCK_SIZE bytes; the converter
 * fills it and calls `output` with the count, as often as needed. `storage` is always null,
 * `class_name` and `subset` are empty strings. Answers 0 on success. */
long ForeignToRtf32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    const char* subset, OstrivelRtfOutput output);

/* Writes RTF to another format; part of the interface, never called by Ostrivel. */
long RtfToForeign32(const char* path, void* storage, char* rtf_block, const char* class_name,
                    OstrivelRtfInput input);

#ifdef __cplusplus
}
#endif

#endif
