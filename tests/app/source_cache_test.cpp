#include "app/source_cache.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "app/library.h"
#include "lang/disassembler.h"
#include "model/model.h"
#include "tests/support/scratch_dir.h"

namespace lv::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class SourceCacheTest : public ::testing::Test {
protected:
    lv::test::ScratchDir scratch;
    fs::path dir;
    SourceCache cache;

    void SetUp() override {
        dir = scratch.path();
    }

    // Writes text to name with the given modification time (seconds after a fixed base).
    std::string write(const std::string& name, const std::string& text, int seconds) {
        fs::path p = dir / name;
        std::ofstream(p, std::ios::binary) << text;
        fs::last_write_time(p, base() + std::chrono::seconds(seconds));
        return p.string();
    }
    static FileTime base() { return initialFileTime() + 24h * 365 * 40; }
};

TEST_F(SourceCacheTest, UnchangedFileIsCompiledOnceAndTouchedFileAgain) {
    std::string p = write("a.lv", "p(x[3], a[0]) { p = 1; }\n", 10);
    auto first = cache.lookup(p);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->hasError());
    EXPECT_EQ(first->fileTime, base() + 10s);
    EXPECT_EQ(cache.lookup(p), first); // the cached entry, not a new compilation
    EXPECT_EQ(cache.files().size(), 1u);

    fs::last_write_time(p, base() + 11s); // touched, same text
    auto second = cache.lookup(p);
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_EQ(cache.files().size(), 1u);
    EXPECT_EQ(first->objects.size(), 1u); // holders of the old entry keep it intact
}

TEST_F(SourceCacheTest, LineEndsAndUnreadableFiles) {
    std::string lf = write("lf.lv", "p(x[3], a[0])\n{ p = x[1]; }\n", 1);
    std::string crlf = write("crlf.lv", "p(x[3], a[0])\r\n{ p = x[1]; }\r\n", 1);
    std::string cr = write("cr.lv", "p(x[3], a[0])\r{ p = x[1]; }\n", 1);
    auto a = cache.lookup(lf);
    auto b = cache.lookup(crlf);
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->objects.size(), 1u);
    ASSERT_EQ(b->objects.size(), 1u);
    EXPECT_EQ(lang::dumpObject(*a->objects[0]), lang::dumpObject(*b->objects[0]));

    EXPECT_FALSE(cache.lookup(cr));
    EXPECT_FALSE(cache.readError().empty());
    EXPECT_FALSE(cache.lookup((dir / "missing.lv").string()));
    EXPECT_FALSE(cache.lookup(dir.string()));
    EXPECT_EQ(cache.compiledObjects(cr).status, model::SourceObjects::Status::Unreadable);
}

TEST_F(SourceCacheTest, EntriesWithErrorsStayCachedAndPathsCompareExactly) {
    std::string bad = write("bad.lv", "p(x[3], a[0]) {\n  p = x[1] +; }\n", 1);
    auto entry = cache.lookup(bad);
    ASSERT_TRUE(entry && entry->hasError());
    EXPECT_EQ(entry->firstError->line, 2);
    EXPECT_TRUE(entry->objects.empty());
    EXPECT_EQ(cache.lookup(bad), entry);
    model::SourceObjects seen = cache.compiledObjects(bad);
    EXPECT_EQ(seen.status, model::SourceObjects::Status::HasError);
    EXPECT_EQ(seen.line, 2);

    std::string good = write("Good.lv", "g(x[3], a[0]) { g = 1; }\n", 1);
    std::string other = (dir / "." / "Good.lv").string(); // same file, another spelling
    EXPECT_NE(cache.lookup(good), cache.lookup(other));
    EXPECT_EQ(cache.files().size(), 3u);
    cache.remove(other);
    EXPECT_EQ(cache.files().size(), 2u);
    EXPECT_EQ(displayName(*cache.lookup(good), false), "Good.lv");
    EXPECT_EQ(displayName(*cache.lookup(good), true), good);
}

