// The live picture in the real window under Xvfb: what the scene view draws
// after commands, how the mouse and keys move the eye, and when it redraws.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include "testing/test_support.h"
#include "viewer/intake/command_queue.h"
#include "viewer/media/movie_test_support.h"
#include "viewer/shell/window/main_frame.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/window_test_support.h"
#include "viewer/shell/window/scene_gl_view.h"
#include "viewer/shell/window/scene_image_view.h"

namespace {

bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 40 && qBlue(c) < 40; }
bool isBackground(QRgb c) { return qRed(c) < 10 && qGreen(c) < 10 && qBlue(c) < 10; }

int countRed(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += isRed(image.pixel(x, y));
  return n;
}

int countDifferent(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < std::min(a.height(), b.height()); ++y)
    for (int x = 0; x < std::min(a.width(), b.width()); ++x) n += a.pixel(x, y) != b.pixel(x, y);
  return n;
}

class SceneGlViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kestrel::ViewerOptions options = windowTestOptions();
    configure(options);
    view_ = new CPrismView(options);
    doc_ = std::make_unique<CPrismDoc>(*view_);
    frame_ = std::make_unique<CMainFrame>(view_, doc_.get());
    frame_->resize(640, 520);
    std::string error;
    ASSERT_TRUE(view_->start(&error)) << error;
    frame_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    scene_ = view_->sceneView();
    ASSERT_TRUE(processUntil([&] { return scene_->framesDrawn() > 0; }));
  }
  void TearDown() override {
    frame_.reset();
    doc_.reset();
  }
  virtual void configure(kestrel::ViewerOptions&) {}
  // Adds an object named NAME through the command queue, as a client would.
  void addObject(const std::string& name, const std::string& vrml) {
    kestrel::primaryQueue().queue(("startdata " + name).c_str());
    kestrel::primaryQueue().queue(vrml.c_str());
    kestrel::primaryQueue().queue("enddata");
    ASSERT_TRUE(processUntil([&] { return view_->engine().registry().find(name) >= 0; }));
  }
  void addRedBall(const std::string& extra = {}) {
    addObject("ball", "DEF Xform_ball Transform { children [ Shape { appearance Appearance { "
                      "material DEF Mat_ball Material { diffuseColor 0 0 0 emissiveColor 1 0 0 } } "
                      "geometry DEF Geo_ball Sphere { } } ] } " + extra);
  }
  // The picture once every change so far has been drawn.
  QImage settled() {
    unsigned seen = scene_->framesDrawn();
    QTest::qWait(60);  // a few frames
    processUntil([&] { return scene_->framesDrawn() != seen; }, 100);
    return scene_->grabFramebuffer();
  }
  QPoint centre() const { return {scene_->width() / 2, scene_->height() / 2}; }
  void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, scene_->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(scene_, &event);
  }
  void dragBy(QPoint delta, Qt::MouseButton button = Qt::LeftButton) {
    QPoint from = centre();
    mouse(QEvent::MouseButtonPress, from, button, button);
    for (int i = 1; i <= 8; ++i) {
      mouse(QEvent::MouseMove, from + delta * i / 8, Qt::NoButton, button);
    }
    mouse(QEvent::MouseButtonRelease, from + delta, button, Qt::NoButton);
  }
  void wheel(int notches) {
    QPointF at = centre();
    QWheelEvent event(at, scene_->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(scene_, &event);
  }
  kestrel::SFFloatHandle radiusOfBall() {
    kestrel::NodeHandle node;
    EXPECT_TRUE(view_->engine().browser().findNode("Geo_ball", node));
    kestrel::SFFloatHandle radius;
    EXPECT_TRUE(view_->engine().browser().field(node, "radius", radius));
    return radius;
  }

  kestrel::testing::TempDir dir_;
  CPrismView* view_ = nullptr;  // owned by the frame
  SceneGlView* scene_ = nullptr;
  std::unique_ptr<CPrismDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(SceneGlViewTest, TheWindowGivesAnOpenGl33CoreContext) {
  EXPECT_EQ(scene_->problem(), "");
  EXPECT_NE(scene_->contextDescription().find("core"), std::string::npos)
      << scene_->contextDescription();
  EXPECT_GE(scene_->format().majorVersion() * 10 + scene_->format().minorVersion(), 33);
}

TEST_F(SceneGlViewTest, AnAddedRedSphereIsRedAtTheCentreAndBackgroundElsewhere) {
  QImage before = settled();
  EXPECT_EQ(countRed(before), 0);
  addRedBall();
  QImage image = settled();
  ASSERT_FALSE(image.isNull());
  EXPECT_TRUE(isRed(image.pixel(centre()))) << std::hex << image.pixel(centre());
  for (QPoint corner : {QPoint(2, 2), QPoint(image.width() - 3, 2), QPoint(2, image.height() - 3),
                        QPoint(image.width() - 3, image.height() - 3)}) {
    EXPECT_TRUE(isBackground(image.pixel(corner))) << corner.x() << "," << corner.y();
  }
}

// Snapshots draw frames of their own, so they are on only here.
class SceneGlViewSnapshotTest : public SceneGlViewTest {
 protected:
  void configure(kestrel::ViewerOptions& options) override {
    options.snapshotEveryMs = 100;
    options.snapshotEveryPath = dir_.file("snapshot.png");
    options.snapshotWidth = 64;
    options.snapshotHeight = 48;
  }
};

TEST_F(SceneGlViewSnapshotTest, ThePeriodicSnapshotIsTheWindowsPicture) {
  addRedBall();
  QImage snapshot;
  ASSERT_TRUE(processUntil(
      [&] {
        snapshot = QImage(QString::fromStdString(dir_.file("snapshot.png")));
        return !snapshot.isNull() && isRed(snapshot.pixel(snapshot.width() / 2,
                                                           snapshot.height() / 2));
      },
      5000));
  // Fitted into 64 x 48 with the window's shape kept.
  EXPECT_TRUE(snapshot.width() == 64 || snapshot.height() == 48)
      << snapshot.width() << "x" << snapshot.height();
  EXPECT_LE(snapshot.width(), 64);
  EXPECT_LE(snapshot.height(), 48);
  double windowShape = double(scene_->width()) / scene_->height();
  ASSERT_GT(std::abs(windowShape - 64.0 / 48.0), 0.05) << "the test needs a window not 4:3";
  EXPECT_NEAR(double(snapshot.width()) / snapshot.height(), windowShape, 0.05);
  EXPECT_TRUE(isBackground(snapshot.pixel(1, 1)));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("snapshot.png.part.png")));
}

