#include "viewer/engine/templates.h"

#include <gtest/gtest.h>

namespace kestrel {
namespace {

std::string expand(const std::string& body, const std::string& data, const InfoTable& info) {
  Template t{"t", body, std::nullopt, 0};
  return expandTemplate(t, data, info);
}

TEST(Templates, DataGoesIntoThePercentSAndVariablesComeFromTheInfoTable) {
  InfoTable info;
  info.setInfo("size", "2");
  EXPECT_EQ(expand("Shape { size VAR_size }\n", "x", info), "Shape { size 2 }\n");
  EXPECT_EQ(expand("Transform { children [ %s ] }", "Box { }", info),
            "Transform { children [ Box { } ] }");
  info.setInfo("a", "1");
  EXPECT_EQ(expand("VAR_a VAR_a", "", info), "1 1");
  EXPECT_EQ(expand("VAR_missing stays", "", info), "VAR_missing stays");
  EXPECT_EQ(expand("100%% of %s", "it", info), "100% of it");
  // A second conversion has no argument to take: it produces nothing.
  EXPECT_EQ(expand("%s and %s and %d", "x", info), "x and  and ");
  // The data's own VAR_ name before the template's is the one replaced.
  EXPECT_EQ(expand("%s VAR_a", "VAR_a", info), "1 VAR_a");
}

TEST(Templates, VariableNamesEndOnlyAtBlanksQuotesOrTheEnd) {
  Template t{"t", "VAR_color, \"VAR_q\"VAR_end", std::nullopt, 0};
  EXPECT_EQ(nextVariable(t), "color,");
  EXPECT_EQ(nextVariable(t), "q");
  EXPECT_EQ(nextVariable(t), "end");
  EXPECT_EQ(nextVariable(t), std::nullopt);
  restartScan(t);
  EXPECT_EQ(nextVariable(t), "color,");
}

TEST(Templates, FirstDefinitionWinsLookupsAndLinesGoToTheLast) {
  TemplateList list;
  EXPECT_FALSE(list.appendToLast("nowhere"));
  list.createTemplate("transform");
  list.appendToLast("first");
  list.createTemplate("transform");
  list.appendToLast("second");
  EXPECT_EQ(list.findTemplate("transform")->body, "first\n");
  EXPECT_EQ(list.findTemplate("Transform"), nullptr);
  InfoTable info;
  info.setInfo("size", "3");
  info.setInfo("size", "3");
  EXPECT_EQ(info.size(), 1u);
  EXPECT_EQ(info.lookupText("size"), "3");
}

}  // namespace
}  // namespace kestrel
