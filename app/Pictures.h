#pragma once
// The window's pictures: raster images made from the SVG sources at build
// time, at 1x, 2x and 3x, so every build (the Windows one has no SVG module)
// shows the same sharp pictures.

#include <QIcon>
#include <QStringView>

namespace app {

// Registers the pictures' resources (once); a program or test linking the
// window library calls it before using a picture.
void RegisterPictures();

// The picture of that name ("setup", "dorvwin", ...) at every scale built.
QIcon Picture(QStringView name);

} // namespace app
