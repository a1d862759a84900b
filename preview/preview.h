// Showing an HTML text in the browser pane by way of a fresh temporary file.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace ostrivel {

// The built-in instructions page shown at start-up (code page 936 text, CR LF line ends).
std::string_view HelpPageHtml();

// Writes the text's exact bytes to a new file in the temporary directory and sends the pane
// there (`navigate` gets the plain path). A failed write is not reported: the pane is sent to
// the name anyway and shows what the engine shows for it.
void PreviewHtml(std::string_view text, const std::function<void(const std::string& path)>& navigate);

}  // namespace ostrivel
