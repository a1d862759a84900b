// Loading a text converter library and running it: asking whether it reads a file, and
// converting a file to RTF on a worker thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace ostrivel {

// Size of the transfer area the GUI thread takes converted RTF through.
inline constexpr std::size_t kConverterTransferSize = 131072;

// Loads the converter at `converter_path`, asks IsFormatCorrect32 about `document_path`,
// unloads it. True only when the converter answered 1.
bool ConverterAcceptsFile(const std::string& converter_path, const std::string& document_path);

// Converts `document_path` to RTF with the converter at `converter_path`. InitConverter32,
// where the converter has it, is called first with `main_window` and "OSTRIVEL". The
// conversion runs on a worker thread; the calling thread waits and takes the RTF in
// transfer-size pieces. A 0-byte document gives an empty RTF stream without starting a
// conversion. Gives nullopt when the converter cannot be loaded or lacks ForeignToRtf32,
// the document cannot be opened as a regular file, or the converter reports a failure or an
// impossible block size.
//
// The converter's output callback carries no context, so conversions share one process-wide
// slot: only one runs at a time, and a call made meanwhile from another thread waits.
std::optional<std::string> ConvertToRtf(const std::string& converter_path,
                                        const std::string& document_path,
                                        void* main_window = nullptr);

}  // namespace ostrivel
