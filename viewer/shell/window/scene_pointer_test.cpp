// The mouse as a pointing device in the real window under Xvfb: clicks and
// drags reach the scene's sensors instead of turning the view, the cursor
// shows what is under it, and the View menu lists the world's Viewpoints.
#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QMenu>
#include <QStatusBar>
#include <QMouseEvent>
#include <QTest>

#include "testing/test_support.h"
#include "viewer/browser/render/core/picking.h"
#include "viewer/browser/render/core/traversal.h"
#include "viewer/intake/command_queue.h"
#include "viewer/shell/window/main_frame.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/replay_player.h"
#include "viewer/shell/window/scene_gl_view.h"
#include "viewer/shell/window/window_test_support.h"

namespace {

class ScenePointerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view_ = new CPrismView(windowTestOptions());
    doc_ = std::make_unique<CPrismDoc>(*view_);
    frame_ = std::make_unique<CMainFrame>(view_, doc_.get());
    frame_->resize(640, 520);
    std::string error;
    ASSERT_TRUE(view_->start(&error)) << error;
    frame_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    scene_ = view_->sceneView();
    ASSERT_TRUE(scene_);
    ASSERT_TRUE(processUntil([&] { return scene_->framesDrawn() > 0; }));
  }
  void TearDown() override {
    frame_.reset();
    doc_.reset();
  }
  void addObject(const std::string& name, const std::string& vrml) {
    kestrel::primaryQueue().queue(("startdata " + name).c_str());
    kestrel::primaryQueue().queue(vrml.c_str());
    kestrel::primaryQueue().queue("enddata");
    ASSERT_TRUE(processUntil([&] { return view_->engine().registry().find(name) >= 0; }));
    QTest::qWait(80);  // drawn: the picture's camera knows the scene's bounds
  }
  QPoint centre() const { return {scene_->width() / 2, scene_->height() / 2}; }
  void mouse(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, at, scene_->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(scene_, &event);
  }
  void drag(QPoint from, QPoint to) {
    mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= 8; ++i)
      mouse(QEvent::MouseMove, from + (to - from) * i / 8, Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }
  template <class T>
  T member(const char* node, const char* name) {
    kestrel::NodeHandle h;
    EXPECT_TRUE(view_->engine().browser().findNode(node, h)) << node;
    const kestrel::FieldValue* v = h.valid() ? h.node()->field(name) : nullptr;
    const T* t = v ? v->as<T>() : nullptr;
    EXPECT_TRUE(t) << node << "." << name;
    return t ? *t : T{};
  }
  // Where the ray through widget pixel AT meets the plane z = Z.
  kestrel::Vec3f onPlane(QPoint at, float z) {
    auto roots = view_->engine().browser().scene().rootNodes();
    kestrel::Camera camera = scene_->navigator().camera(kestrel::findBindings(roots),
                                                        scene_->width(), scene_->height(), {}, 10);
    kestrel::PickRay ray = kestrel::rayThroughPixel(camera, float(at.x()) + 0.5f,
                                                    float(at.y()) + 0.5f, scene_->width(),
                                                    scene_->height());
    float t = (z - ray.origin.z) / ray.direction.z;
    return ray.origin + ray.direction * t;
  }

  kestrel::testing::TempDir dir_;
  CPrismView* view_ = nullptr;  // owned by the frame
  SceneGlView* scene_ = nullptr;
  std::unique_ptr<CPrismDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(ScenePointerTest, AClickFiresTheTouchSensorAndTheViewStaysPut) {
  addObject("button", "Group { children [ DEF Touch_button TouchSensor { } "
                      "Shape { geometry Box { size 3 3 3 } } ] }");
  QPoint away(5, 5);
  mouse(QEvent::MouseMove, away, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(scene_->cursor().shape(), Qt::ArrowCursor);
  mouse(QEvent::MouseMove, centre(), Qt::NoButton, Qt::NoButton);
  EXPECT_TRUE(member<bool>("Touch_button", "isOver"));
  EXPECT_EQ(scene_->cursor().shape(), Qt::PointingHandCursor);

  unsigned navigated = scene_->navigator().revision();
  EXPECT_EQ(member<double>("Touch_button", "touchTime"), 0);
  drag(centre(), away);  // pressed on the sensor: no turn
  EXPECT_EQ(scene_->navigator().revision(), navigated);
  EXPECT_EQ(member<double>("Touch_button", "touchTime"), 0);  // released off it
  QTest::qWait(20);
  mouse(QEvent::MouseButtonPress, centre(), Qt::LeftButton, Qt::LeftButton);
  EXPECT_TRUE(member<bool>("Touch_button", "isActive"));
  mouse(QEvent::MouseButtonRelease, centre(), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(member<bool>("Touch_button", "isActive"));
  double touched = member<double>("Touch_button", "touchTime");
  EXPECT_GT(touched, 0);
  EXPECT_EQ(touched, view_->engine().browser().now());

  drag(away, away + QPoint(40, 30));  // off the sensor the view turns as before
  EXPECT_NE(scene_->navigator().revision(), navigated);
}

TEST_F(ScenePointerTest, ADragMovesThePlaneSensorsObjectByTheDraggedAmount) {
  addObject("slider", "Group { children [ DEF Plane_slider PlaneSensor { } "
                      "DEF Xform_slider Transform { children Shape { geometry Box { } } } ] } "
                      "ROUTE Plane_slider.translation_changed TO Xform_slider.set_translation");
  unsigned navigated = scene_->navigator().revision();
  QPoint from = centre(), to = centre() + QPoint(60, -35);
  drag(from, to);
  EXPECT_EQ(scene_->navigator().revision(), navigated);
  kestrel::Vec3f moved = member<kestrel::Vec3f>("Xform_slider", "translation");
  kestrel::Vec3f expected = onPlane(to, 1) - onPlane(from, 1);  // the box's front is at z = 1
  EXPECT_GT(expected.x, 0.3f);
  EXPECT_NEAR(moved.x, expected.x, 1e-3f);
  EXPECT_NEAR(moved.y, expected.y, 1e-3f);
  EXPECT_NEAR(moved.z, 0, 1e-6f);
  // The box is now under the release point: a second drag takes it on.
  drag(to, to + QPoint(-60, 35));
  kestrel::Vec3f back = member<kestrel::Vec3f>("Xform_slider", "translation");
  EXPECT_NEAR(back.x, 0, 1e-3f);
  EXPECT_NEAR(back.y, 0, 1e-3f);
}

TEST_F(ScenePointerTest, AnAnchorToAnotherWorldShowsItsTextAndAsksFirst) {
  std::string world = dir_.write("other.wrl", "#VRML V2.0 utf8\nDEF Other_world Transform { }\n");
  addObject("door", "DEF Anchor_door Anchor { url \"" + world + "\" description \"To the other world\" "
                    "children Shape { geometry Box { size 3 3 3 } } }");
  mouse(QEvent::MouseMove, centre(), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), "To the other world");
  EXPECT_EQ(scene_->cursor().shape(), Qt::PointingHandCursor);

  std::vector<std::string> asked;
  bool agree = false;
  view_->picture().pointer().confirmWorld = [&](const std::string& url, const std::string& path) {
    asked.push_back(url);
    EXPECT_EQ(std::filesystem::path(path), std::filesystem::path(world));
    return agree;
  };
  unsigned navigated = scene_->navigator().revision();
  drag(centre(), centre());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], world);
  EXPECT_EQ(scene_->navigator().revision(), navigated);
  QTest::qWait(100);  // refused: the scene stays
  kestrel::NodeHandle other;
  EXPECT_TRUE(view_->engine().browser().findNode("Anchor_door", other));
  EXPECT_FALSE(view_->engine().browser().findNode("Other_world", other));

  agree = true;
  drag(centre(), centre());
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_TRUE(processUntil(
      [&] { return view_->engine().browser().findNode("Other_world", other); }));
  EXPECT_FALSE(view_->engine().browser().findNode("Anchor_door", other));  // replaced

  mouse(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(frame_->statusBar()->currentMessage(), "");
}

