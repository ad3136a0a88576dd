#include "lang/disassembler.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>

#include "lang/decoded.h"
#include "lang_test_util.h"

namespace lv::lang {
namespace {

using testing::compile;

TEST(Disassembler, ListsTheDecodedProgramWithNamesOperandsAndPositions) {
    auto c = compile("half(x[1], a[1]) {\n  half = x[1] / 2; }\n"
                     "p(x[3], a[1]) {\n"
                     "  array v[2], w[1];\n"
                     "  v = [1, 2];\n  w[1] = x[1];\n"
                     "  i = 1;\n"
                     "  while i < 3 loop v[i] = x[1.5]^2 + sqrt(v[i]); i = i + 1; endloop;\n"
                     "  if v[2] > a[1] then r = half(w, a); else r = -x[3]; endif;\n"
                     "  p = r & 0.5;\n"
                     "}\n");
    ASSERT_TRUE(c.errors.empty()) << c.errors[0].message;
    // Operands come last first; x[1.5] is the element x[2] in slot 1.
    EXPECT_EQ(disassembleObject(*c.objects[1]),
              "     0  arraylit    slots 4 count 2 constant 0  @5:3\n"
              "     1  const       1  @6:5\n"
              "     2  indexcheck  size 1  @6:5\n"
              "     3  slot        slot 0  @6:12\n"
              "     4  storeelem   slots 6  @6:5\n"
              "     5  const       1  @7:7\n"
              "     6  store       slot 7  @7:3\n"
              "     7  const       3  @8:13\n"
              "     8  local       slot 7  @8:9\n"
              "     9  binary      <  @8:11\n"
              "    10  jumpfalse   to 23  @8:3\n"
              "    11  local       slot 7  @8:22\n"
              "    12  indexcheck  size 2  @8:22\n"
              "    13  local       slot 7  @8:45\n"
              "    14  element     slots 4 size 2  @8:45\n"
              "    15  builtin     sqrt 1  @8:38\n"
              "    16  slotsquare  slot 1  @8:33\n"
              "    17  add  @8:36\n"
              "    18  storeelem   slots 4  @8:22\n"
              "    19  local       slot 7  @8:54\n"
              "    20  addk        1  @8:56\n"
              "    21  store       slot 7  @8:50\n"
              "    22  jump        to 7  @8:61\n"
              "    23  slot        slot 3  @9:15\n"
              "    24  slot        slot 5  @9:8\n"
              "    25  binary      >  @9:11\n"
              "    26  jumpfalse   to 30  @9:3\n"
              "    27  call        half x slot 6 a slot 3  @9:27\n"
              "    28  store       slot 8  @9:23\n"
              "    29  jump        to 33  @9:39\n"
              "    30  slot        slot 2  @9:51\n"
              "    31  unary       -  @9:48\n"
              "    32  store       slot 8  @9:44\n"
              "    33  const       0.5  @10:11\n"
              "    34  local       slot 8  @10:7\n"
              "    35  setop       &  @10:9\n"
              "    36  result  @10:3\n"
              "    37  fail        \"Bad code is generated for object\"\n");
}

// Every instruction the decoder makes has its own name; the numeric dump is left as it was.
TEST(Disassembler, EveryInstructionHasItsOwnName) {
    auto c = compile("p(x[1], a[0]) { p = 1; }");
    ASSERT_TRUE(c.errors.empty());
    auto object = copyObject(*c.objects[0]);
    auto program = std::make_shared<DecodedProgram>();
    for (int op = kDConst; op <= kDFail; ++op)
        program->code.push_back({static_cast<DecodedOp>(op), 0, 0, 0, 0.0f, 0.0f, 0});
    object->decoded = program;
    std::istringstream listing(disassembleObject(*object));
    std::set<std::string> names;
    std::string line;
    int count = 0;
    while (std::getline(listing, line)) {
        std::istringstream words(line);
        std::string index, name;
        words >> index >> name;
        EXPECT_EQ(index, std::to_string(count));
        EXPECT_EQ(name.rfind("op", 0), std::string::npos) << line;
        names.insert(name);
        ++count;
    }
    EXPECT_EQ(count, kDFail + 1);
    EXPECT_EQ(names.size(), static_cast<std::size_t>(count));
    EXPECT_EQ(dumpObject(*object), dumpObject(*c.objects[0]));
}

} // namespace
} // namespace lv::lang
