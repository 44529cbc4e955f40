// The file list's own image strips, drawn in code at the interface scale on first use
// (GUI thread, after the skin is set up).
#pragma once

#include "controls/GuiSkin.h"

namespace tq {

// Filter toggles, 23 x 23: per switch (front, rear, normal, event, parking, manual) the
// "off" image at 2 x switch and the "on" image after it.
const ImageList& FilterIconList();
// Row icons, 18 x 18: the icon of a recording is cell type code + 2 (codes 0-7 front and
// rear, 51-54 the third camera); the cells between are empty.
const ImageList& FileTypeIconList();
// The open-folder button, 18 x 18: disabled, normal, active.
const ImageList& FolderButtonList();

// The colour a row icon is drawn in for a class (normal, event, parking, manual).
QColor ClassColor(int cls);

}  // namespace tq
