// The on-screen renderer back ends of the process: OpenGL as the accelerated kind and
// QPainter as the raster kind. GUI thread.
#pragma once

namespace tq {

// Registers both back ends; with accelerated false the accelerated kind is removed, so
// every view draws with the raster back end.
// With softwareGl false an OpenGL that renders in software (Mesa's llvmpipe and the like)
// is passed over: there the raster back end shows the same pictures for less processor
// time (measured by bench_ScreenPlayback). Tests and the bench set it to exercise OpenGL.
void RegisterScreenDraw(bool accelerated = true, bool softwareGl = false);
// Registers them (OpenGL included) unless RegisterScreenDraw has already run.
void EnsureScreenDraw();

}  // namespace tq
