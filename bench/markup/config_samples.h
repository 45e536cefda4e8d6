// Configuration documents of the shapes the install tree ships, for parsing benchmarks.
#pragma once

#include <string_view>

namespace bench_samples {

struct Sample {
    std::string_view name;
    std::string_view text;
};

inline constexpr std::string_view kConfigFile = R"xml(<?xml version="1.0" encoding="UTF-8"?>
<ConfigInfo>
    <AGPS>
        <element isSupported="Y" />
    </AGPS>
    <Path>
        <element name="/usr/local/bin/gpsview" />
    </Path>
    <Type>
        <element name="AGPS" />
    </Type>
    <APN>
        <element name="internet.example.net" />
    </APN>
    <SUPL>
        <element name="supl.example.com:7275" />
    </SUPL>
    <Scenario>
        <element name="High speed" />
    </Scenario>
</ConfigInfo>
)xml";

inline constexpr std::string_view kPlugins = R"xml(<?xml version="1.0" encoding="utf-8"?>
<main>
	<mainplugin>D754AE84-535F-4c18-85F8-F154CFE34DDF</mainplugin>
	<plugin>
		<channel>0</channel>
		<name>XFramePlugin</name>
		<alias>Main frame</alias>
		<clsid>D754AE84-535F-4c18-85F8-F154CFE34DDF</clsid>
		<url>plugins/XFramePlugin/libxframe.so</url>
		<setting_title></setting_title>
		<version>1.0.0.1</version>
		<type>0</type>
		<active>1</active>
		<static>1</static>
	</plugin>
	<plugin>
		<channel>0</channel>
		<name>DeviceMgr</name>
		<alias>Device manager</alias>
		<clsid>5D31EE0B-DA93-4641-BD21-7DCE3DB15D15</clsid>
		<url>plugins/DeviceMgr/libdevicemgr.so</url>
		<setting_title></setting_title>
		<version>1.0.0.3</version>
		<type>1</type>
		<active>1</active>
		<static>1</static>
	</plugin>
	<plugin>
		<channel>1</channel>
		<name>Orbitpane</name>
		<alias>GPS</alias>
		<clsid>8B4E3A10-6C2D-4F1E-9A57-2E0C5D7B1F32</clsid>
		<url>plugins/Orbitpane/liborbitpane.so</url>
		<setting_title>IDS_GPS_SETTING</setting_title>
		<version>2.1.0.7</version>
		<type>2</type>
		<active>1</active>
		<static>0</static>
	</plugin>
</main>
)xml";

inline constexpr std::string_view kPluginsConfig = R"xml(<?xml version="1.0" encoding="utf-8"?>
<plxadoc>
  <devicegroup>
    <devices>
      <item name="e1750" productid="1001"/>
      <item name="e1762" productid="1406"/>
      <item name="e180" productid="140c"/>
    </devices>
    <common>
      <plugin>
        <item clsid="D754AE84-535F-4c18-85F8-F154CFE34DDF"/>
        <item clsid="5D31EE0B-DA93-4641-BD21-7DCE3DB15D15"/>
        <item clsid="8B4E3A10-6C2D-4F1E-9A57-2E0C5D7B1F32"/>
      </plugin>
    </common>
    <device name="e1762">
      <plugin>
        <add clsid="3A9C1E57-0D4B-4B8E-8F21-6C7D2E9A4B10"/>
        <remove clsid="8B4E3A10-6C2D-4F1E-9A57-2E0C5D7B1F32"/>
      </plugin>
    </device>
    <customize name="operator-a">
      <plugin>
        <add clsid="C1D2E3F4-A5B6-4C7D-8E9F-0A1B2C3D4E5F"/>
      </plugin>
    </customize>
    <devicewithvoice>
      <item name="e1750"/>
      <item name="e180"/>
    </devicewithvoice>
  </devicegroup>
  <devicegroup>
    <devices>
      <item name="common" productid="0000"/>
    </devices>
    <common>
      <plugin>
        <item clsid="D754AE84-535F-4c18-85F8-F154CFE34DDF"/>
        <item clsid="5D31EE0B-DA93-4641-BD21-7DCE3DB15D15"/>
      </plugin>
    </common>
  </devicegroup>
