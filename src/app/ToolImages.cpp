#include "app/ToolImages.h"

#include <array>

// The images live in the viewer's static library; a static library's
// resource object is only linked in when something names it.
static void InitImageResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(resources);
    return true;
  }();
  (void)done;
}

namespace brindle {

namespace {

constexpr std::array<const char*, kToolImageCount> kImageFiles = {
    ":/icons/Open.svg",       ":/icons/CloseFile.svg",    ":/icons/Copy.svg",
    ":/icons/OpenInSpss.svg", ":/icons/FileInfo.svg",     ":/icons/Document.svg",
    ":/icons/FindFirst.svg",  ":/icons/FindPrevious.svg", ":/icons/FindNext.svg",
    ":/icons/FindLast.svg",   ":/icons/Frequencies.svg",  ":/icons/ValueLabels.svg",
    ":/icons/Filter.svg",     ":/icons/Weight.svg",
};

}  // namespace

QIcon ToolImage(int index) {
  if (index < 0 || index >= kToolImageCount) return QIcon();
  InitImageResources();
  return QIcon(QString::fromLatin1(kImageFiles[static_cast<std::size_t>(index)]));
}

QIcon ProgramIcon() {
  InitImageResources();
  return QIcon(QStringLiteral(":/icons/Brindle.svg"));
}

}  // namespace brindle
