#include "playback/gui/GlCanvas.h"

#include <QOpenGLContext>
#include <mutex>
#include <utility>

#include "playback/CDrawDisp.h"
#include "playback/gui/ViewSurface.h"

namespace tq {
namespace {

// Quad over the whole viewport; texture coordinates come per draw.
constexpr char kVertexShader[] = R"(
attribute vec2 position;
attribute vec2 texCoord;
varying vec2 uv;
void main() {
  uv = texCoord;
  gl_Position = vec4(position, 0.0, 1.0);
}
)";

// Limited-range BT.601, the matrix the decoder's pictures are coded with.
constexpr char kFragmentShader[] = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
varying vec2 uv;
void main() {
  float y = 1.164 * (texture2D(planeY, uv).r - 0.0627);
  float u = texture2D(planeU, uv).r - 0.5;
  float v = texture2D(planeV, uv).r - 0.5;
  gl_FragColor = vec4(y + 1.596 * v, y - 0.391 * u - 0.813 * v, y + 2.018 * u, 1.0);
}
)";

constexpr int kPositionAttribute = 0;
constexpr int kTexCoordAttribute = 1;

}  // namespace

bool BuildYuvProgram(QOpenGLShaderProgram& program) {
  program.bindAttributeLocation("position", kPositionAttribute);
  program.bindAttributeLocation("texCoord", kTexCoordAttribute);
  return program.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
         program.addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) && program.link();
}

GlCanvas::GlCanvas(ViewSurface* surface) : QOpenGLWidget(surface), surface_(surface) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

GlCanvas::~GlCanvas() {
  if (ready_ && context()) {
    makeCurrent();
    ReleaseGl();
    doneCurrent();
  }
}

void GlCanvas::MarkFailed() {
  if (failed_.exchange(true)) return;
  SwitchOffDrawKind(DrawKind::Accelerated);
  surface_->AcceleratedFailed();
}

void GlCanvas::ReleaseGl() {
  glDeleteTextures(int(textures_.size()), textures_.data());
  textures_ = {};
  program_.removeAllShaders();
  ready_ = false;
  uploaded_ = 0;
}

void GlCanvas::initializeGL() {
  initializeOpenGLFunctions();
  if (!BuildYuvProgram(program_)) {
    MarkFailed();  // rare: the probe built the same program
    return;
  }
  glGenTextures(int(textures_.size()), textures_.data());
  for (unsigned t : textures_) {
    glBindTexture(GL_TEXTURE_2D, t);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  program_.bind();
  program_.setUniformValue("planeY", 0);
  program_.setUniformValue("planeU", 1);
  program_.setUniformValue("planeV", 2);
  program_.release();
  uploaded_ = 0;
  ready_ = true;
  // A context lost with its window (re-parenting) takes the textures with it.
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
    makeCurrent();
    ReleaseGl();
    doneCurrent();
  });
}

// Slot mutex held. Chroma planes are a quarter of the luma plane, rows packed.
void GlCanvas::UploadLocked() {
  const PictureSlot& s = surface_->slot();
  const int cw = (s.width + 1) / 2, ch = (s.height + 1) / 2;
  const int widths[3] = {s.width, cw, cw}, heights[3] = {s.height, ch, ch};
  const uint8_t* plane = s.planes.data();
  const bool resize = texWidth_ != s.width || texHeight_ != s.height;
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  for (int i = 0; i < 3; ++i) {
    glBindTexture(GL_TEXTURE_2D, textures_[size_t(i)]);
    if (resize)
      glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, widths[i], heights[i], 0, GL_LUMINANCE,
                   GL_UNSIGNED_BYTE, plane);
    else
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, widths[i], heights[i], GL_LUMINANCE,
                      GL_UNSIGNED_BYTE, plane);
    plane += size_t(widths[i]) * size_t(heights[i]);
  }
  texWidth_ = s.width;
  texHeight_ = s.height;
  uploaded_ = s.serial;
}

void GlCanvas::paintGL() {
  glClearColor(0.f, 0.f, 0.f, 1.f);
  glClear(GL_COLOR_BUFFER_BIT);
  if (!ready_ || failed_.load()) return;
  PictureSlot& s = surface_->slot();
  std::lock_guard<std::mutex> lock(s.mutex);
  surface_->CountPresent();
  const size_t need = size_t(s.width) * s.height + 2 * size_t((s.width + 1) / 2) * ((s.height + 1) / 2);
  if (s.black || s.format != kDrawI420 || s.width <= 0 || s.planes.size() < need) return;
  if (uploaded_ != s.serial) UploadLocked();
  // Texture row 0 is the picture's top row. The zoom rectangle picks the part shown; a
  // flip or mirror swaps the ends of the picked range.
  const QRect src = SourceRectLocked(s);
  float u0 = float(src.left()) / s.width, u1 = float(src.right() + 1) / s.width;
  float v0 = float(src.top()) / s.height, v1 = float(src.bottom() + 1) / s.height;
  if (s.flags & kMirrorLeftRight) std::swap(u0, u1);
  if (s.flags & kFlipUpDown) std::swap(v0, v1);
  // Corners top-left, top-right, bottom-left, bottom-right (a strip).
  const GLfloat position[] = {-1, 1, 1, 1, -1, -1, 1, -1};
  const GLfloat texCoord[] = {u0, v0, u1, v0, u0, v1, u1, v1};
  program_.bind();
  for (int i = 0; i < 3; ++i) {
    glActiveTexture(GL_TEXTURE0 + unsigned(i));
    glBindTexture(GL_TEXTURE_2D, textures_[size_t(i)]);
  }
  program_.enableAttributeArray(kPositionAttribute);
  program_.enableAttributeArray(kTexCoordAttribute);
  program_.setAttributeArray(kPositionAttribute, position, 2);
  program_.setAttributeArray(kTexCoordAttribute, texCoord, 2);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  program_.disableAttributeArray(kPositionAttribute);
  program_.disableAttributeArray(kTexCoordAttribute);
  glActiveTexture(GL_TEXTURE0);
  program_.release();
}

}  // namespace tq
