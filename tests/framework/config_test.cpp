// The settings store and the configuration service: values land beside what is already in
// SysSetting.xml, survive odd text, and every failure is an answer, not a damaged file.
#include <gtest/gtest.h>

#include <filesystem>

#include "framework/config/config_service.h"
#include "framework/config/setting_store.h"
#include "framework/container/program_directory.h"
#include "framework/contracts/ids.h"
#include "markup/markup_stl.h"
#include "platform/files.h"
#include "platform/library.h"
#include "temp_dir.h"

using framework::ConfigService;
using framework::SettingStore;

namespace {

const char* kShipped =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!-- installed settings -->\r\n"
    "<plxadoc>\r\n"
    "\t<system>\r\n"
    "\t\t<servicevoice>1</servicevoice>\r\n"
    "\t\t<devicename default=\"wdx-a\"/>\r\n"
    "\t</system>\r\n"
    "\t<xframemodule/>\r\n"
    "</plxadoc>\r\n";

std::wstring Read(ConfigService& service, const wchar_t* section, const wchar_t* key, int current,
                  int* answer = nullptr) {
    wchar_t buffer[64];
    int result = service.ReadValue(section, key, buffer, 64, current);
    if (answer) *answer = result;
    return result > 0 ? std::wstring(buffer) : L"<failed>";
}

TEST(SettingStore, WritesKeepEverythingElseInTheFile) {
    testing_support::TempDir dir;
    dir.Write("SysSetting.xml", kShipped);
    ConfigService service(dir.path());

    int answer = 0;
    EXPECT_EQ(Read(service, L"system", L"devicename", 1, &answer), L"");
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(Read(service, L"system", L"devicename", 0, &answer), L"wdx-a");
    EXPECT_EQ(answer, 6);

    ASSERT_TRUE(service.WriteValue(L"system", L"devicename", L"wdx-b", 1));
    ASSERT_TRUE(service.WriteValue(L"xframemodule", L"nosplashscreen", L"1", 1));
    ASSERT_TRUE(service.WriteValue(L"newsection", L"newkey", L"v", 0));
    ASSERT_TRUE(service.WriteValue(L"system", L"devicename", L"e1820", 0));
    EXPECT_EQ(Read(service, L"system", L"devicename", 1), L"wdx-b");
    EXPECT_EQ(Read(service, L"system", L"devicename", 0), L"e1820");
    EXPECT_EQ(Read(service, L"xframemodule", L"nosplashscreen", 1), L"1");
    EXPECT_EQ(Read(service, L"newsection", L"newkey", 0), L"v");
    EXPECT_EQ(Read(service, L"newsection", L"newkey", 1), L"");

    // The element the launcher reads by itself is where it was, and so is the comment.
    CMarkupSTL doc;
    ASSERT_TRUE(doc.LoadFromFile(dir / "SysSetting.xml"));
    EXPECT_NE(doc.Text().find("<!-- installed settings -->"), std::string::npos);
    ASSERT_TRUE(doc.FindSibling("plxadoc"));
    ASSERT_TRUE(doc.FindChild("system"));
    doc.Descend();
    ASSERT_TRUE(doc.FindChild("servicevoice"));
    EXPECT_EQ(doc.ChildText(), "1");
}

TEST(SettingStore, AMissingFileIsCreatedAndOddTextRoundTrips) {
    testing_support::TempDir dir;
    ConfigService service(dir.path());
    EXPECT_EQ(Read(service, L"system", L"devicename", 1), L"<failed>");
    const wchar_t* odd = L"<a & \"b\" 'c'> \u65E5\u672C";
    ASSERT_TRUE(service.WriteValue(L"system", L"devicename", odd, 1));
    ASSERT_TRUE(service.WriteValue(L"system", L"devicename", odd, 0));
    EXPECT_EQ(Read(service, L"system", L"devicename", 1), odd);
    EXPECT_EQ(Read(service, L"system", L"devicename", 0), odd);
    ASSERT_TRUE(service.WriteValue(L"system", L"devicename", L"", 1));
    EXPECT_EQ(Read(service, L"system", L"devicename", 1), L"");
    CMarkupSTL doc;
    EXPECT_TRUE(doc.LoadFromFile(dir / "SysSetting.xml"));
}

TEST(SettingStore, FailuresAnswerWithoutTouchingTheFile) {
    testing_support::TempDir dir;
    std::string path = dir.Write("SysSetting.xml", kShipped);
    ConfigService service(dir.path());
    wchar_t small[3] = L"xy";
    EXPECT_EQ(service.ReadValue(L"system", L"servicevoice", small, 3, 1), 2);
    EXPECT_EQ(service.ReadValue(L"system", L"devicename", small, 3, 0), 0);  // "wdx-a" too long
    EXPECT_EQ(small[0], L'\0');
    EXPECT_EQ(service.GetLastErrorCode(), -1);
    EXPECT_EQ(service.ReadValue(L"system", L"servicevoice", small, 0, 1), 0);
    EXPECT_EQ(service.ReadValue(L"system", L"servicevoice", nullptr, 3, 1), 0);
    EXPECT_EQ(service.ReadValue(L"system", L"servicevoice", small, 3, 2), 0);
    EXPECT_EQ(service.ReadValue(nullptr, L"servicevoice", small, 3, 1), 0);
    EXPECT_EQ(Read(service, L"system", L"missing", 1), L"<failed>");
    EXPECT_EQ(Read(service, L"nosection", L"servicevoice", 1), L"<failed>");

    EXPECT_FALSE(service.WriteValue(L"system", L"bad name", L"x", 1));
    EXPECT_FALSE(service.WriteValue(L"sys<tem", L"key", L"x", 1));
    EXPECT_FALSE(service.WriteValue(L"system", L"key", nullptr, 1));
    EXPECT_FALSE(service.WriteValue(L"system", L"key", L"x", 3));
    EXPECT_FALSE(service.WriteValue(L"", L"key", L"x", 1));
    EXPECT_FALSE(service.WriteValue(L"system", L"servicevoice", L"\xD800", 1));  // not Unicode
    std::string before = *platform::ReadWholeFile(path);

    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(service.WriteValue(L"system", L"servicevoice", L"0", 1));
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(*platform::ReadWholeFile(path), before);

    dir.Write("SysSetting.xml", "<plxadoc><system>");
    EXPECT_FALSE(service.WriteValue(L"system", L"servicevoice", L"0", 1));
    EXPECT_EQ(*platform::ReadWholeFile(path), "<plxadoc><system>");
    // A key holding elements is not a value.
    dir.Write("SysSetting.xml", "<plxadoc><grp><k><inner/></k></grp></plxadoc>");
    EXPECT_FALSE(service.WriteValue(L"grp", L"k", L"x", 1));
    EXPECT_EQ(*platform::ReadWholeFile(path), "<plxadoc><grp><k><inner/></k></grp></plxadoc>");
    dir.Write("SysSetting.xml", "<other/>");
    EXPECT_FALSE(service.WriteValue(L"system", L"servicevoice", L"0", 1));
    EXPECT_EQ(Read(service, L"system", L"servicevoice", 1), L"<failed>");
}

TEST(ConfigPlugin, HandsOutTheServiceOverTheChosenProgramDirectory) {
    testing_support::TempDir dir;
    framework::SetProgramDirectory(dir.path());
    std::string error;
    auto library = platform::SharedLibrary::Load(CONFIG_PLUGIN_PATH, error);
    ASSERT_NE(library, nullptr) << error;
    auto create =
        library->Function<framework::CreatePluginFn>(framework::kCreatePluginExport, error);
    ASSERT_NE(create, nullptr) << error;
    framework::IBasePlugin* plugin = create();
    ASSERT_NE(plugin, nullptr);
    EXPECT_STREQ(plugin->GetPluginId(), framework::kConfigPluginId);

    framework::IBaseInterface* object = nullptr;
    EXPECT_FALSE(plugin->QueryInterface(1, &object));
    EXPECT_EQ(object, nullptr);
    ASSERT_TRUE(plugin->QueryInterface(framework::kConfigServiceFlag, &object));
    auto* service = dynamic_cast<framework::IConfigService*>(object);
    ASSERT_NE(service, nullptr);
    EXPECT_TRUE(service->WriteValue(L"system", L"devicename", L"wdx-a", 1));
    service->Release();
    plugin->Release();
    EXPECT_EQ(SettingStore(dir.path()).Read("system", "devicename", true), "wdx-a");
    framework::SetProgramDirectory("");
}

}  // namespace
