// The plug-in configuration files: selection by the device rules, the change test, the list
// file as written, and the user manuals.
#include <gtest/gtest.h>

#include <filesystem>

#include "Startup/Win32/pluginsconfigmgr.h"
#include "markup/markup_stl.h"
#include "platform/files.h"
#include "program_dir.h"

namespace {

using namespace startup_test;
using Ids = std::set<std::string>;

std::string Rules(const std::string& fallbackName = "common") {
    return std::string(
               "<plxadoc><devicegroup><devices>"
               "<item name=\"Wendrix 3G\" productid=\"1234:5601\"/>"
               "<item name=\"wendrix 4g\" productid=\"1234:5602\"/></devices>"
               "<common><plugin><item clsid=\"") +
           kIdA + "\"/><item clsid=\"" + kIdB +
           "\"/><item clsid=\"\"/></plugin></common>"
           "<device name=\"WENDRIX 4G\"><plugin><add clsid=\"" +
           kIdC + "\"/><remove clsid=\"" + kIdA + "\"/><add clsid=\"" + kIdA +
           "\"/></plugin></device>"
           "<device name=\"wendrix 4gv1\"><plugin><add clsid=\"" +
           kIdV +
           "\"/></plugin></device>"
           "<customize name=\"NoGps\"><plugin><remove clsid=\"" +
           kIdB + "\"/><add clsid=\"" + kIdU +
           "\"/></plugin></customize></devicegroup>"
           "<devicegroup><devices><item name=\"" +
           fallbackName + "\"/></devices><common><plugin><item clsid=\"" + kIdF +
           "\"/></plugin></common></devicegroup></plxadoc>";
}

std::vector<LibraryEntry> LibraryEntries() {
    return {{kIdA, "a.so", "PlugA"},
            {kIdB, "b.so", "PlugB"},
            {kIdC, "c.so", "PlugC"},
            {kIdF, "f.so", "PlugF"},
            {kIdV, "v.so", "PlugV"}};
}

class PluginFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir.Write("config/PluginsConfig.xml", Rules());
        dir.Write("config/pluginslib.xml", Library(LibraryEntries()));
    }
    ProgramDir dir;
    CPluginsConfigMgr mgr{dir.ListPath()};
};

TEST_F(PluginFiles, SelectsByGroupDeviceAndCustomizeRules) {
    struct Case {
        const char* device;
        const char* customize;
        Ids expected;
    } cases[] = {
        // The group's devices compare without case; empty identifiers are skipped.
        {"wendrix 3g", "", {kIdA, kIdB}},
        // Removals come after additions, whatever their order in the rule.
        {"wendrix 4g", "", {kIdB, kIdC}},
        {"wendrix 4gv1", "", {kIdF}},  // a device rule does not make a group member
        // Customize names compare without case; an identifier the library lacks is dropped
        // from the records but stays selected.
        {"wendrix 3g", "NOGPS", {kIdA, kIdU}},
        {"wendrix 3g", "other", {kIdA, kIdB}},
        {"unknown", "", {kIdF}},  // the fallback group
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.device) + "/" + c.customize);
        ASSERT_TRUE(mgr.SelectEnabledPlugins(c.device, c.customize));
        EXPECT_EQ(mgr.EnabledIds(), c.expected);
        Ids recorded;
        for (const PluginRecord& r : mgr.Records()) recorded.insert(r.clsid);
        Ids listed = c.expected;
        listed.erase(kIdU);
        EXPECT_EQ(recorded, listed);
    }
}

TEST_F(PluginFiles, FailuresAreTracedAndEmptyDeviceChangesNothing) {
    EXPECT_TRUE(mgr.SelectEnabledPlugins("", ""));
    EXPECT_TRUE(mgr.EnabledIds().empty());

    dir.Write("config/PluginsConfig.xml", Rules("Common"));
    EXPECT_FALSE(mgr.SelectEnabledPlugins("unknown", ""));  // "common" is case-sensitive
    EXPECT_TRUE(dir.Traced("info", "Devicename has not found. "));

    dir.Write("config/PluginsConfig.xml",
              "<plxadoc><devicegroup><devices><item name=\"x\"/>"
              "</devices></devicegroup></plxadoc>");
    EXPECT_FALSE(mgr.SelectEnabledPlugins("x", ""));
    EXPECT_TRUE(dir.Traced("info", "the item of <common> is invalid. "));

    std::filesystem::remove(dir / "config/PluginsConfig.xml");
    EXPECT_FALSE(mgr.SelectEnabledPlugins("x", ""));
    EXPECT_TRUE(dir.Traced("info", "PluginConfig file has damaged! Load file fail!"));

    dir.Write("config/PluginsConfig.xml", Rules());
    dir.Write("config/pluginslib.xml", "<other/>");
    EXPECT_FALSE(mgr.SelectEnabledPlugins("wendrix 3g", ""));
    EXPECT_TRUE(dir.Traced("info", "the pluginslib file has been damaged. "));
}

