// The pictures of the results tree and of its tool strip, drawn here rather than shipped as
// files, so the program needs nothing beside its executable.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace ui {

// Side length of the results tree's pictures.
constexpr int kTreeImageSize = 17;
// Pictures in the results tree's image list, in pairs of normal and selected picture.
constexpr int kTreeImageCount = 8;

// Picture `index` (0 to 7): grey closed and open folder, orange closed and open folder, white
// page, green page, blue arrow, orange arrow. Any other index gives an empty pixmap.
QPixmap TreeImage(int index);

// The icon a node shows: `image` normally, `selected` while the node is selected.
QIcon TreeIcon(int image, int selected);

// The pictures of the tool strip beside the results tree.
enum class TToolPicture {
    ExpandFull,
    ExpandFiles,
    ExpandOccurences,
    ExpandOneLevel,
    FileOps,
    Preview
};
QIcon ToolPicture(TToolPicture which);

} // namespace ui
