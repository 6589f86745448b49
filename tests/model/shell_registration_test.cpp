#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "model/document_types.h"
#include "model/shell_registration.h"

namespace {
std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

TEST(ShellRegistration, FiltersFilesAndDefaults) {
    const auto filters = openFilters();
    ASSERT_EQ(filters.size(), 16u);
    EXPECT_EQ(filters[0].first, "3df Textures (*.3df)");
    EXPECT_EQ(filters[0].second, "*.3df");
    EXPECT_EQ(filters[13].first, "Adobe Photoshop (*.psd)");
    EXPECT_EQ(filters[14].first.rfind("Supported files (.png;.psd;.3df;", 0), 0u);
    EXPECT_NE(filters[14].second.find("*.act"), std::string::npos);
    EXPECT_EQ(filters[15].first, "All Files (*.*)");

    const std::string entry = shell::desktopEntry("/opt/t/tarquil");
    EXPECT_NE(entry.find("[Desktop Entry]\nType=Application\nName=Tarquil Studio\n"),
              std::string::npos);
    EXPECT_NE(entry.find("\nExec=/opt/t/tarquil %F\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=tarquil\n"), std::string::npos);
    EXPECT_NE(entry.find("MimeType=image/x-tarquil-3df;image/x-tga;image/bmp;"), std::string::npos);
    EXPECT_EQ(entry.find("image/x-tarquil-3df;", entry.find("image/x-tarquil-3df;") + 1),
              std::string::npos);  // listed once
    const std::string mime = shell::mimePackage();
    EXPECT_NE(
        mime.find(
            "<mime-type type=\"image/x-tarquil-3df\">\n    <comment>3DF Texture File</comment>\n"
            "    <glob pattern=\"*.3df\"/>"),
        std::string::npos);
    for (const char* glob :
         {"*.tex", "*.spr", "*.rgt", "*.lmp", "*.gbr", "*.gih", "*.pal", "*.gpl"})
        EXPECT_NE(mime.find(std::string("<glob pattern=\"") + glob + "\"/>"), std::string::npos)
            << glob;

    // Installing writes what is missing and keeps what is there unless asked to overwrite.
    const std::string home = std::string(::testing::TempDir()) + "shell_home";
    std::filesystem::remove_all(home);
    EXPECT_FALSE(shell::registered(home));
    EXPECT_TRUE(shell::install(home, "/x/tarquil", "<svg/>", false).empty());
    EXPECT_TRUE(shell::registered(home));
    EXPECT_EQ(slurp(shell::iconPath(home)), "<svg/>");
    EXPECT_EQ(slurp(shell::desktopPath(home)), shell::desktopEntry("/x/tarquil"));
    shell::install(home, "/y/tarquil", "<svg/>", false);
    EXPECT_EQ(slurp(shell::desktopPath(home)), shell::desktopEntry("/x/tarquil"));
    shell::install(home, "/y/tarquil", "<svg/>", true);
    EXPECT_EQ(slurp(shell::desktopPath(home)), shell::desktopEntry("/y/tarquil"));

    // Defaults: ours set and removed; another program's choice is left alone.
    std::string apps = "[Added Associations]\nimage/png=gimp.desktop;\n\n[Default Applications]\n"
                       "image/png=gimp.desktop;\n";
    EXPECT_EQ(shell::defaultApplication(apps, "image/png"), "gimp.desktop");
    EXPECT_EQ(shell::setDefaultApplication(apps, "image/png", "tarquil.desktop", false), apps);
    apps = shell::setDefaultApplication(apps, "image/x-tga", "tarquil.desktop", true);
    EXPECT_EQ(shell::defaultApplication(apps, "image/x-tga"), "tarquil.desktop");
    EXPECT_EQ(shell::defaultApplication(apps, "image/png"), "gimp.desktop");
    apps = shell::setDefaultApplication(apps, "image/x-tga", "tarquil.desktop", false);
    EXPECT_EQ(shell::defaultApplication(apps, "image/x-tga"), "");
    EXPECT_EQ(shell::setDefaultApplication("", "image/gif", "tarquil.desktop", true),
              "[Default Applications]\nimage/gif=tarquil.desktop;\n");
}
