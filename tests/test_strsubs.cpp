#include <gtest/gtest.h>

#include "TestUtil.h"
#include "core/unitErrors.h"
#include "render/unitStrSubs.h"

TEST(Placeholders, AllAreFilledWithoutRegardToCase) {
    const TLines values{"norm_size=28", "norm_font=Arial", "bgcolor=C0CBCA"};
    TLines t{"font-size: &norm_size;pt; &NORM_SIZE; &Norm_Font;", "x &unknown; y"};
    ReplaceAllPlaceholders(t, values);
    EXPECT_EQ(t, (TLines{"font-size: 28pt; 28 Arial", "x  y"}));
    // An '&' without a ';' after it removes everything to the end.
    TLines cut{"keep &rest", "gone too"};
    ReplaceAllPlaceholders(cut, values);
    EXPECT_EQ(cut, TLines{"keep "});
    // A value holding its own placeholder is inserted once, and the scan ends.
    TLines self{"[&loop;] and [&loop;]"};
    ReplaceAllPlaceholders(self, {"loop=&loop;"});
    EXPECT_EQ(self, TLines{"[&loop;] and [&loop;]"});
    // A value with line breaks adds lines.
    TLines br{"a&v;b"};
    ReplaceAllPlaceholders(br, {"v=1\r\n2"});
    EXPECT_EQ(br, (TLines{"a1", "2b"}));
}

TEST(Placeholders, SingleReplacementIsFirstOnlyAndCaseSensitive) {
    TLines t{"&Charset; &Charset;"};
    ReplacePlaceholder(t, "Charset", "cp866");
    EXPECT_EQ(t, TLines{"cp866 &Charset;"});
    TLines e{"[&Pg_Up;]"};
    ReplacePlaceholder(e, "Pg_Up", "");
    EXPECT_EQ(e, TLines{"[]"});
    TLines keep{"a\rb", "&charset;"};  // untouched, line structure included
    ReplacePlaceholder(keep, "Charset", "x");
    EXPECT_EQ(keep, (TLines{"a\rb", "&charset;"}));
}

TEST(Placeholders, ApplyTemplateFiles) {
    TempDir dir;
    WriteFile(dir / "style.tml", "body { color: #&norm_color;; }\n");
    ApplyTemplate(dir / "style.tml", dir / "out.css", {"norm_color=375060"});
    EXPECT_EQ(ReadFile(dir / "out.css"), "body { color: #375060; }\r\n");
    EXPECT_THROW(ApplyTemplate(dir / "none.tml", dir / "o.css", {}), EFileError);
    EXPECT_THROW(ApplyTemplate(dir / "style.tml", dir / "no/o.css", {}), EFileError);
}
