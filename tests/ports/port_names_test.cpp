// The port-name file of the program directory.
#include <gtest/gtest.h>

#include "port_names.h"
#include "temp_dir.h"

namespace {

using platform::ports_detail::PortNameTable;

TEST(PortNames, RowsMatchByHexNumbersAndBadRowsAreSkipped) {
    testing_support::TempDir dir;
    std::string path =
        dir.Write("ports.xml",
                  "<?xml version=\"1.0\"?>\n<!-- a comment -->\n<PortNames>\n"
                  "  <Port vendor=\"12AB\" product=\"5678\" interface=\"02\">"
                  " Card - 3G GPS Interface </Port>\n"
                  "  <Port vendor=\"zz\" product=\"5678\" interface=\"01\">X</Port>\n"
                  "  <Port vendor=\"12ab\" product=\"5678\" interface=\"01\"/>\n"
                  "  <Port vendor=\"12ab\" product=\"5678\">Y</Port>\n"
                  "</PortNames>\n");
    PortNameTable table = PortNameTable::Load(path);
    EXPECT_EQ(table.Size(), 1u);
    EXPECT_EQ(table.Find("12ab", "5678", "02\n"), "Card - 3G GPS Interface");
    EXPECT_EQ(table.Find("12AB", "5678", "2"), "Card - 3G GPS Interface");
    EXPECT_FALSE(table.Find("12ab", "5678", "01"));
    EXPECT_FALSE(table.Find("", "5678", "02"));
}

TEST(PortNames, MissingOrBrokenFileGivesAnEmptyTable) {
    testing_support::TempDir dir;
    EXPECT_EQ(PortNameTable::Load(dir / "missing.xml").Size(), 0u);
    EXPECT_EQ(PortNameTable::Load(dir.Write("broken.xml", "<PortNames><Port")).Size(), 0u);
    EXPECT_EQ(PortNameTable::Load(dir.Write("other.xml", "<Other/>")).Size(), 0u);
}

}  // namespace