</plxadoc>
)xml";

inline constexpr std::string_view kPluginsLib = R"xml(<?xml version="1.0" encoding="utf-8"?>
<main>
	<plugin>
		<channel>0</channel>
		<name>XFramePlugin</name>
		<alias>Main frame</alias>
		<clsid>D754AE84-535F-4c18-85F8-F154CFE34DDF</clsid>
		<url>plugins/XFramePlugin/libxframe.so</url>
		<setting_title></setting_title>
		<version>1.0.0.1</version>
		<type>0</type>
		<active>1</active>
		<static>1</static>
	</plugin>
	<plugin>
		<channel>0</channel>
		<name>DeviceMgr</name>
		<alias>Device manager</alias>
		<clsid>5D31EE0B-DA93-4641-BD21-7DCE3DB15D15</clsid>
		<url>plugins/DeviceMgr/libdevicemgr.so</url>
		<setting_title></setting_title>
		<version>1.0.0.3</version>
		<type>1</type>
		<active>1</active>
		<static>1</static>
	</plugin>
	<plugin>
		<channel>0</channel>
		<name>ConfigPlugin</name>
		<alias>Configuration</alias>
		<clsid>0E6F7A8B-9C0D-4E1F-A2B3-C4D5E6F70819</clsid>
		<url>plugins/ConfigPlugin/libconfigplugin.so</url>
		<setting_title></setting_title>
		<version>1.0.0.2</version>
		<type>1</type>
		<active>1</active>
		<static>1</static>
	</plugin>
	<plugin>
		<channel>1</channel>
		<name>Orbitpane</name>
		<alias>GPS</alias>
		<clsid>8B4E3A10-6C2D-4F1E-9A57-2E0C5D7B1F32</clsid>
		<url>plugins/Orbitpane/liborbitpane.so</url>
		<setting_title>IDS_GPS_SETTING</setting_title>
		<version>2.1.0.7</version>
		<type>2</type>
		<active>1</active>
		<static>0</static>
	</plugin>
	<plugin>
		<channel>2</channel>
		<name>Phonebook</name>
		<alias>Contacts</alias>
		<clsid>3A9C1E57-0D4B-4B8E-8F21-6C7D2E9A4B10</clsid>
		<url>plugins/Phonebook/libphonebook.so</url>
		<setting_title>IDS_PB_SETTING</setting_title>
		<version>1.4.2.0</version>
		<type>2</type>
		<active>1</active>
		<static>0</static>
	</plugin>
</main>
)xml";

inline constexpr std::string_view kSysSetting = R"xml(<?xml version="1.0" encoding="utf-8"?>
<plxadoc>
  <system>
    <devicename current="" default="e1750"/>
    <servicevoice>1</servicevoice>
    <language current="en-us" default="en-us"/>
    <nosplashscreen current="0" default="0"/>
  </system>
  <network>
    <autoconnect current="1" default="0"/>
    <profile current="internet &amp; mms" default="internet"/>
  </network>
</plxadoc>
)xml";

inline constexpr std::string_view kLangAreaForShort = R"xml(<?xml version="1.0" encoding="utf-8"?>
<plxadoc>
  <module name="language">
    <item name="English" id="1033">en-us</item>
    <item name="&#26085;&#26412;&#35486;" id="1041">ja</item>
    <item name="Portugu&#234;s (Brasil)" id="1046">pt-br</item>
  </module>
</plxadoc>
)xml";

inline constexpr std::string_view kLocalDeviceInfo = R"xml(<?xml version="1.0" encoding="utf-8"?>
<localdevice>
  <item name="e1750" id="usb-12d1-1001-0" port="COM3">1</item>
  <item name="e1762" id="usb-12d1-1406-0" port="COM7">0</item>
</localdevice>
)xml";

inline constexpr Sample kSamples[] = {
    {"ConfigFile.xml", kConfigFile},           {"plugins.xml", kPlugins},
    {"PluginsConfig.xml", kPluginsConfig},     {"pluginslib.xml", kPluginsLib},
    {"SysSetting.xml", kSysSetting},           {"LangAreaForShort.xml", kLangAreaForShort},
    {"localdeviceinfo.xml", kLocalDeviceInfo},
};

}  // namespace bench_samples
