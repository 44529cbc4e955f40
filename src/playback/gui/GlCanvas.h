// The OpenGL canvas of a view surface: shows the slot's picture, planar YUV converted to
// RGB by a shader, or BGRA (mostly made at the canvas's size already) copied through;
// flips, mirror and the zoom rectangle are texture coordinates. GUI thread only (Qt calls
// initializeGL/paintGL there).
#pragma once

#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <array>
#include <atomic>
#include <cstdint>

namespace tq {

class ViewSurface;

// Compiles and links the YUV to RGB program in the current context. Also used by the
// probe, so that a driver that cannot build it is found before any view binds.
bool BuildYuvProgram(QOpenGLShaderProgram& program);
// The same for the program that shows a BGRA picture.
bool BuildBgraProgram(QOpenGLShaderProgram& program);

class GlCanvas : public QOpenGLWidget, protected QOpenGLFunctions {
  Q_OBJECT
 public:
  explicit GlCanvas(ViewSurface* surface);
  ~GlCanvas() override;

  // Set when initializeGL failed; the OpenGL renderer then reports failed draws. Read on
  // any thread.
  bool failed() const { return failed_.load(); }
  // The canvas cannot draw (its program did not build, or its context is unusable):
  // OpenGL is switched off for the process and the surface's owner re-picks. GUI thread.
  void MarkFailed();

 protected:
  void initializeGL() override;
  void paintGL() override;

 private:
  void UploadLocked();
  void UploadBgraLocked();
  void ReleaseGl();

  ViewSurface* surface_;
  QOpenGLShaderProgram program_;
  QOpenGLShaderProgram bgraProgram_;
  std::array<unsigned, 3> textures_{};  // Y, U, V
  unsigned bgraTexture_ = 0;
  bool ready_ = false;
  uint64_t uploaded_ = 0;  // serial of the picture in the textures
  int texWidth_ = 0, texHeight_ = 0;
  uint64_t bgraUploaded_ = 0;
  int bgraWidth_ = 0, bgraHeight_ = 0;
  std::atomic<bool> failed_{false};
};

}  // namespace tq