TEST_F(SceneGlViewTest, ExamineDragChangesThePicture) {
  // A lit box, so that turning it changes its outline and shading.
  addObject("cube", "Shape { appearance Appearance { material Material { diffuseColor 1 0 0 } } "
                    "geometry Box { } }");
  QImage before = settled();
  dragBy({90, 40});
  QImage after = settled();
  EXPECT_GT(countDifferent(before, after), 500);
  // Turning back the same way restores the first picture (the eye stays at its distance).
  dragBy({-90, -40});
  EXPECT_LT(countDifferent(before, settled()), countDifferent(before, after) / 4);
}

TEST_F(SceneGlViewTest, TheWheelZoomsIn) {
  addRedBall();
  int before = countRed(settled());
  ASSERT_GT(before, 100);
  wheel(2);
  int after = countRed(settled());
  EXPECT_GT(after, before * 3 / 2);
  wheel(-2);
  EXPECT_NEAR(countRed(settled()), before, before / 20);
}

TEST_F(SceneGlViewTest, InAWalkWorldDraggingUpWalksTowardsTheObject) {
  addObject("walk", "NavigationInfo { type \"WALK\" } Shape { appearance Appearance { "
                    "material Material { diffuseColor 0 0 0 emissiveColor 1 0 0 } } "
                    "geometry Sphere { } }");
  ASSERT_EQ(scene_->navigator().mode(), kestrel::Navigator::Mode::Walk);
  int before = countRed(settled());
  ASSERT_GT(before, 100);
  dragBy({0, -120});
  int after = countRed(settled());
  EXPECT_GT(after, before * 11 / 10);  // about 0.7 of the 10 units nearer
  scene_->setFocus();
  for (int i = 0; i < 8; ++i) QTest::keyClick(scene_, Qt::Key_Up);
  EXPECT_GT(countRed(settled()), after * 3 / 2);
  EXPECT_NEAR(scene_->navigator().position().y, 0, 1e-4);
}

TEST_F(SceneGlViewTest, HomeFitsTheWholeSceneIntoTheView) {
  addObject("far", "Transform { translation 40 0 0 children Shape { appearance Appearance { "
                   "material Material { diffuseColor 0 0 0 emissiveColor 1 0 0 } } "
                   "geometry Sphere { radius 2 } } }");
  EXPECT_EQ(countRed(settled()), 0);
  scene_->setFocus();
  QTest::keyClick(scene_, Qt::Key_Home);
  QImage image = settled();
  EXPECT_TRUE(isRed(image.pixel(centre())));
  EXPECT_TRUE(isBackground(image.pixel(2, image.height() / 2)));
}

TEST_F(SceneGlViewTest, ChangingGeometryDropsTheCachedMesh) {
  addRedBall();
  int big = countRed(settled());
  ASSERT_TRUE(radiusOfBall().set(0.3f));
  int small = countRed(settled());
  EXPECT_LT(small, big / 5);
  EXPECT_GT(small, 0);
}

