// The real window under Xvfb: start-up enabling, commands, dialogs.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include "testing/child_process.h"
#include "testing/test_support.h"
#include "viewer/intake/command_queue.h"
#include "viewer/shell/window/command_ids.h"
#include "viewer/shell/window/dialogs.h"
#include "viewer/shell/window/main_frame.h"
#include "viewer/shell/window/prism_doc.h"
#include "viewer/shell/window/prism_view.h"
#include "viewer/shell/window/window_test_support.h"

namespace {

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kestrel::ViewerOptions options = windowTestOptions();
    view_ = new CPrismView(options);
    doc_ = std::make_unique<CPrismDoc>(*view_);
    frame_ = std::make_unique<CMainFrame>(view_, doc_.get());
    std::string error;
    ASSERT_TRUE(view_->start(&error)) << error;
    frame_->show();
  }
  void TearDown() override {
    frame_.reset();
    doc_.reset();
  }
  void addBall() {
    for (const char* line :
         {"startdata ball",
          "DEF Xform_ball Transform { children [ Shape { appearance Appearance { material DEF "
          "Mat_ball Material { } } geometry Box { } } ] }",
          "enddata"}) {
      kestrel::primaryQueue().queue(line);
    }
    ASSERT_TRUE(processUntil([&] { return view_->sceneContent(); }));
  }
  bool enabled(int id) { return frame_->action(id)->isEnabled(); }

  kestrel::testing::TempDir dir_;
  CPrismView* view_ = nullptr;  // owned by the frame
  std::unique_ptr<CPrismDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

TEST_F(WindowTest, ObjectCommandsAreEnabledOnlyWhileTheSceneHasContent) {
  EXPECT_EQ(frame_->windowTitle(), "Kestrel");
  for (int id = 32772; id <= 32799; ++id) {
    if (frame_->action(id)) {
      EXPECT_FALSE(enabled(id)) << id;
    }
  }
  EXPECT_TRUE(enabled(kestrel::shell::kAppAbout));
  EXPECT_TRUE(enabled(kestrel::shell::kAddCube));
  EXPECT_EQ(frame_->action(32775)->statusTip(), "Move object right");
  EXPECT_EQ(frame_->action(32775)->toolTip(), "Move right");
  EXPECT_FALSE(frame_->action(32775)->icon().isNull());

  addBall();
  ASSERT_TRUE(processUntil([&] { return enabled(32775); }));
  EXPECT_TRUE(enabled(kestrel::shell::kLabelObject));
  EXPECT_FALSE(enabled(kestrel::shell::kAddCube));

  frame_->action(kestrel::shell::kClearSpace)->trigger();
  ASSERT_TRUE(processUntil([&] { return !enabled(32775); }));
  EXPECT_EQ(view_->engine().registry().size(), 1);  // the registry keeps its objects
}

TEST_F(WindowTest, ToolbarButtonsActLikeTheirCommands) {
  addBall();
  ASSERT_TRUE(processUntil([&] { return enabled(32775); }));
  kestrel::VisualObject* ball = view_->engine().registry().currentObject();
  ASSERT_NE(ball, nullptr);
  frame_->action(32775)->trigger();  // right
  frame_->action(32781)->trigger();  // taller
  kestrel::Vec3f t, s;
  ball->translation.get(t);
  ball->scale.get(s);
  EXPECT_FLOAT_EQ(t.x, 0.2f);
  EXPECT_NEAR(s.y, 1.1f, 1e-6);
}

TEST_F(WindowTest, LabelDialogTakesAtMost100Characters) {
  CLabelDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), "Object Labelling");
  QTest::keyClicks(dialog.edit(), QString(150, 'x'));
  EXPECT_EQ(dialog.label().size(), 100);
  doc_->labelObject(dialog.label());
  EXPECT_NE(kestrel::testing::readFile(dir_.file("kestrel.log")).find("got the label: "),
            std::string::npos);
}

TEST_F(WindowTest, SaveAsWritesTheStateFile) {
  addBall();
  ASSERT_TRUE(doc_->saveStateAs(QString::fromStdString(dir_.file("saved.state"))));
  EXPECT_EQ(kestrel::testing::readFile(dir_.file("saved.state")).rfind("2\nball\n", 0), 0u);
}

TEST_F(WindowTest, VisibilityDialogWithTheLastBoxTickedEndsTheProgram) {
  addBall();
  std::unique_ptr<CVisibilityDialog> dialog(doc_->makeVisibilityDialog(nullptr));
  EXPECT_EQ(dialog->windowTitle(), "Visibility Control (not working yet)");
  EXPECT_EQ(dialog->box(0)->text(), "ball");
  EXPECT_TRUE(dialog->box(0)->isChecked());
  EXPECT_EQ(dialog->box(1)->text(), "");
  EXPECT_EQ(CVisibilityDialog::boxId(23), 1027);
  int exitCode = -1;
  doc_->exitProgram = [&](int code) { exitCode = code; };
  doc_->applyVisibility(*dialog);
  EXPECT_EQ(exitCode, -1);
  dialog->box(23)->setChecked(true);
  doc_->applyVisibility(*dialog);
  EXPECT_EQ(exitCode, 0);
}

// Answers the Search dialog that the next command opens: with TEXT and OK,
// or with Cancel when TEXT is empty.
void answerSearchDialog(const QString& text) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, text] {
    auto* dialog = qobject_cast<CSearchDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    poll->stop();
    poll->deleteLater();
    if (text.isEmpty()) {
      dialog->reject();
      return;
    }
    dialog->findChild<QLineEdit*>()->setText(text);
    dialog->accept();
  });
  poll->start(10);
}

TEST_F(WindowTest, SearchCommandAsksTheServiceForTheTypedText) {
  using kestrel::testing::ChildProcess;
  ChildProcess service("/usr/bin/python3",
                       {kestrel::testing::sourcePath("viewer/web/testdata/search_service.py"),
                        "int"});
  ASSERT_TRUE(processUntil([&] { return service.output().find('\n') != std::string::npos; }));
  ASSERT_EQ(service.output().rfind("port ", 0), 0u) << service.output();
  kestrel::SearchEndpoint endpoint = view_->services().searchEndpoint();
  EXPECT_EQ(endpoint.port, 12080);
  EXPECT_EQ(endpoint.path, "/search");
  endpoint.port = static_cast<uint16_t>(std::stoi(service.output().substr(5)));
  view_->services().setSearchEndpoint(endpoint);

  answerSearchDialog("");  // Cancel asks nothing
  frame_->action(kestrel::shell::kSearch)->trigger();
  answerSearchDialog("kestrel");
  frame_->action(kestrel::shell::kSearch)->trigger();
  ASSERT_TRUE(processUntil([&] { return service.output().find("asked") != std::string::npos; }));
  EXPECT_EQ(service.output().find("asked"), service.output().find("asked 'kestrel'"));
  EXPECT_NE(kestrel::testing::readFile(dir_.file("kestrel.log"))
                .find("Result of search is: \"7\""),
            std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
