// Shared helpers of the markup document tests.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "markup/markup_stl.h"

inline void PrintTo(const ElementSpan& s, std::ostream* os) {
    *os << "{open " << s.tagOpen << ", close " << s.tagClose << ", endOpen " << s.endOpen
        << ", endClose " << s.endClose << ", parent " << s.parent << ", first " << s.firstChild
        << ", next " << s.nextSibling << "}";
}

// The document's index must be exactly what a fresh parse of its current text gives.
inline void ExpectIndexMatchesFreshParse(const CMarkupSTL& doc) {
    CMarkupSTL fresh;
    ASSERT_TRUE(fresh.ParseText(doc.Text())) << fresh.LastError() << "\n" << doc.Text();
    ASSERT_EQ(fresh.ElementCount(), doc.ElementCount());
    for (int i = 1; i < doc.ElementCount(); ++i) {
        EXPECT_EQ(doc.Span(i), fresh.Span(i)) << "row " << i << " of\n" << doc.Text();
    }
}