TEST_F(SceneGlViewTest, ManyChangesBetweenFramesCostOneRedraw) {
  addRedBall();
  settled();
  unsigned idle = scene_->framesDrawn();
  QTest::qWait(150);
  EXPECT_EQ(scene_->framesDrawn(), idle);  // nothing changed: nothing drawn
  kestrel::SFFloatHandle radius = radiusOfBall();
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(radius.set(0.5f + float(i) / 100));
  ASSERT_TRUE(processUntil([&] { return scene_->framesDrawn() > idle; }));
  QTest::qWait(150);
  EXPECT_EQ(scene_->framesDrawn(), idle + 1);
}

TEST_F(SceneGlViewTest, AnimationsPlay) {
  addRedBall("DEF Clock_ball TimeSensor { cycleInterval 0.4 loop TRUE } "
             "DEF Path_ball PositionInterpolator { key [ 0 0.5 1 ] "
             "keyValue [ -2 0 0, 2 0 0, -2 0 0 ] } "
             "ROUTE Clock_ball.fraction_changed TO Path_ball.set_fraction "
             "ROUTE Path_ball.value_changed TO Xform_ball.set_translation");
  unsigned start = scene_->framesDrawn();
  QImage first = scene_->grabFramebuffer();
  ASSERT_TRUE(processUntil([&] { return scene_->framesDrawn() > start + 5; }, 3000));
  QImage later = scene_->grabFramebuffer();
  EXPECT_GT(countDifferent(first, later), 100);
}

TEST_F(SceneGlViewTest, AMovieTexturePlaysWithoutAnyOtherChange) {
  const std::string movie = dir_.file("colours.avi");
  ASSERT_TRUE(kestrel::writeTestMovie(movie, {{230, 20, 20}, {20, 220, 20}, {20, 20, 230}}));
  addObject("movie", "Shape { appearance Appearance { texture MovieTexture { url \"" + movie +
                         "\" loop TRUE } } geometry Box { size 20 20 0.1 } }");
  // 2 frames a second: red, green, blue, again and again.
  bool red = false, green = false, blue = false;
  QElapsedTimer clock;
  clock.start();
  while (!(red && green && blue) && clock.elapsed() < 4000) {
    QTest::qWait(40);
    QRgb c = scene_->grabFramebuffer().pixel(centre());
    red |= qRed(c) > 150 && qGreen(c) < 90;
    green |= qGreen(c) > 150 && qRed(c) < 90;
    blue |= qBlue(c) > 150 && qGreen(c) < 90;
  }
  EXPECT_TRUE(red && green && blue) << red << green << blue;
}

TEST_F(SceneGlViewTest, ClearSpaceEmptiesThePictureAndANewSceneStartsAtTheViewpoint) {
  addRedBall();
  wheel(3);
  settled();
  view_->runCommand(32772);  // "Clear space!"
  EXPECT_EQ(countRed(settled()), 0);
  addObject("again", "Shape { appearance Appearance { material Material { diffuseColor 0 0 0 "
                     "emissiveColor 1 0 0 } } geometry Sphere { } }");
  QImage image = settled();
  EXPECT_TRUE(isRed(image.pixel(centre())));
  EXPECT_NEAR(scene_->navigator().position().z, 10, 1e-4);  // the zoom was undone
}

// The picture drawn off screen and painted as an image, for window
// systems without OpenGL 3.3 core contexts; shown in a window of its own.
class SceneImageViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = std::make_unique<SceneImageView>(browser_, "");
    view_->resize(320, 240);
    view_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
    ASSERT_TRUE(processUntil([&] { return view_->picture().framesDrawn() > 0; }));
  }
  // Paces frames as the window does until one more was drawn.
  bool drawn() {
    unsigned seen = view_->picture().framesDrawn();
    return processUntil([&] {
      view_->picture().frame(*view_);
      return view_->picture().framesDrawn() > seen;
    });
  }
  void add(const char* text) {
    kestrel::VrmlContent content;
    ASSERT_TRUE(browser_.createFromString(text, content));
    ASSERT_TRUE(browser_.appendToRoot(content));
  }
  QRgb middle() const {
    return view_->image().pixel(view_->image().width() / 2, view_->image().height() / 2);
  }

  kestrel::CVrmlBrowser browser_;
  std::unique_ptr<SceneImageView> view_;
};

