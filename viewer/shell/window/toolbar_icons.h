// Toolbar icons drawn with QPainter, one per command id: arrows for moves,
// magnifiers for zoom, bars for sizes, arcs for rotations and so on.
#pragma once

#include <QIcon>

namespace kestrel::shell {

QIcon toolbarIcon(int commandId);

}  // namespace kestrel::shell