TEST_F(ScenePointerTest, TheViewMenuListsTheViewpointsAndPageKeysStepThroughThem) {
  addObject("views", "DEF Front_views Viewpoint { description \"Front door\" } "
                     "DEF Back_views Viewpoint { description \"Garden\" position 0 0 -10 }");
  QMenu* menu = frame_->viewpointMenu();
  ASSERT_TRUE(menu);
  emit menu->aboutToShow();
  QStringList texts;
  for (QAction* a : menu->actions()) texts << a->text();
  ASSERT_GE(texts.size(), 2);
  EXPECT_EQ(texts[0], "Front door");
  EXPECT_EQ(texts[1], "Garden");
  ViewpointChoice& choice = view_->picture().viewpoints();
  menu->actions()[1]->trigger();
  EXPECT_EQ(choice.current(), 1);
  QTest::keyClick(scene_, Qt::Key_PageDown);  // round to the first
  EXPECT_EQ(choice.current(), 0);
  QTest::keyClick(scene_, Qt::Key_PageUp);
  EXPECT_EQ(choice.current(), 1);
}

TEST(ScenePointerReplay, AReplayedWorldTakesNoPointerEvents) {
  kestrel::testing::TempDir dir;
  dir.write("run.journal",
            "# kestrel journal 1\n"
            "# started 2026-12-08T10:00:00.000000000Z, times in milliseconds since then\n"
            "0 P 10 startdata \"pad\"\n"
            "0 P+ 14 data \"Group { children [ DEF Touch_pad TouchSensor { } "
            "Shape { geometry Box { size 3 3 3 } } ] }\"\n"
            "0 P+ 13 enddata \"enddata\"\n");
  kestrel::ViewerOptions options = windowTestOptions();
  options.replayPath = dir.file("run.journal");
  auto* view = new CPrismView(options);
  CPrismDoc doc(*view);
  CMainFrame frame(view, &doc);
  std::string error;
  ASSERT_TRUE(view->start(&error)) << error;
  frame.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  SceneGlView* scene = view->sceneView();
  ASSERT_TRUE(scene && view->replay());
  kestrel::NodeHandle pad;
  ASSERT_TRUE(processUntil([&] {
    return view->replay()->session().core().engine().browser().findNode("Touch_pad", pad);
  }));
  QTest::qWait(100);
  QPoint centre(scene->width() / 2, scene->height() / 2);
  for (QEvent::Type type : {QEvent::MouseMove, QEvent::MouseButtonPress,
                            QEvent::MouseButtonRelease}) {
    Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, centre, scene->mapToGlobal(centre), button, held, Qt::NoModifier);
    QApplication::sendEvent(scene, &event);
  }
  EXPECT_FALSE(*pad.node()->field("isOver")->as<bool>());
  EXPECT_EQ(*pad.node()->field("touchTime")->as<double>(), 0);
  EXPECT_EQ(scene->cursor().shape(), Qt::ArrowCursor);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
