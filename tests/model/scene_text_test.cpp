#include "model/scene_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

#include "tests/model/fake_sources.h"

namespace lv::model {
namespace {

const char* kHeader = "\n"
                      "  #include \"colors.inc\"\n"
                      "  #include \"textures.inc\"\n"
                      "\n"
                      "  camera\n"
                      "  {\n"
                      "    location <10.000, 10.000, 10.000>\n"
                      "    right<-1.33, 0, 0>\n"
                      "    sky <0.000, 1.000, 0.000>\n"
                      "    look_at <0.000, 0.000, 0.000>\n"
                      "  }\n"
                      "\n"
                      "  light_source{ <15.000, 15.000, 15.000> color White}\n"
                      "\n"
                      "  background {color red 1.000 green 1.000 blue 1.000}\n"
                      "\n";

const char* kDefaultBlock =
    "\n"
    "  isosurface\n"
    "  {\n"
    "    bounded_by {box { <-10.000, -10.000, -10.000>, <10.000, 10.000, 10.000>}}\n"
    "    function {\"Lumovar\", <0>}\n"
    "    accuracy 0.001\n"
    "    sign -1\n"
    "    eval\n"
    "    pigment {color red 0.000 green 1.000 blue 0.000}\n"
    "    scale <1.000, 1.000, 1.000>\n"
    "    rotate <0.000, 0.000, 0.000>\n"
    "    translate <0.000, 0.000, 0.000>\n"
    "  }\n"
    "\n";

class SceneTextTest : public ::testing::Test {
protected:
    testing::FakeSources sources;
    Model model;

    void SetUp() override { sources.texts["/s.lv"] = testing::kShapes; }
    ModelObject& add(const std::string& name) {
        return *model.addObject(sources, name, "ball", "/s.lv");
    }
};

TEST_F(SceneTextTest, DefaultModelWithOneObject) {
    add("ball");
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    EXPECT_EQ(model.sceneText(), std::string(kHeader) + kDefaultBlock);
    model.releaseFrame();
    EXPECT_EQ(model.sceneText(), "");
}

TEST_F(SceneTextTest, ModelWithoutObjectsGivesTheHeaderAlone) {
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    EXPECT_EQ(model.sceneText(), kHeader);
}

TEST_F(SceneTextTest, ObjectSettingsAndTheSecondIndex) {
    add("first");
    ModelObject& o = add("zzz");
    o.customBox = 1;
    o.ownBox = {-1.0f, -2.0f, -3.0f, 1.0f, 2.5f, 3.25f};
    o.autoMaxGradient = 0;
    o.maxGradient = 12.5f;
    o.accuracy = 0.0004f;
    o.rayColour = {128, 0, 255};
    o.transform.scale = {-2.0f, 1.0f, -0.5f};
    o.transform.rotate = {90.0f, 0.0f, -45.0f};
    o.transform.translate = {1.0f, -1.0f, 0.0005f};
    model.settings.rayBackground = {0, 0, 0};
    ASSERT_EQ(model.prepareFrame(0, 0, 0, 0), 1);
    const std::string block = "\n"
                              "  isosurface\n"
                              "  {\n"
                              "    bounded_by {box { <-1.000, -2.000, -3.000>, "
                              "<1.000, 2.500, 3.250>}}\n"
                              "    function {\"Lumovar\", <1>}\n"
                              "    accuracy 0.000\n"
                              "    sign -1\n"
                              "    max_gradient 12.500\n"
                              "    pigment {color red 0.502 green 0.000 blue 1.000}\n"
                              "    scale <2.000, 1.000, 0.500>\n"
                              "    rotate <90.000, 0.000, -45.000>\n"
                              "    translate <1.000, -1.000, 0.001>\n"
                              "  }\n"
                              "\n";
    const std::string& text = model.sceneText();
    ASSERT_GE(text.size(), block.size());
    EXPECT_EQ(text.substr(text.size() - block.size()), block);
    EXPECT_NE(text.find("background {color red 0.000 green 0.000 blue 0.000}\n"),
              std::string::npos);
}

TEST(SceneNumberTest, DecimalCommaBecomesAPeriod) {
    EXPECT_EQ(fixDecimalComma("1,500"), "1.500");
    EXPECT_EQ(fixDecimalComma("-0,001"), "-0.001");
    EXPECT_EQ(fixDecimalComma("2.000"), "2.000");
    EXPECT_EQ(sceneNumber(-3.14159f), "-3.142");
    EXPECT_EQ(sceneNumber(1e30f).size(), 35u); // whole digits, three decimals, no overflow

    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous != nullptr ? previous : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no decimal-comma locale installed";
    char formatted[32];
    std::snprintf(formatted, sizeof formatted, "%.3f", 1.5);
    EXPECT_STREQ(formatted, "1,500"); // the locale is in force
    EXPECT_EQ(sceneNumber(1.5f), "1.500");
    EXPECT_EQ(sceneHeader(ModelSettings{}), kHeader);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

} // namespace
} // namespace lv::model
