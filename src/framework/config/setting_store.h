// The settings file SysSetting.xml: sections and keys, each with a current and a default value.
//
//   <plxadoc>
//     <system>
//       <servicevoice>0</servicevoice>
//       <devicename default="wdx-a">wdx-b</devicename>
//     </system>
//   </plxadoc>
//
// A section is an element below the root "plxadoc", a key an element below its section; the
// key's text is the current value and its attribute "default" the default value. Writes keep
// every other element, attribute and comment of the file as it was.
#pragma once

#include <optional>
#include <string>

namespace framework {

inline constexpr const char* kSettingFileName = "SysSetting.xml";

class SettingStore {
  public:
    // The file SysSetting.xml in `directory` (found without regard to letter case).
    explicit SettingStore(std::string directory);

    // The current or default value; nothing when the file, the section or the key is missing
    // or the file is not a settings document. A key without a default attribute has an empty
    // default value.
    std::optional<std::string> Read(const std::string& section, const std::string& key,
                                    bool current) const;
    // Sets the current or default value, creating the file, the section and the key where
    // needed. False, with the file unchanged, when a name is not a plain element name, the
    // file exists but is not a settings document, or it cannot be written (read-only).
    bool Write(const std::string& section, const std::string& key, const std::string& value,
               bool current) const;

    std::string Path() const;

    // Element names the store accepts: a letter or '_', then letters, digits, '_', '-', '.'.
    static bool IsPlainName(const std::string& name);

  private:
    std::string directory_;
};

}  // namespace framework
