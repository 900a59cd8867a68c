#include "modules/common/jmodule.h"

#include <gtest/gtest.h>

#include <vector>

#include "modules/common/jcomponent.h"
#include "modules/common/jregistry.h"

namespace kestrel {
namespace {

// A module with one integer input and one integer output holding the input
// plus one; it broadcasts whenever its input changes.
class AddOne : public JAddObj {
 public:
  AddOne() {
    igm = 1;
    ogm = 1;
  }
  JString className() const override { return JString("AddOne"); }
  JObject* clone() const override { return new AddOne(*this); }
  void engine(int port, JLinkObj& link) override {
    if (port != 0) return;
    JIntegerData data(value);
    link.access(data);
    ++value;
    broadcast(0);
  }
  void access(int, JLinkObj&, JData& data) override { data.setInteger(value); }
  void callRepaint() { repaint(); }
  JRect area(int port) const { return topArea(port, 0, 2, 0.25, 0.5, 6); }
  int value = 0;
};

// Delivers broadcasts at once to every linked input, as a host does.
class DirectHost : public JHost {
 public:
  void broadcast(JModuleObj& source, int port) override {
    ++broadcasts;
    for (JLinkObj* link : source.outputSet(port)) link->to()->engine(link->toPort(), *link);
  }
  void repaint(JModuleObj&) override { ++repaints; }
  int broadcasts = 0;
  int repaints = 0;
};

struct Wired {
  Wired(JModuleObj& from, int out, JModuleObj& to, int in) : link(&from, out, &to, in) {
    from.attachOutput(out, &link);
    to.attachInput(in, &link);
  }
  JLinkObj link;
};

TEST(JModule, BroadcastDeliversThroughLinksAndPullsFromTheSource) {
  DirectHost host;
  AddOne a, b, c;
  for (AddOne* m : {&a, &b, &c}) m->setHost(&host);
  Wired ab(a, 0, b, 0), bc(b, 0, c, 0);
  a.value = 10;
  // Feed a through a fake upstream link from c's output: c.value = 0.
  JLinkObj seed(&c, 0, &a, 0);
  a.engine(0, seed);
  EXPECT_EQ(a.value, 1);
  EXPECT_EQ(b.value, 2);
  EXPECT_EQ(c.value, 3);
  EXPECT_EQ(host.broadcasts, 3);
  EXPECT_EQ(b.inputSet(0).size(), 1u);
  EXPECT_EQ(b.inputSet(5).size(), 0u);
  EXPECT_EQ(ab.link.type(), JIntegerData::id);
}

TEST(JModule, WithoutAHostBroadcastAndRepaintDoNothing) {
  AddOne a;
  JLinkObj self(&a, 0, &a, 0);
  a.engine(0, self);
  a.callRepaint();
  EXPECT_EQ(a.value, 1);
}

TEST(JModule, CopiesKeepPortsButNoLinksOrHost) {
  DirectHost host;
  AddOne a, b;
  a.setHost(&host);
  Wired ab(a, 0, b, 0);
  AddOne copy(a);
  EXPECT_EQ(copy.outputSet(0).size(), 0u);
  EXPECT_EQ(copy.host(), nullptr);
  EXPECT_EQ(copy.outputCount(), 1);
  a.detach(&ab.link);
  EXPECT_EQ(a.outputSet(0).size(), 0u);
}

TEST(JModule, BaseContentIsThePosition) {
  AddOne a;
  a.moveTo(30, 40);
  JContent out;
  a.writeContent(out);
  AddOne b;
  b.readContent(out);
  EXPECT_EQ(b.extent().x, 30);
  EXPECT_EQ(b.extent().y, 40);
}

TEST(JModule, PortsArePlacedOnTheirSide) {
  AddOne a;  // extent 0,0 80x48
  EXPECT_EQ(a.inputPoint(0, nullptr).x, 0);
  EXPECT_EQ(a.outputPoint(0, nullptr).x, 80);
  EXPECT_EQ(a.outputPoint(0, nullptr).y, 24);
  JRect r = a.area(1);  // second of two on top, between 25% and 75%
  EXPECT_EQ(r.y, -3);
  EXPECT_EQ(r.x + 3, 50);
  EXPECT_EQ(r.width, 6);
}

TEST(JModule, PaintDrawsBodyThenFace) {
  AddOne a;
  JRecordingGraphics g;
  a.paint(g, 1.0, 1.0);
  ASSERT_EQ(g.texts().size(), 1u);
  EXPECT_EQ(g.texts()[0], "AddOne");
  EXPECT_EQ(g.calls()[1], "rect3d 0 0 80 48 1");
}

TEST(JRegistry, RegisterKeepsOnePrototypePerClass) {
  JModuleRegistry& r = JModuleRegistry::global();
  {
    AddOne a;
    EXPECT_EQ(a.Register(), "AddOne");
    EXPECT_EQ(a.Register(), "") << "a second class of the same name is refused";
  }
  ASSERT_TRUE(r.contains("AddOne"));
  auto made = r.create("AddOne");
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->className(), "AddOne");
  EXPECT_EQ(r.create("Nothing"), nullptr);
  JComponent palette;
  for (const auto& name : r.classNames()) r.create(name)->addButton(palette);
  EXPECT_EQ(palette.buttons(), std::vector<std::string>{"AddOne"});
  r.remove("AddOne");
  EXPECT_FALSE(r.contains("AddOne"));
}

TEST(JComponent, DebugLinesGoToTheInstalledSink) {
  std::vector<std::string> lines;
  auto sink = [](void* ctx, const JString& line) {
    static_cast<std::vector<std::string>*>(ctx)->push_back(line.str());
  };
  JComponent::setDebugSink(sink, &lines);
  JComponent::debug(JString("$GPGLL,1"));
  JComponent::setDebugSink(nullptr, nullptr);
  EXPECT_EQ(lines, std::vector<std::string>{"$GPGLL,1"});
}

}  // namespace
}  // namespace kestrel
