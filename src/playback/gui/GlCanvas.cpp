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

// A BGRA picture uploaded as RGBA bytes: blue sits in the red channel.
constexpr char kBgraFragmentShader[] = R"(
#ifdef GL_ES
precision mediump float;
#endif
uniform sampler2D picture;
varying vec2 uv;
void main() {
  gl_FragColor = vec4(texture2D(picture, uv).bgr, 1.0);
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

bool BuildBgraProgram(QOpenGLShaderProgram& program) {
  program.bindAttributeLocation("position", kPositionAttribute);
  program.bindAttributeLocation("texCoord", kTexCoordAttribute);
  return program.addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) &&
         program.addShaderFromSourceCode(QOpenGLShader::Fragment, kBgraFragmentShader) && program.link();
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
  glDeleteTextures(1, &bgraTexture_);
  textures_ = {};
  bgraTexture_ = 0;
  program_.removeAllShaders();
  bgraProgram_.removeAllShaders();
  ready_ = false;
  uploaded_ = 0;
  bgraUploaded_ = 0;
  texWidth_ = texHeight_ = bgraWidth_ = bgraHeight_ = 0;
}

void GlCanvas::initializeGL() {
  initializeOpenGLFunctions();
  if (!BuildYuvProgram(program_) || !BuildBgraProgram(bgraProgram_)) {
    MarkFailed();  // rare: the probe built the same programs
    return;
  }
  glGenTextures(int(textures_.size()), textures_.data());
  glGenTextures(1, &bgraTexture_);
  for (unsigned t : {textures_[0], textures_[1], textures_[2], bgraTexture_}) {
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
  bgraProgram_.bind();
  bgraProgram_.setUniformValue("picture", 0);
  bgraProgram_.release();
  uploaded_ = 0;
  bgraUploaded_ = 0;
  texWidth_ = texHeight_ = bgraWidth_ = bgraHeight_ = 0;
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

// Slot mutex held. The texture keeps its size while the picture does (the canvas's size
// for single-pass pictures): only the pixels are sent again.
void GlCanvas::UploadBgraLocked() {
  const PictureSlot& s = surface_->slot();
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glBindTexture(GL_TEXTURE_2D, bgraTexture_);
  if (bgraWidth_ != s.image.width() || bgraHeight_ != s.image.height())
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, s.image.width(), s.image.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 s.image.constBits());
  else
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, s.image.width(), s.image.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                    s.image.constBits());
  bgraWidth_ = s.image.width();
  bgraHeight_ = s.image.height();
  bgraUploaded_ = s.serial;
}

void GlCanvas::paintGL() {
  // The picture's quad covers the whole canvas: black is filled in only when it is not
  // drawn (a software rasteriser pays for every pixel written).
  struct Black {
    GlCanvas* canvas;
    bool drawn = false;
    ~Black() {
      if (drawn) return;
      canvas->glClearColor(0.f, 0.f, 0.f, 1.f);
      canvas->glClear(GL_COLOR_BUFFER_BIT);
    }
  } black{this};
  if (!ready_ || failed_.load()) return;
  PictureSlot& s = surface_->slot();
  std::lock_guard<std::mutex> lock(s.mutex);
  surface_->CountPresent();
  QOpenGLShaderProgram* program = &program_;
  int flags = s.flags;
  QRect src;
  if (s.format == kDrawRgb32) {
    // Rows of 4 bytes: QImage's lines are packed, which the upload relies on.
    if (s.black || s.image.isNull() || s.image.bytesPerLine() != qsizetype(s.image.width()) * 4) return;
    if (bgraUploaded_ != s.serial) UploadBgraLocked();
    program = &bgraProgram_;
    flags ^= s.appliedFlags;
    src = s.prepared ? s.image.rect() : SourceRectLocked(s);
    // A picture made at the canvas's size is shown texel for texel; one from before a
    // resize, or a whole picture handed to Draw, is stretched.
    const QSize device = size() * devicePixelRatioF();
    glBindTexture(GL_TEXTURE_2D, bgraTexture_);
    const GLint filter = src.size() == device ? GL_NEAREST : GL_LINEAR;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  } else {
    const size_t need = size_t(s.width) * s.height + 2 * size_t((s.width + 1) / 2) * ((s.height + 1) / 2);
    if (s.black || s.format != kDrawI420 || s.width <= 0 || s.planes.size() < need) return;
    if (uploaded_ != s.serial) UploadLocked();
    src = SourceRectLocked(s);
  }
  // Texture row 0 is the picture's top row. The zoom rectangle picks the part shown; a
  // flip or mirror swaps the ends of the picked range.
  const int texW = s.format == kDrawRgb32 ? s.image.width() : s.width;
  const int texH = s.format == kDrawRgb32 ? s.image.height() : s.height;
  float u0 = float(src.left()) / texW, u1 = float(src.right() + 1) / texW;
  float v0 = float(src.top()) / texH, v1 = float(src.bottom() + 1) / texH;
  if (flags & kMirrorLeftRight) std::swap(u0, u1);
  if (flags & kFlipUpDown) std::swap(v0, v1);
  // Corners top-left, top-right, bottom-left, bottom-right (a strip).
  const GLfloat position[] = {-1, 1, 1, 1, -1, -1, 1, -1};
  const GLfloat texCoord[] = {u0, v0, u1, v0, u0, v1, u1, v1};
  black.drawn = true;
  program->bind();
  if (program == &program_) {
    for (int i = 0; i < 3; ++i) {
      glActiveTexture(GL_TEXTURE0 + unsigned(i));
      glBindTexture(GL_TEXTURE_2D, textures_[size_t(i)]);
    }
  } else {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, bgraTexture_);
  }
  program->enableAttributeArray(kPositionAttribute);
  program->enableAttributeArray(kTexCoordAttribute);
  program->setAttributeArray(kPositionAttribute, position, 2);
  program->setAttributeArray(kTexCoordAttribute, texCoord, 2);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  program->disableAttributeArray(kPositionAttribute);
  program->disableAttributeArray(kTexCoordAttribute);
  glActiveTexture(GL_TEXTURE0);
  program->release();
}

}  // namespace tq
