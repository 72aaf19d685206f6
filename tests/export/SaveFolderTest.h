#pragma once

#include "WriterTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>

namespace testimages {

// A fresh folder for each test's files, and writer options at their defaults.
class SaveFolderTest : public WriterTest {
protected:
    void SetUp() override {
        WriterTest::SetUp();
        char pattern[] = "/tmp/quarn-export-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Folder = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::permissions(Folder, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(Folder, ec);
        WriterTest::TearDown();
    }
    std::string PathOf(const std::string& name) const { return (Folder / name).string(); }
    std::set<std::string> FolderContents() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(Folder))
            names.insert(entry.path().filename().string());
        return names;
    }
    std::string ReadFile(const std::string& name) const {
        std::ifstream in(Folder / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void WriteFile(const std::string& name, const std::string& content) const {
        std::ofstream(Folder / name, std::ios::binary) << content;
    }
    template <class TException> std::string MessageOf(const std::function<void()>& action) const {
        try {
            action();
        } catch (const TException& e) {
            return e.what();
        }
        ADD_FAILURE() << "nothing raised";
        return {};
    }

    std::filesystem::path Folder;
};

} // namespace testimages
