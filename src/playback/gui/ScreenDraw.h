// The on-screen renderer back ends of the process: OpenGL as the accelerated kind and
// QPainter as the raster kind. GUI thread.
#pragma once

namespace tq {

// Registers both back ends; with accelerated false the accelerated kind is removed, so
// every view draws with the raster back end.
void RegisterScreenDraw(bool accelerated = true);
// Registers them (OpenGL included) unless RegisterScreenDraw has already run.
void EnsureScreenDraw();

}  // namespace tq
