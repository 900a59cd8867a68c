// Large texts parsed in parts on several threads give what one thread
// gives: the same scene, warnings, names and errors, wherever the text
// refers back across the places it was cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "viewer/browser/parser.h"
#include "viewer/browser/writer.h"

namespace kestrel {
namespace {

struct Outcome {
  bool ok = false;
  std::string scene;  // written back as text
  std::vector<std::string> warnings;
  std::string error;
  size_t names = 0;
  std::string lastSame;  // what the name "same" stands for, written
  // The type of the last object's geometry, and whether a PROTO's.
  std::string lastGeometry;
  std::set<std::thread::id> threads;  // that told of text they had read
  bool overlap = false;               // some text was read twice
};

// Objects are named shape_0, shape_1 ...: the last one's geometry.
std::string lastGeometry(const Scene& scene) {
  NodePtr last;
  for (size_t i = 0; NodePtr shape = scene.names.find("shape_" + std::to_string(i)); ++i) {
    last = shape;
  }
  if (!last) return "";
  const NodePtr* geometry = last->field("geometry")->as<NodePtr>();
  if (geometry == nullptr || !*geometry) return "none";
  return (*geometry)->type->name + ((*geometry)->type->proto ? " (PROTO)" : "");
}

Outcome parse(const std::string& text, unsigned threads, bool lenient, size_t maxNodes = 0) {
  Outcome out;
  ParseOptions options;
  options.threads = threads;
  options.maxNodes = maxNodes;
  options.sourceName = "big.wrl";
  if (lenient) {
    options.warn = [&out](const ParseWarning& w) { out.warnings.push_back(w.text()); };
  }
  std::mutex mutex;
  std::vector<std::pair<size_t, size_t>> ranges;
  options.parsedRange = [&](size_t begin, size_t end) {
    const std::lock_guard lock(mutex);
    ranges.emplace_back(begin, end);
    out.threads.insert(std::this_thread::get_id());
  };
  Scene scene;
  ParseError error;
  out.ok = parseVrml(text, options, scene, error);
  out.error = out.ok ? "" : error.text();
  WriteResult written = writeScene(scene);
  out.scene = written.text;
  out.names = scene.names.size();
  if (NodePtr same = scene.names.find("same")) out.lastSame = writeNode(same).text;
  out.lastGeometry = lastGeometry(scene);
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    out.overlap = out.overlap || ranges[i].first < ranges[i - 1].second;
  }
  return out;
}

// COUNT objects of a few hundred bytes each, each with its own DEFs, USE
// and ROUTE; EXTRA(i) is written after object i.
template <class Extra>
std::string objects(size_t count, Extra&& extra) {
  std::string text = "#VRML V2.0 utf8\n";
  for (size_t i = 0; i < count; ++i) {
    const std::string n = std::to_string(i);
    text += "DEF obj_" + n + " Transform {\n translation " + n + " 0 0\n children [\n" +
            "  DEF shape_" + n + " Shape { geometry Box { size 1 2 3 } }\n  USE shape_" + n +
            "\n  DEF touch_" + n + " TouchSensor {}\n ]\n}\n" + "ROUTE touch_" + n +
            ".isActive TO touch_" + n + ".set_enabled\n";
    text += extra(i);
  }
  return text;
}

std::string nothing(size_t) { return ""; }

// Enough objects for four parts of at least the smallest part size.
constexpr size_t kObjects = 4 * kMinPartBytes / 150;

// "line L, column C" of the first WORD in TEXT.
std::string placeOf(const std::string& text, const std::string& word) {
  const size_t at = text.find(word);
  if (at == std::string::npos) return "nowhere";
  const size_t lineStart = text.rfind('\n', at) + 1;
  return "line " + std::to_string(std::count(text.begin(), text.begin() + long(at), '\n') + 1) +
         ", column " + std::to_string(at - lineStart + 1);
}

void expectSame(const Outcome& one, const Outcome& parts) {
  EXPECT_EQ(one.ok, parts.ok);
  EXPECT_EQ(one.error, parts.error);
  EXPECT_EQ(one.warnings, parts.warnings);
  EXPECT_EQ(one.names, parts.names);
  EXPECT_EQ(one.lastSame, parts.lastSame);
  EXPECT_EQ(one.lastGeometry, parts.lastGeometry);
  EXPECT_TRUE(one.scene == parts.scene) << "the scenes differ";
}

TEST(ParserParts, IndependentStatementsAreReadOnSeveralThreadsOnce) {
  const std::string text = objects(kObjects, nothing);
  ASSERT_GT(text.size(), 4 * kMinPartBytes);
  const Outcome one = parse(text, 1, true);
  const Outcome parts = parse(text, 4, true);
  ASSERT_TRUE(one.ok) << one.error;
  expectSame(one, parts);
  EXPECT_EQ(parts.names, 3 * kObjects);
  EXPECT_EQ(one.threads.size(), 1u);
  EXPECT_GE(parts.threads.size(), 3u);
  // Each part was taken as read: no text was read a second time.
  EXPECT_FALSE(parts.overlap);
}

TEST(ParserParts, ReferencesAcrossThePartsReadAsOneThreadReadsThem) {
  const size_t last = kObjects - 1;
  const std::vector<std::pair<const char*, std::string>> cases = {
      // A USE and a ROUTE near the end of what the first object DEF'd.
      {"use", objects(kObjects, [&](size_t i) {
         return i == last ? "Group { children USE shape_0 }\n" : "";
       })},
      {"route", objects(kObjects, [&](size_t i) {
         return i == last ? "ROUTE touch_0.isActive TO touch_1.set_enabled\n" : "";
       })},
      // A name DEF'd again in each part: USEs and the table take the latest.
      {"redefined", objects(kObjects, [&](size_t i) {
         const std::string n = std::to_string(i);
         if (i % 1000 == 0) return "DEF same Transform { translation " + n + " 0 0 }\n";
         if (i % 1000 == 500) return std::string("Group { children USE same }\n");
         return std::string();
       })},
      // A PROTO declared first and used throughout, and one named as a
      // built-in type: later Boxes are its instances, not boxes.
      {"proto", "#VRML V2.0 utf8\nPROTO Tagged [ field SFVec3f at 0 0 0 ] "
                "{ Transform { translation IS at } }\n"
                "PROTO Box [ field SFVec3f size 2 2 2 ] { Sphere {} }\n" +
                    objects(kObjects, [](size_t i) {
                      return i % 100 == 0 ? "Tagged { at 1 2 3 }\n" : "";
                    }).substr(16)},
      // Lines that look like statements inside a string long enough to
      // hold a place where the text is cut.
      {"string", objects(kObjects / 2, [](size_t i) {
         if (i != kObjects / 4) return std::string();
         std::string info = "WorldInfo { info [ \"";
         while (info.size() < 2 * kMinPartBytes) info += "\nDEF fake Transform { }";
         return info + "\" ] }\n";
       })},
  };
  for (const auto& [name, text] : cases) {
    SCOPED_TRACE(name);
    const Outcome one = parse(text, 1, true);
    ASSERT_TRUE(one.ok) << one.error;
    expectSame(one, parse(text, 4, true));
    expectSame(one, parse(text, 3, false));
  }
  EXPECT_EQ(parse(cases[0].second, 4, true).lastGeometry, "Box");
  EXPECT_EQ(parse(cases[3].second, 4, true).lastGeometry, "Box (PROTO)");
}

TEST(ParserParts, WarningsAndErrorsKeepTheirOrderAndLines) {
  // A warning in every object: they come in order, with the whole text's
  // line numbers.
  const std::string messy = objects(kObjects, [](size_t i) {
    return "Transform { scale 1 1 1 spin " + std::to_string(i) + " }\n";
  });
  const Outcome one = parse(messy, 1, true);
  ASSERT_TRUE(one.ok) << one.error;
  ASSERT_EQ(one.warnings.size(), kObjects);
  EXPECT_EQ(one.warnings.back(),
            "big.wrl: " + placeOf(messy, "spin " + std::to_string(kObjects - 1) + " ") +
                ": 'Transform' has no field 'spin'; its value is skipped");
  expectSame(one, parse(messy, 4, true));

  // Strict reading fails on the first of them, in whichever part.
  const std::string late = objects(kObjects, [](size_t i) {
    return i == kObjects * 3 / 4 ? "Transform { spin 1 }\n" : "";
  });
  const Outcome failed = parse(late, 1, false);
  ASSERT_FALSE(failed.ok);
  EXPECT_EQ(failed.error.substr(0, failed.error.find(':')), placeOf(late, "spin"));
  expectSame(failed, parse(late, 4, false));
  // An error in the first part stops the rest; one in the last is found.
  for (const std::string& broken : {"#VRML V2.0 utf8\nGroup { ]\n" + late.substr(16),
                                    objects(kObjects, nothing) + "Group { children [ }\n"}) {
    const Outcome alone = parse(broken, 1, true);
    ASSERT_FALSE(alone.ok);
    expectSame(alone, parse(broken, 4, true));
  }

  // The node limit counts the nodes of every part.
  const std::string text = objects(kObjects, nothing);
  const Outcome limited = parse(text, 1, true, 4 * kObjects - 10);
  ASSERT_FALSE(limited.ok);
  EXPECT_NE(limited.error.find("too many nodes"), std::string::npos) << limited.error;
  expectSame(limited, parse(text, 4, true, 4 * kObjects - 10));
}

}  // namespace
}  // namespace kestrel
