#include <gtest/gtest.h>

#include "TestUtil.h"
#include "base/Errors.h"
#include "reading/Placeholders.h"

TEST(Placeholders, AllAreFilledWithoutRegardToCase) {
    const LineList values{"norm_size=28", "norm_font=Arial", "bgcolor=C0CBCA"};
    LineList t{"font-size: &norm_size;pt; &NORM_SIZE; &Norm_Font;", "x &unknown; y"};
    ReplaceAllPlaceholders(t, values);
    EXPECT_EQ(t, (LineList{"font-size: 28pt; 28 Arial", "x  y"}));
    // An '&' without a ';' after it removes everything to the end.
    LineList cut{"keep &rest", "gone too"};
    ReplaceAllPlaceholders(cut, values);
    EXPECT_EQ(cut, LineList{"keep "});
    // A value holding its own placeholder is inserted once, and the scan ends.
    LineList self{"[&loop;] and [&loop;]"};
    ReplaceAllPlaceholders(self, {"loop=&loop;"});
    EXPECT_EQ(self, LineList{"[&loop;] and [&loop;]"});
    // A value with line breaks adds lines.
    LineList br{"a&v;b"};
    ReplaceAllPlaceholders(br, {"v=1\r\n2"});
    EXPECT_EQ(br, (LineList{"a1", "2b"}));
}

TEST(Placeholders, SingleReplacementIsFirstOnlyAndCaseSensitive) {
    LineList t{"&Charset; &Charset;"};
    ReplacePlaceholder(t, "Charset", "cp866");
    EXPECT_EQ(t, LineList{"cp866 &Charset;"});
    LineList e{"[&Pg_Up;]"};
    ReplacePlaceholder(e, "Pg_Up", "");
    EXPECT_EQ(e, LineList{"[]"});
    LineList keep{"a\rb", "&charset;"};  // untouched, line structure included
    ReplacePlaceholder(keep, "Charset", "x");
    EXPECT_EQ(keep, (LineList{"a\rb", "&charset;"}));
}

TEST(Placeholders, ApplyTemplateFiles) {
    TempDir dir;
    WriteFile(dir / "style.tml", "body { color: #&norm_color;; }\n");
    ApplyTemplate(dir / "style.tml", dir / "out.css", {"norm_color=375060"});
    EXPECT_EQ(ReadFile(dir / "out.css"), "body { color: #375060; }\r\n");
    EXPECT_THROW(ApplyTemplate(dir / "none.tml", dir / "o.css", {}), EFileError);
    EXPECT_THROW(ApplyTemplate(dir / "style.tml", dir / "no/o.css", {}), EFileError);
}
