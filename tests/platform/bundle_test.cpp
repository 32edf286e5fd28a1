#include "platform/bundle.h"

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace vellinor::platform {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Sets (or with nullopt unsets) VELLINOR_RESOURCE_DIR for one test, then puts it back.
class ResourceDirOverride {
public:
    explicit ResourceDirOverride(const std::optional<std::string>& value)
    {
        if (const char* old = std::getenv(kName))
            m_previous = old;
        if (value)
            ::setenv(kName, value->c_str(), 1);
        else
            ::unsetenv(kName);
    }
    ~ResourceDirOverride()
    {
        if (m_previous)
            ::setenv(kName, m_previous->c_str(), 1);
        else
            ::unsetenv(kName);
    }
    ResourceDirOverride(const ResourceDirOverride&) = delete;
    ResourceDirOverride& operator=(const ResourceDirOverride&) = delete;

private:
    static constexpr const char* kName = "VELLINOR_RESOURCE_DIR";
    std::optional<std::string> m_previous;
};

// The build tree mirrors the installed layout: bin/ beside share/vellinor/.
const fs::path kBuildResources = fs::path(VELLINOR_BINARY_DIR) / "share" / "vellinor";

TEST(Bundle, UsesTheFolderNamedByTheEnvironment)
{
    TempDir dir;
    test::writeFile(dir / "pnf.jpg", "picture");
    fs::create_symlink("/bin/true", dir / "sniffer");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    fs::create_directory(dir / "folder");
    ResourceDirOverride override(dir.path().string());

    EXPECT_EQ(resourceDirectory(), dir.path().string());
    EXPECT_EQ(resourcePath("pnf.jpg"), (dir / "pnf.jpg").string());
    EXPECT_EQ(resourcePath("sniffer"), (dir / "sniffer").string()) << "a link to a file counts";
    EXPECT_EQ(resourcePath("dangling"), std::nullopt);
    EXPECT_EQ(resourcePath("folder"), std::nullopt) << "a folder is not a resource";
    EXPECT_EQ(resourcePath("missing"), std::nullopt);
    EXPECT_EQ(resourcePath(""), std::nullopt);
    EXPECT_EQ(resourcePath((dir / "pnf.jpg").string()), std::nullopt) << "names, not paths";
}

TEST(Bundle, FallsBackToTheShareFolderBesideTheProgram)
{
    for (std::optional<std::string> value :
         {std::optional<std::string>{}, std::optional<std::string>{""},
          std::optional<std::string>{"/nonexistent/vellinor-resources"}}) {
        ResourceDirOverride override(value);
        auto folder = resourceDirectory();
        ASSERT_TRUE(folder.has_value());
        EXPECT_TRUE(fs::equivalent(*folder, kBuildResources)) << *folder;
        auto sniffer = resourcePath("sniffer");
        ASSERT_TRUE(sniffer.has_value());
        EXPECT_TRUE(fs::equivalent(*sniffer, kBuildResources / "sniffer"));
        EXPECT_EQ(resourcePath("no-such-resource"), std::nullopt);
    }
}

}  // namespace
}  // namespace vellinor::platform