TEST_F(PluginFiles, WritesTheListByteForByteAndOnlyWhenIdentifiersDiffer) {
    EXPECT_TRUE(mgr.PluginsConfigChanged());  // no list yet
    ASSERT_TRUE(mgr.SelectEnabledPlugins("wendrix 3g", ""));
    ASSERT_TRUE(mgr.CreateNewPluginsConfig());
    std::string block =
        "\t<plugin>\r\n\t\t<channel>0</channel>\r\n\t\t<name>PlugA</name>\r\n"
        "\t\t<alias>PlugA</alias>\r\n\t\t<clsid>" +
        std::string(kIdA) +
        "</clsid>\r\n\t\t<url>a.so</url>\r\n\t\t<setting_title></setting_title>\r\n"
        "\t\t<version>1.0</version>\r\n\t\t<type>t</type>\r\n"
        "\t\t<active>1</active>\r\n\t\t<static>0</static>\r\n\t</plugin>\r\n";
    std::string expectedStart = std::string("<main>\r\n\t<mainplugin>") +
                                framework::kMainFramePluginId + "</mainplugin>\r\n" + block;
    std::string written = dir.Read("plugins.xml");
    EXPECT_EQ(written.substr(0, expectedStart.size()), expectedStart);
    EXPECT_EQ(written.substr(written.size() - 7), "</main>");
    EXPECT_FALSE(mgr.PluginsConfigChanged());

    // Reordering the library reorders the records but is no change; the main frame's
    // identifier of the old list is kept.
    auto entries = LibraryEntries();
    std::swap(entries[0], entries[1]);
    dir.Write("config/pluginslib.xml", Library(entries));
    ASSERT_TRUE(mgr.SelectEnabledPlugins("wendrix 3g", ""));
    EXPECT_EQ(mgr.Records().front().clsid, kIdB);
    EXPECT_FALSE(mgr.PluginsConfigChanged());

    ASSERT_TRUE(mgr.SelectEnabledPlugins("wendrix 4g", ""));
    EXPECT_TRUE(mgr.PluginsConfigChanged());
}

TEST_F(PluginFiles, ReplacesAReadOnlyListAndKeepsItsMainFrame) {
    dir.Write("plugins.xml", "<main><mainplugin>OWN-FRAME</mainplugin></main>");
    std::filesystem::permissions(dir.ListPath(), std::filesystem::perms::owner_read);
    ASSERT_TRUE(mgr.SelectEnabledPlugins("wendrix 3g", ""));
    ASSERT_TRUE(mgr.CreateNewPluginsConfig());
    EXPECT_NE(dir.Read("plugins.xml").find("<mainplugin>OWN-FRAME</mainplugin>"),
              std::string::npos);
    EXPECT_FALSE(mgr.PluginsConfigChanged());
}

