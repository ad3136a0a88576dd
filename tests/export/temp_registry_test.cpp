#include "export/temp_registry.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>

#include <filesystem>
#include <fstream>

#include "export/replacing_file.h"
#include "tests/support/scratch_dir.h"

namespace lv::exporter {
namespace {

namespace fs = std::filesystem;

TEST(TempRegistry, SweepRemovesRegisteredFilesAndForgottenOnesStay) {
    test::ScratchDir dir;
    const int before = registeredTemporaryCount();
    std::ofstream(dir.file("a")) << "a";
    std::ofstream(dir.file("b")) << "b";
    int a = registerTemporary(dir.file("a"));
    int b = registerTemporary(dir.file("b"));
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    forgetTemporary(b);
    removeRegisteredTemporaries();
    EXPECT_FALSE(fs::exists(dir.file("a")));
    EXPECT_TRUE(fs::exists(dir.file("b")));
    forgetTemporary(a);
    EXPECT_EQ(registeredTemporaryCount(), before);
}

TEST(TempRegistry, SweepKillsRegisteredChildGroupsAndReapsTheirLeaders) {
    test::ScratchDir dir;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::setpgid(0, 0);
        ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(child, child);
    std::ofstream(dir.file("partial")) << "x";
    const int file = registerTemporary(dir.file("partial"));
    const int group = registerChildGroup(child);
    ASSERT_GE(group, 0);
    removeRegisteredTemporaries();
    // The child was killed and reaped by the sweep: nothing is left to wait for.
    errno = 0;
    EXPECT_EQ(::waitpid(child, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_FALSE(fs::exists(dir.file("partial")));
    forgetTemporary(file);
    forgetChildGroup(group); // already dropped by the sweep; harmless
    EXPECT_EQ(registerChildGroup(0), -1);
}

TEST(TempRegistry, TableGrowsPastOneChunkAndReusesSlots) {
    std::vector<int> handles;
    for (int i = 0; i < 3000; ++i) handles.push_back(registerTemporary("/nonexistent/x"));
    EXPECT_EQ(std::count(handles.begin(), handles.end(), -1), 0);
    EXPECT_EQ(std::set<int>(handles.begin(), handles.end()).size(), handles.size());
    for (int h : handles) forgetTemporary(h);
    int again = registerTemporary("/nonexistent/y");
    EXPECT_LT(again, 3000);
    forgetTemporary(again);
}

TEST(TempRegistry, ReplacingFileIsRegisteredOnlyWhileItsTemporaryExists) {
    test::ScratchDir dir;
    const int before = registeredTemporaryCount();
    std::string error;
    {
        ReplacingFile file;
        ASSERT_TRUE(file.open(dir.file("out.bin"), error)) << error;
        ASSERT_TRUE(file.write("xyz", 3, error));
        EXPECT_EQ(registeredTemporaryCount(), before + 1);
        // A signal now would sweep the temporary away and leave the folder empty.
        removeRegisteredTemporaries();
        EXPECT_EQ(test::filesIn(dir.path()), 0);
    }
    EXPECT_EQ(registeredTemporaryCount(), before);
    ReplacingFile file;
    ASSERT_TRUE(file.open(dir.file("out.bin"), error));
    ASSERT_TRUE(file.write("xyz", 3, error));
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_EQ(registeredTemporaryCount(), before);
    removeRegisteredTemporaries();
    EXPECT_EQ(test::readText(dir.file("out.bin")), "xyz");
}

TEST(TempRegistry, SweepRemovesARegisteredFolderOnceItsFilesAreGone) {
    test::ScratchDir dir;
    fs::create_directories(dir.file("work"));
    std::ofstream(dir.file("work/scene")) << "scene";
    // The folder is registered before the file it holds.
    int folder = registerTemporary(dir.file("work"));
    int file = registerTemporary(dir.file("work/scene"));
    removeRegisteredTemporaries();
    EXPECT_FALSE(fs::exists(dir.file("work")));
    forgetTemporary(file);
    forgetTemporary(folder);
}

} // namespace
} // namespace lv::exporter