TEST_F(SceneImageViewTest, DrawsTheSceneAndZoomsWithTheWheel) {
  EXPECT_EQ(view_->problem(), "");
  EXPECT_TRUE(isBackground(middle()));
  add("Shape { appearance Appearance { material Material { diffuseColor 0 0 0 "
      "emissiveColor 1 0 0 } } geometry Sphere { } }");
  ASSERT_TRUE(drawn());
  EXPECT_TRUE(isRed(middle()));
  EXPECT_TRUE(isBackground(view_->image().pixel(1, 1)));
  int before = countRed(view_->image());
  QPointF at(160, 120);
  QWheelEvent event(at, view_->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_.get(), &event);
  ASSERT_TRUE(drawn());
  EXPECT_GT(countRed(view_->image()), before * 3 / 2);
  // With nothing changed, nothing more is drawn.
  unsigned frames = view_->picture().framesDrawn();
  for (int i = 0; i < 5; ++i) view_->picture().frame(*view_);
  QTest::qWait(50);
  EXPECT_EQ(view_->picture().framesDrawn(), frames);
}

TEST_F(SceneImageViewTest, EachFrameTellsTheBrowserWhereTheEyeIsAndTheBoundViewpointPlacesIt) {
  add("DEF P ProximitySensor { size 1000 1000 1000 } "
      "DEF B Viewpoint { position 3 4 20 } "
      "Shape { appearance Appearance { material Material { diffuseColor 0 0 0 "
      "emissiveColor 1 0 0 } } geometry Sphere { } }");
  ASSERT_TRUE(drawn());
  kestrel::NodeHandle p, b;
  ASSERT_TRUE(browser_.findNode("P", p));
  ASSERT_TRUE(browser_.findNode("B", b));
  auto sensed = [&] { return *p.node()->field("position_changed")->as<kestrel::Vec3f>(); };
  kestrel::Navigator& nav = view_->picture().navigator();
  EXPECT_EQ(nav.position(), (kestrel::Vec3f{3, 4, 20}));  // the first Viewpoint is bound
  EXPECT_TRUE(*p.node()->field("isActive")->as<bool>());
  EXPECT_EQ(sensed(), nav.position());
  QPointF at(160, 120);
  QWheelEvent event(at, view_->mapToGlobal(at), QPoint(), QPoint(0, 240), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_.get(), &event);
  ASSERT_TRUE(drawn());
  EXPECT_LT(nav.position().z, 19.9f);
  EXPECT_EQ(sensed(), nav.position());
  // Unbinding the only Viewpoint brings the default one.
  kestrel::FieldHandle setBind;
  ASSERT_TRUE(browser_.field(b, "set_bind", setBind));
  ASSERT_TRUE(setBind.set(kestrel::FieldValue{kestrel::FieldType::SFBool, false}));
  ASSERT_TRUE(drawn());
  EXPECT_EQ(nav.position(), (kestrel::Vec3f{0, 0, 10}));
  EXPECT_EQ(sensed(), nav.position());
  // A sensor that follows the eye costs no frames while the eye rests.
  unsigned frames = view_->picture().framesDrawn();
  for (int i = 0; i < 5; ++i) view_->picture().frame(*view_);
  QTest::qWait(50);
  EXPECT_EQ(view_->picture().framesDrawn(), frames);
}

// Counts its paints; stands for a scene view in the pacing test.
class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override { ++paints; }
};

TEST(ScenePicturePacing, WhileCommandsWaitASlowFrameIsFollowedByAPauseAsLongAsItself) {
  kestrel::CVrmlBrowser browser;
  ScenePicture picture(browser, "");
  kestrel::GlRenderer renderer;  // never drawn with: begin() only drops its caches
  PaintCounter widget;
  widget.resize(100, 100);
  widget.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
  QTest::qWait(20);
  picture.begin(renderer, 100, 100);
  QTest::qSleep(150);  // a frame that took 150 ms
  picture.end("");
  kestrel::VrmlContent content;
  ASSERT_TRUE(browser.createFromString("Shape { geometry Box { } }", content));
  ASSERT_TRUE(browser.appendToRoot(content));
  int paints = widget.paints;
  picture.frame(widget, true);  // the scene changed, but the engine has its turn first
  QCoreApplication::processEvents();
  EXPECT_EQ(widget.paints, paints);
  QTest::qWait(60);  // enough when nothing waits
  picture.frame(widget, true);
  QCoreApplication::processEvents();
  EXPECT_EQ(widget.paints, paints);
  picture.frame(widget, false);
  EXPECT_TRUE(processUntil([&] { return widget.paints > paints; }));
  // The same again with commands waiting: after the whole pause.
  picture.begin(renderer, 100, 100);
  QTest::qSleep(150);
  picture.end("");
  ASSERT_TRUE(browser.removeAllRoots());
  paints = widget.paints;
  QTest::qWait(160);
  picture.frame(widget, true);
  EXPECT_TRUE(processUntil([&] { return widget.paints > paints; }));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
