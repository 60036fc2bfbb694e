// The kernel's file commands as the program calls them, in a fresh program
// folder: whole reads and writes, text reads, folders, deletion, both kinds
// of separator, and what happens with files that are not there or not files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "runtime/files.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/process.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::runtime;
using namespace tolvar::test;

namespace {

std::string take_text(const Text &text) { return std::string(text_view(text)); }
std::string take_bytes(const ByteSet &byte_set) { return std::string(bytes_view(byte_set)); }

std::string in(const ScratchDir &d, const std::string &name) { return (d.path() / name).string(); }

TEST(FileCommands, TheProgramDirectoryIsTheFolderTheProgramRunsIn) {
    ScratchDir folder;
    std::string directory;
    in_program([&] { directory = take_text(program_directory()); }, folder.path().string());
    EXPECT_EQ(folder.path().string(), directory);
}

TEST(FileCommands, WholeFilesAreWrittenReplacedAndReadBackByteForByte) {
    ScratchDir folder;
    in_program([&] {
        std::string path = in(folder, "a.bin");
        const char raw[] = {'x', 0, '\r', '\n', char(0xC4), char(0xE3)};
        ByteSet first = new_bytes(raw, sizeof raw);
        ByteSet second = new_bytes("tail", 4);
        EXPECT_TRUE(write_file(path.c_str(), {first.get(), second.get()}));
        EXPECT_EQ(std::string(raw, sizeof raw) + "tail", read_file(fs::path(path)));
        EXPECT_EQ(std::string(raw, sizeof raw) + "tail", take_bytes(runtime::read_file(path.c_str())));
        EXPECT_TRUE(write_file(path.c_str(), {second.get()}));
        EXPECT_EQ("tail", take_bytes(runtime::read_file(path.c_str())));
        // No temporary file is left beside it.
        EXPECT_EQ(1, std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()));
    }, folder.path().string());
}

TEST(FileCommands, ABackslashSeparatesAsASlashDoes) {
    ScratchDir folder;
    write_file(folder.path() / "44.she", "skin");
    in_program([&] {
        std::string path = folder.path().string() + "\\44.she";
        EXPECT_TRUE(file_exists(path.c_str()));
        EXPECT_EQ("skin", take_bytes(runtime::read_file(path.c_str())));
        std::string nested = folder.path().string() + "\\ad\\x";
        EXPECT_TRUE(create_folder(nested.c_str()));
    });
    EXPECT_TRUE(fs::is_directory(folder.path() / "ad" / "x"));
}

TEST(FileCommands, WhatIsNotAReadableFileReadsAsAbsent) {
    ScratchDir folder;
    fs::create_directory(folder.path() / "dir");
    in_program([&] {
        for (std::string name : {"missing", "dir", ""}) {
            std::string path = in(folder, name);
            EXPECT_FALSE(file_exists(path.c_str())) << name;
            EXPECT_EQ("", take_bytes(runtime::read_file(path.c_str()))) << name;
            EXPECT_EQ(0, open_file(path.c_str())) << name;
            EXPECT_FALSE(delete_file(path.c_str())) << name;
        }
        EXPECT_EQ("", take_text(read_text(0)));
        EXPECT_EQ("", take_text(read_text(12345)));
        close_file(12345);
        // A write over a folder, or into a folder that is not there, fails and makes nothing.
        ByteSet bytes = new_bytes("x", 1);
        EXPECT_FALSE(write_file(in(folder, "dir").c_str(), {bytes.get()}));
        EXPECT_FALSE(write_file(in(folder, "no/such/file").c_str(), {bytes.get()}));
    });
    EXPECT_TRUE(fs::is_directory(folder.path() / "dir"));
    EXPECT_FALSE(fs::exists(folder.path() / "no"));
}

TEST(FileCommands, TextReadsEndAtTheFirstZeroByteAndFilesAreDeleted) {
    ScratchDir folder;
    write_file(folder.path() / "connig.ini", std::string("13800000001\r\nowner\0rest", 24));
    in_program([&] {
        std::string path = in(folder, "connig.ini");
        int32_t file = open_file(path.c_str());
        ASSERT_NE(0, file);
        EXPECT_EQ("13800000001\r\nowner", take_text(read_text(file)));
        close_file(file);
        EXPECT_EQ("", take_text(read_text(file)));  // closed
        EXPECT_TRUE(delete_file(path.c_str()));
        EXPECT_FALSE(file_exists(path.c_str()));
    });
}

}  // namespace