TEST_F(SourceCacheTest, LibraryObjectsAndStalenessAgainstTheLibrary) {
    std::string lib = write("lib.lv", "half(x[3], a[0]) { half = 0.5; }\n", 20);
    std::string user = write("user.lv", "u(x[3], a[0]) { u = half(x, a); }\n", 30);
    std::string older = write("older.lv", "o(x[3], a[0]) { o = 1; }\n", 10);
    std::string error;
    ASSERT_TRUE(setLibraryFile(cache, lib, error)) << error;

    auto u = cache.lookup(user);
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->hasError()); // the library's object was found
    auto o = cache.lookup(older);
    ASSERT_TRUE(o);
    // Older than the library: never current against it.
    EXPECT_FALSE(isCurrent(*o, cache.library().get()));
    EXPECT_NE(cache.lookup(older), o);
    EXPECT_EQ(cache.lookup(user), u);

    // The library is saved again: it is stale, and so is every file older than it.
    write("lib.lv", "half(x[3], a[0]) { half = 0.25; }\n", 40);
    EXPECT_FALSE(isCurrent(*u, cache.library().get()));
    ASSERT_TRUE(refreshLibrary(cache));
    EXPECT_EQ(cache.library()->fileTime, base() + 40s);
    auto u2 = cache.lookup(user);
    EXPECT_NE(u2, u);
    EXPECT_NE(cache.lookup(user), u2); // still older than the library: compiled each time

    // A library with an error gives no objects, and makes every entry stale.
    write("lib.lv", "half(x[3], a[0]) { half = ; }\n", 50);
    ASSERT_TRUE(refreshLibrary(cache));
    EXPECT_TRUE(cache.library()->hasError());
    auto u3 = cache.lookup(user);
    ASSERT_TRUE(u3);
    EXPECT_TRUE(u3->hasError());
    EXPECT_NE(cache.lookup(user), u3);

    // Without a library an unchanged file stays current, whatever it was compiled against.
    ASSERT_TRUE(setLibraryFile(cache, "", error));
    auto o2 = cache.lookup(older);
    EXPECT_EQ(cache.lookup(older), o2);
    EXPECT_FALSE(refreshLibrary(cache));
    EXPECT_FALSE(setLibraryFile(cache, (dir / "none.lv").string(), error));
    EXPECT_FALSE(error.empty());
}

TEST_F(SourceCacheTest, TheModelGetsObjectsThroughTheCache) {
    std::string p = write("s.lv", "s(x[3], a[1]) { s = a[1] - x[1]; }\n", 1);
    model::Model model;
    ASSERT_NE(model.addObject(cache, "", "s", p), nullptr);
    ASSERT_NE(model.addObject(cache, "t", "s", p), nullptr);
    EXPECT_EQ(cache.files().size(), 1u);
    EXPECT_EQ(model.addObject(cache, "u", "s", (dir / "none.lv").string()), nullptr);
}

TEST_F(SourceCacheTest, AnEntryIsCurrentOnlyAgainstTheLibraryItWasCompiledWith) {
    std::string lib = write("lib.lv", "half(x[3], a[0]) { half = 0.5; }\n", 10);
    std::string other = write("other.lv", "half(x[3], a[0]) { half = 0.25; }\n", 11);
    std::string user = write("user.lv", "u(x[3], a[0]) { u = half(x, a); }\n", 30);
    auto alone = cache.lookup(user); // newer than both libraries
    ASSERT_TRUE(alone);
    EXPECT_TRUE(alone->hasError());
    std::string error;
    ASSERT_TRUE(setLibraryFile(cache, lib, error));
    auto with = cache.lookup(user);
    ASSERT_TRUE(with);
    EXPECT_FALSE(with->hasError()); // not the error cached before the library was set
    EXPECT_EQ(cache.lookup(user), with);
    ASSERT_TRUE(setLibraryFile(cache, other, error));
    auto withOther = cache.lookup(user);
    EXPECT_NE(withOther, with);
    EXPECT_EQ(cache.lookup(user), withOther);
    ASSERT_TRUE(setLibraryFile(cache, "", error));
    auto without = cache.lookup(user);
    ASSERT_TRUE(without);
    EXPECT_TRUE(without->hasError()); // the library's objects are gone with it
}

} // namespace
} // namespace lv::app