// Values that need escaping are written escaped and read back as they were; a library entry
// lacking a child leaves that field empty instead of taking the previous entry's value.
TEST_F(PluginFiles, EscapedValuesReadBackAndMissingChildrenStayEmpty) {
    dir.Write("config/PluginsConfig.xml",
              "<plxadoc><devicegroup><devices><item name=\"common\"/></devices><common><plugin>"
              "<item clsid=\"A&amp;&lt;1\"/><item clsid=\"B2\"/></plugin></common></devicegroup>"
              "</plxadoc>");
    dir.Write("config/pluginslib.xml",
              "<main><plugin><name>First</name><clsid>A&amp;&lt;1</clsid>"
              "<url>/opt/a&amp;b/x.so</url></plugin>"
              "<plugin><clsid>B2</clsid></plugin></main>");
    ASSERT_TRUE(mgr.SelectEnabledPlugins("any", ""));
    ASSERT_EQ(mgr.Records().size(), 2u);
    EXPECT_EQ(mgr.Records()[1].name, "");
    EXPECT_EQ(mgr.Records()[1].url, "");
    ASSERT_TRUE(mgr.CreateNewPluginsConfig());
    EXPECT_FALSE(mgr.PluginsConfigChanged());

    CMarkupSTL list;
    ASSERT_TRUE(list.LoadFromFile(dir.ListPath()));
    ASSERT_TRUE(list.FindSibling("main") && list.Descend() && list.FindSibling("plugin"));
    ASSERT_TRUE(list.FindChild("url"));
    EXPECT_EQ(list.ChildText(), "/opt/a&b/x.so");
}

TEST_F(PluginFiles, UserManualsFollowTheEnabledPlugins) {
    std::string enabledHelp = dir.Write("plugins/PlugA/help.ch_", "a");
    std::string disabledHelp = dir.Write("plugins/Stray/help.chm", "s");
    std::string readme = dir.Write("plugins/PlugA/readme.txt", "r");
    std::string both = dir.Write("plugins/PlugB/guide.chm", "new");
    dir.Write("plugins/PlugB/guide.ch_", "old");
    dir.Write("plugins/PlugC/guide.chm", "c");                // not enabled for this device
    ASSERT_TRUE(mgr.SelectEnabledPlugins("wendrix 3g", ""));  // PlugA and PlugB
    EXPECT_TRUE(platform::FileExists(dir / "plugins/PlugA/help.chm"));
    EXPECT_FALSE(platform::FileExists(enabledHelp));
    EXPECT_TRUE(platform::FileExists(dir / "plugins/Stray/help.ch_"));
    EXPECT_FALSE(platform::FileExists(disabledHelp));
    EXPECT_TRUE(platform::FileExists(readme));
    EXPECT_TRUE(platform::FileExists(dir / "plugins/PlugC/guide.ch_"));
    // A rename never replaces the other file of the pair.
    EXPECT_EQ(dir.Read("plugins/PlugB/guide.chm"), "new");
    EXPECT_EQ(dir.Read("plugins/PlugB/guide.ch_"), "old");
}

}  // namespace

namespace {

// The rules and library shipped in the install tree give each model of the simulated card
// its plug-ins, and every library they name is one this tree builds.
TEST(ShippedPluginFiles, GiveEachModelItsPlugins) {
    ProgramDir dir;
    for (const char* file :
         {"config/PluginsConfig.xml", "config/pluginslib.xml", "SysSetting.xml"}) {
        dir.Write(file,
                  platform::ReadWholeFile(std::string(SATVIEW_DATA_DIR) + "/" + file).value());
    }
    CPluginsConfigMgr mgr(dir.ListPath());
    const Ids all = {framework::kMainFramePluginId, framework::kDeviceMgrId,
                     framework::kConfigPluginId, framework::kOrbitpanePluginId};
    Ids withoutGps = all;
    withoutGps.erase(framework::kOrbitpanePluginId);
    struct Case {
        const char* device;
        const char* customize;
        Ids expected;
    } cases[] = {{"1234:5601", "", all},
                 {"wendrix 4g", "", all},
                 {"wendrix 2g", "", withoutGps},
                 {"wendrix 3g", "NoGps", withoutGps},
                 {"some other card", "", all}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        ASSERT_TRUE(mgr.SelectEnabledPlugins(mgr.ResolveDeviceName(c.device), c.customize));
        Ids recorded;
        for (const PluginRecord& r : mgr.Records()) recorded.insert(r.clsid);
        EXPECT_EQ(recorded, c.expected);
    }
    ASSERT_TRUE(mgr.SelectEnabledPlugins("wendrix 3g", ""));
    for (const PluginRecord& r : mgr.Records()) {
        if (r.clsid == framework::kDeviceMgrId) continue;  // built by the device manager's folder
        EXPECT_TRUE(platform::FileExists(std::string(SATVIEW_PROGRAM_DIR) + "/" + r.url)) << r.url;
    }
}

}  // namespace
