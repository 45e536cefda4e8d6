// The program directory the framework's services work in: Log/, SysSetting.xml, Runinfo.ini,
// the language files. Process-wide: the container library holds it once for every plug-in.
#pragma once

#include <string>

namespace framework {

// The directory chosen last (by SetProgramDirectory or by creating a container, which takes
// the folder of its plugins.xml), else the directory of the running program.
std::string ProgramDirectory();

// Chooses the directory; an empty text goes back to the running program's directory. The
// trace library follows it (its Log/ folder moves along).
void SetProgramDirectory(const std::string& directory);

}  // namespace framework
