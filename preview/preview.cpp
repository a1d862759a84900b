#include "preview/preview.h"

#include "preview/file_services.h"

namespace ostrivel {

void PreviewHtml(std::string_view text, const std::function<void(const std::string& path)>& navigate) {
  NewTempFile file = WriteNewTempFile(TextToBytes(text));
  // Not even a name could be made: the pane still goes somewhere and shows the engine's own
  // page for a missing file, as for any failed write.
  if (file.path.empty()) file.path = MakeTempFileName();
  navigate(file.path);
}

}  // namespace ostrivel
